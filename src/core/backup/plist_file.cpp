#include "core/backup/plist_file.h"

namespace marlowen {
namespace {

PlistFileStatus statusOf(SmallFileStatus s) {
    switch (s) {
        case SmallFileStatus::Ok:
            return PlistFileStatus::Ok;
        case SmallFileStatus::Missing:
            return PlistFileStatus::Missing;
        case SmallFileStatus::NotRegularFile:
            return PlistFileStatus::NotRegularFile;
        case SmallFileStatus::Unreadable:
            return PlistFileStatus::Unreadable;
        case SmallFileStatus::TooLarge:
            return PlistFileStatus::TooLarge;
    }
    return PlistFileStatus::Unreadable;
}

}  // namespace

PlistFile readPlistFile(const std::string& path) {
    SmallFile file = readSmallFile(path, kMaxPlistFileSize);
    PlistFile result;
    result.status = statusOf(file.status);
    result.facts = file.facts;
    if (result.status != PlistFileStatus::Ok) return result;
    result.document = PlistDocument::parse(file.bytes);
    if (result.document.empty()) result.status = PlistFileStatus::NotADictionary;
    return result;
}

}  // namespace marlowen
