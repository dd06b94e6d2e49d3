// Collects the text entries of one category and writes them as one UTF-8
// plain-text file (no RTF markup, whatever the name says).
//
// The text is written completely under a hidden name, then moved to the
// category's own name. The move never replaces a file: when the folder
// already holds that name (an earlier export into the same folder), the new
// text is kept as "TXT.txt" beside it, or as "TXT 2.txt", "TXT 3.txt", ...
// when that is taken too, so no export's text replaces another's.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace marlowen {

inline constexpr std::string_view kTextTemporaryFileName = "TXT.txt";

enum class TextFileOutcome {
    // Written under the category's file name.
    Final,
    // Written, but as "TXT.txt" (or "TXT <n>.txt"): the final name was
    // taken, or the type has no file name of its own.
    KeptAsTemporary,
    // Not written at all; see `error`.
    Failed,
};

struct TextFileResult {
    TextFileOutcome outcome = TextFileOutcome::Failed;
    // Where the text is now, or where it should have gone.
    std::filesystem::path path;
    std::error_code error;
};

class ZNRtfController {
public:
    ZNRtfController() { setRtfHeader(); }

    // Starts an empty text.
    void setRtfHeader();
    // Appends `text` unchanged, then "\n\n".
    void addRtfContent(std::string_view text);
    // Closes the text; plain text needs no closing, so it adds nothing.
    void setRtfEnder();
    // Writes the text into `folder` under the file name of `type` ("Contact",
    // "Message", "Note", "CallHistory").
    TextFileResult writeRtfInPath(const std::filesystem::path& folder, std::string_view type);

    const std::string& strRtfContent() const { return strRtfContent_; }

    // "Contacts.txt", "Messages.txt", "Notes.txt", "Call History.txt";
    // nullopt for any other type.
    static std::optional<std::string_view> fileNameOfType(std::string_view type);

private:
    std::string strRtfContent_;
};

}  // namespace marlowen
