#include "core/export/rtf_controller.h"

#include "core/export/atomic_file.h"

namespace marlowen {

void ZNRtfController::setRtfHeader() {
    strRtfContent_.clear();
}

void ZNRtfController::addRtfContent(std::string_view text) {
    strRtfContent_ += text;
    strRtfContent_ += "\n\n";
}

void ZNRtfController::setRtfEnder() {}

std::optional<std::string_view> ZNRtfController::fileNameOfType(std::string_view type) {
    if (type == "Contact") return "Contacts.txt";
    if (type == "Message") return "Messages.txt";
    if (type == "Note") return "Notes.txt";
    if (type == "CallHistory") return "Call History.txt";
    return std::nullopt;
}

TextFileResult ZNRtfController::writeRtfInPath(const std::filesystem::path& folder,
                                               std::string_view type) {
    setRtfEnder();
    TextFileResult result;
    result.path = folder / kTextTemporaryFileName;
    const TemporaryFile temp = writeTemporaryFile(result.path, strRtfContent_);
    if ((result.error = temp.error)) return result;

    if (const auto finalName = fileNameOfType(type)) {
        result.path = folder / *finalName;
        result.error = moveWithoutReplacing(temp.path, result.path);
        if (!result.error) {
            result.outcome = TextFileOutcome::Final;
            return result;
        }
    }
    // "TXT.txt", then "TXT 2.txt", "TXT 3.txt", ... (bounded, so a file
    // system that answers "exists" for everything cannot hold us here).
    for (int n = 1; n <= 10000; ++n) {
        result.path = folder / (n == 1 ? std::string(kTextTemporaryFileName)
                                       : "TXT " + std::to_string(n) + ".txt");
        result.error = moveWithoutReplacing(temp.path, result.path);
        if (!result.error) {
            result.outcome = TextFileOutcome::KeptAsTemporary;
            return result;
        }
        if (result.error != std::errc::file_exists) break;
    }
    std::error_code ignored;
    std::filesystem::remove(temp.path, ignored);
    return result;
}

}  // namespace marlowen
