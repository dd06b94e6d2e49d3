// Working arrays of one scan. Created empty at the start of every scan and
// emptied at its end; only the scan thread touches them while it runs.
#pragma once

#include <vector>

#include "core/model/record_nodes.h"

namespace marlowen {

struct ScanWorkingArrays {
    std::vector<ContactNodePtr> contactArray;              // live contacts; read by the name lookup
    std::vector<ContactNodePtr> delContactArray;           // carved contacts
    std::vector<DelContactValuePtr> delContactValueArray;  // carved multi-values
    std::vector<MessageNodePtr> messageArray;          // carved messages waiting for their handle
    std::vector<ChatMessageNodePtr> chatMessageArray;  // carved chat/handle entries
    std::vector<NoteNodePtr> noteArray;                // carved notes
    std::vector<NoteValueNodePtr> noteValueArray;      // carved note bodies

    void clear() {
        contactArray.clear();
        delContactArray.clear();
        delContactValueArray.clear();
        messageArray.clear();
        chatMessageArray.clear();
        noteArray.clear();
        noteValueArray.clear();
    }
};

}  // namespace marlowen
