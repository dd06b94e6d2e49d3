#include "cli/record_selection.h"

namespace marlowen::cli {

int checkRecords(const ResultIntake& results, bool deletedOnly) {
    int checked = 0;
    auto mark = [&](const auto& node, bool on) {
        node->setBSelected(on);
        checked += on ? 1 : 0;
    };
    for (const auto& node : results.contactArray()) mark(node, !deletedOnly || node->bDeleted());
    for (const auto& node : results.messageArray()) mark(node, !deletedOnly || node->bDeleted());
    for (const auto& node : results.callHistoryArray())
        mark(node, !deletedOnly || node->bDeleted());
    for (const auto& node : results.noteArray()) mark(node, !deletedOnly || node->bDeleted());
    for (const auto& node : results.photoAndVideoArray()) mark(node, !deletedOnly);
    return checked;
}

}  // namespace marlowen::cli
