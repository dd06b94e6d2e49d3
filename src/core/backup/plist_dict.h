// Typed read access to a property-list dictionary parsed by libplist.
//
// A key that is missing or holds a value of another type reads as "no value":
// "" for strings, false for Booleans, nullopt for dictionaries. Nothing here
// writes to the list.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace marlowen {

// A non-owning view of one dictionary node; valid while its document lives.
class PlistDictView {
public:
    explicit PlistDictView(void* node) : node_(node) {}

    std::string string(const char* key) const;
    bool boolean(const char* key) const;
    std::optional<PlistDictView> dict(const char* key) const;
    // The bytes of a data value; empty for none.
    std::vector<std::uint8_t> data(const char* key) const;
    // A date value as seconds since 1970-01-01 UTC.
    std::optional<std::int64_t> date(const char* key) const;

private:
    void* node_;  // a plist_t of type PLIST_DICT
};

// Owns a parsed property list whose root is a dictionary.
class PlistDocument {
public:
    PlistDocument() = default;

    // Parses XML or binary bytes. Empty when the bytes are not a property
    // list, nest deeper than kMaxPlistNesting, or the root is no dictionary.
    static PlistDocument parse(std::span<const char> bytes);

    bool empty() const { return root_ == nullptr; }
    // Precondition: !empty().
    PlistDictView root() const { return PlistDictView(root_.get()); }

private:
    struct Free {
        void operator()(void* node) const;
    };
    std::unique_ptr<void, Free> root_;
};

}  // namespace marlowen
