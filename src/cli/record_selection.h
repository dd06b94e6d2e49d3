// The check marks `marlowen-cli export` sets before it exports.
#pragma once

#include "core/results/result_intake.h"

namespace marlowen::cli {

// Checks every listed record of the five lists, or with `deletedOnly` only
// the carved ones (photos and videos are never carved, so none of them), and
// clears the others. Answers how many are checked.
int checkRecords(const ResultIntake& results, bool deletedOnly);

}  // namespace marlowen::cli
