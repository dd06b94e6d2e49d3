#include "support/database_kind.h"

namespace marlowen::fixture {

std::string_view hashedFileName(DatabaseKind kind) {
    switch (kind) {
        case DatabaseKind::AddressBook:
            return "31bb7ba8914766d4ba40d6dfb6113c8b614be442";
        case DatabaseKind::Messages:
            return "3d0d7e5fb2ce288813306e4d4636395e047a3d28";
        case DatabaseKind::CallHistory:
            return "2b2b0084a1bc3a5ac8c27afdf14afb42c61a19ca";
        case DatabaseKind::CallHistoryAlternative:
            return "ff1324e6b949111b2fb449ecddb50c89c3699a78";
        case DatabaseKind::Notes:
            return "ca3bc056d4da0bbf88b5fb3be254f3b7147e639c";
        case DatabaseKind::NotesAlternative:
            return "740b7eaf93d6ea5d305e88bb349c8e9643f48c3b";
    }
    return {};
}

}  // namespace marlowen::fixture
