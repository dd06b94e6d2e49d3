// The conversions that turn raw database values into the ready-to-show texts
// of the record nodes. They fix how every text, date, call length, file size
// and photo file name looks in the results and in exported files, and how a
// phone number finds its contact name. All are pure functions of their
// arguments except the dates, which depend on the process's local time zone.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/model/record_nodes.h"

namespace marlowen {

// --- Text ---------------------------------------------------------------

// UTF-8 bytes (zero-terminated) -> string; "" for null or invalid UTF-8.
std::string GetStringFormChar(const char* utf8);
// Same for a byte range that may hold zeros: decodes up to the first zero byte.
std::string GetStringFormChar(std::string_view bytes);

// Writes UTF-32 code units (host-order char32_t) of the UTF-8 input into
// out[0..capacity), zero-terminated; returns count written (0 for invalid
// input). The whole buffer is cleared first. Text that does not fit is cut to
// capacity - 1 units so the terminator always fits.
int32_t Char2Unicode(const char* utf8, char32_t* out, int32_t capacity);

// --- Dates --------------------------------------------------------------

// Record kinds of GetDateTime().
inline constexpr int32_t kDateKindMessageOrCall = 0;
inline constexpr int32_t kDateKindNote = 1;

// Seconds value + kind (0 messages/calls, 1 notes) -> "%02d-%02d-%04d %02d:%02d"
// (month, day, year, hour, minute; at most 16 units) as UTF-32; nullopt when
// localtime cannot break it down or the kind is neither 0 nor 1.
std::optional<std::u32string> GetDateTime(int64_t seconds, int32_t fileType);
// UTF-8 of the units up to the first zero unit; "" when a unit is not a
// Unicode scalar value.
std::string GetNSStringDate(const std::u32string& text);
// Convenience used by every reader: GetNSStringDate(GetDateTime(v, kind)) or "" when none.
std::string formatRecordDate(int64_t seconds, int32_t fileType);

// --- Numbers ------------------------------------------------------------

// Call length in its largest unit, integer division: "7 hours", "1 hour",
// "2 minutes", "1 minute", "59 seconds", "1 second" (also "0 second", "-1 second").
std::string getCallHistoryDuration(int32_t seconds);

// Photo file name stem: the number in decimal, zero-padded on the left to 8
// digits; longer numbers are returned unpadded.
std::string getFullName(uint64_t number);

// File size in decimal units, computed in single precision: "%.2fB/K/M/G/T".
// Fills buffer (caller provides >= 100 bytes) and returns it.
char* size_to_unit(uint64_t bytes, char* out_buffer);
std::string size_to_unit(uint64_t bytes);  // convenience

// --- Contact lookup -----------------------------------------------------

// Name of the first live contact whose numbers contain the number; nullopt when none.
// Both sides are compared without "-", "(", ")" and " "; a contact's numbers
// are run together, so a match may span two of them. A number that is empty
// after that matches no contact.
std::optional<std::string> getNameByPhoneNumber(const std::string& phone,
                                                const std::vector<ContactNodePtr>& contactArray);

// The same answers as getNameByPhoneNumber, for many lookups against one
// list of live contacts. Each contact's numbers are normalised once into one
// text (contacts kept apart by a zero byte, which no number holds), indexed
// by its 8-character pieces, and the answer for a number is remembered. The
// list must not change between lookups except by growing or being replaced
// (then the index is rebuilt).
class PhoneNameLookup {
public:
    std::optional<std::string> find(const std::string& phone,
                                    const std::vector<ContactNodePtr>& contactArray);

private:
    static constexpr std::size_t kPiece = 8;
    void rebuild(const std::vector<ContactNodePtr>& contactArray);
    // Offset of the first occurrence of `number` in text_, or npos.
    std::size_t firstOccurrence(const std::string& number) const;

    const ContactNodePtr* builtFor_ = nullptr;
    std::size_t builtSize_ = 0;
    std::string text_;
    std::vector<std::size_t> starts_;           // where each contact's numbers begin
    std::vector<const ZNContactNode*> owners_;  // the contact of each start
    std::vector<std::pair<std::uint64_t, std::uint32_t>> pieces_;  // (hash, offset), sorted
    std::unordered_map<std::string, std::optional<std::string>> answers_;
};

}  // namespace marlowen
