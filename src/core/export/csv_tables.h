// One CSV table per record category (RFC 4180): UTF-8, a header row, one
// row per record, CR LF after every row, a field quoted when it holds a
// comma, a double quote, CR or LF (its quotes doubled). Every table has a
// "deleted" column ("yes" or "no") and, for records a deep or signature
// search recovered, "found in" (the database and the search, "" for live
// records). A contact's several numbers (e-mails, pages, addresses) share
// one field, one value per line, each after its label when it has one.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "core/model/record_nodes.h"

namespace marlowen {

// The table file names, one per category folder.
inline constexpr const char* kContactsCsv = "Contacts.csv";
inline constexpr const char* kMessagesCsv = "Messages.csv";
inline constexpr const char* kNotesCsv = "Notes.csv";
inline constexpr const char* kCallHistoryCsv = "Call History.csv";
inline constexpr const char* kPhotosAndVideosCsv = "Photos and Videos.csv";

// `value` as one RFC 4180 field.
std::string csvField(const std::string& value);

// Each table holds the header and the checked (bSelected) records, in list order.
std::string contactsCsv(std::span<const ContactNodePtr> contacts);
std::string messagesCsv(std::span<const MessageNodePtr> messages);
std::string notesCsv(std::span<const NoteNodePtr> notes);
std::string callHistoryCsv(std::span<const CallHistoryNodePtr> calls);
std::string photosAndVideosCsv(std::span<const PhotoAndVideoNodePtr> files);

// A contact's values of one kind as one text, one value per line, each
// after its label when it has one ("Mobile: +1 555 0100"); a contact the
// signature search carved has only its joined text, which then stands as it is.
std::string contactValuesText(const std::vector<ContactValue>& values, const std::string& joined);
// Its postal addresses the same way, the parts joined by ", " (labels only
// `withLabels`); the joined contactAdress when it has no parts.
std::string contactAddressesText(const ZNContactNode& contact, bool withLabels);

// A store label as people read it: "_$!<Mobile>!$_" → "Mobile"; a user's
// own label as it is.
std::string shownLabel(const std::string& label);

}  // namespace marlowen
