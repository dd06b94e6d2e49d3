// The text entry of one record in its category's text file: each field as
// "<Label>:<value>  " (two blanks after every value, also after the last),
// values unchanged, in the order below. A deleted record's entry starts with
// the piece "Deleted:yes  ", so that the file tells deleted records from
// live ones as the browser does. The writer adds "\n\n" after each entry.
//
//   contact  Name, Phone, Email, Company, JobTitle, Home Page, Birthday, Note
//   message  Name, Phone, Date, Type, Content
//   note     Title, Note, Date
//   call     Name, Phone, Date, Type, Duration
#pragma once

#include <string>

#include "core/model/record_nodes.h"

namespace marlowen {

std::string contactTextEntry(const ZNContactNode& contact);
std::string messageTextEntry(const ZNMessageNode& message);
std::string noteTextEntry(const ZNNoteNode& note);
std::string callHistoryTextEntry(const ZNCallHistoryNode& call);

}  // namespace marlowen
