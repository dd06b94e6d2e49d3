// The message database's tables in the three layouts the phone used.
#pragma once

#include <string>

namespace marlowen::fixture {

enum class MessageLayout {
    // OS 5: `message` with the iMessage ("madrid") columns, 33 in all;
    // conversations in `msg_group` / `group_member`.
    Os5,
    // Before OS 5: the first 17 columns of the OS 5 `message`, no madrid tables.
    Os5WithoutMadrid,
    // OS 6: `message` (38 columns) linked to `handle` and `chat`.
    Os6,
};

enum class ChatColumns {
    // `chat` ending in display_name and group_id (14 columns).
    WithDisplayName,
    // `chat` ending in last_addressed_handle (12 columns), as in the first
    // OS 6 releases.
    Twelve,
};

std::string messageDdl(MessageLayout layout, ChatColumns chat);

}  // namespace marlowen::fixture
