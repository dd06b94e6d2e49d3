// Export of the checked records of a scan into an export folder:
//
//   <recoverPath>/Photo&Video/   a copy of each checked photo or video
//   <recoverPath>/Contact/       "Contacts.txt", one vCard per contact and
//                                "All contacts.vcf" with every checked card
//   <recoverPath>/Message/       "Messages.txt"
//   <recoverPath>/Note/          "Notes.txt"
//   <recoverPath>/CallHistory/   "Call History.txt"
//
// The formats chosen (ExportFormats) decide which files are written: the
// text files, the vCards, one CSV table per category folder ("Contacts.csv",
// ..., csv_tables.h) and "Report.html" in recoverPath (html_report.h).
// Photos and videos are copied whatever the formats.
//
// Every folder is made, with missing parents, even when none of its records
// is checked; then a text file with no entry is an empty file. Only records
// whose bSelected is set are written, in list (scan) order, whatever a
// display filter shows. File names from record values go through
// safeFileName() and are kept distinct, so nothing is written outside these
// folders and no card replaces another.
//
// The job runs on any one thread (the desktop program gives it its own).
// Other threads may read recovredFilesNum at any time; nothing else is
// shared, and the record lists must not change while it runs.
#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "core/export/rtf_controller.h"
#include "core/export/safe_file_name.h"
#include "core/model/record_nodes.h"

namespace marlowen {

class ResultIntake;

// The category folders, in the order they are written.
inline constexpr const char* kPhotoAndVideoFolder = "Photo&Video";
inline constexpr const char* kContactFolder = "Contact";
inline constexpr const char* kMessageFolder = "Message";
inline constexpr const char* kNoteFolder = "Note";
inline constexpr const char* kCallHistoryFolder = "CallHistory";

// The file that holds every checked contact's card, one after another
// (what people import), beside the per-contact cards.
inline constexpr const char* kAllContactsStem = "All contacts";

// Which files an export writes. The default is the text files and vCards.
struct ExportFormats {
    bool text = true;
    bool vCard = true;
    bool csv = false;
    bool html = false;

    bool any() const { return text || vCard || csv || html; }
    bool operator==(const ExportFormats&) const = default;
};

// Reads a comma-separated list of "text", "vcard", "csv" and "html" (case
// and blanks ignored); nullopt for an unknown or missing name, with `error`
// saying which.
std::optional<ExportFormats> parseExportFormats(std::string_view list, std::string& error);

// Bytes of the one buffer every photo and video is copied through.
inline constexpr std::size_t kCopyBufferBytes = 8 * 1024 * 1024;

// The five record lists an export reads (views; the lists stay with their owner).
struct ExportLists {
    std::span<const PhotoAndVideoNodePtr> photoAndVideo;
    std::span<const ContactNodePtr> contact;
    std::span<const MessageNodePtr> message;
    std::span<const NoteNodePtr> note;
    std::span<const CallHistoryNodePtr> callHistory;
};

ExportLists exportListsOf(const ResultIntake& results);

// Checked records of all five lists: what an export will handle.
int countSelected(const ExportLists& lists);

// What could not be written, step by step.
enum class ExportStep {
    RefusedFolder,   // the export folder lies inside a protected (backup) folder
    CreateFolder,    // a category folder
    WriteText,       // a category's text file (all its entries are missing)
    WriteVCard,      // one contact's vCard
    WriteCsv,        // a category's CSV table (its records are missing from it)
    WriteReport,     // the HTML report
    OpenSource,      // a photo or video that vanished or cannot be read
    CreateCopy,      // the copy of a photo or video could not be created
    CopyOntoSource,  // the copy's name leads to the source file itself
    CopyData,        // a copy that failed part way (removed again)
};

// What a written or failed item belongs to. The contact folder holds both
// the contacts' text file (Contact) and their cards (VCard).
enum class ExportCategory {
    ExportFolder,  // the export folder itself (refused or unusable)
    PhotoAndVideo,
    Contact,
    VCard,
    Message,
    Note,
    CallHistory,
    Report,  // the HTML report
};

// "Export folder", "Photo&Video", "Contacts", "vCards", "Messages", "Notes",
// "Call History", "HTML report".
const char* exportCategoryName(ExportCategory category);

struct ExportFailure {
    ExportStep step = ExportStep::CreateFolder;
    std::filesystem::path path;
    std::error_code error;
    ExportCategory category = ExportCategory::ExportFolder;
    // One line for people, e.g. `Could not write the vCard "/x/Contact/Ann.vcf": Permission
    // denied`.
    std::string text() const;
};

struct ExportCounts {
    int photoAndVideo = 0;  // copies made
    int contact = 0;        // entries in a written "Contacts.txt"
    int vCard = 0;          // vCard files
    int message = 0;
    int note = 0;
    int callHistory = 0;

    // The count of `category`; 0 for ExportFolder.
    int of(ExportCategory category) const;
};

struct ExportResult {
    ExportCounts written;
    // Checked records of each category that are not in the export folder: a
    // copy or vCard that could not be written, or every entry of a text or
    // CSV file that could not be. Per category, written + failedRecords is
    // the number of checked records when the formats include the text or
    // CSV files (the vCards for vCard); messages, notes and calls exported
    // in the HTML report alone are counted in neither.
    ExportCounts failedRecords;
    // Folders, text files, vCards and copies that could not be written.
    int failed = 0;
    // CSV tables written, and the HTML report's path once it is written.
    int csvFiles = 0;
    std::filesystem::path reportFile;
    // Text files written as "TXT.txt" (or "TXT <n>.txt") because their name
    // was taken by an earlier export into the same folder.
    int keptAsTemporary = 0;
    // Every failure, in the order they happened (failed of them).
    std::vector<ExportFailure> failures;
    std::optional<ExportFailure> firstFailure;

    bool ok() const { return failed == 0; }
    // firstFailure's text, or "" when nothing failed.
    std::string firstError() const { return firstFailure ? firstFailure->text() : std::string(); }
};

class RecordExport {
public:
    // `recovredFilesNum` counts the checked records handled so far (written
    // or failed), so it ends at countSelected(lists); a progress display
    // reads it from another thread.
    RecordExport(ExportLists lists, std::filesystem::path recoverPath,
                 std::atomic<int>& recovredFilesNum);
    // The lists and the counter of a scan's results.
    RecordExport(ResultIntake& results, std::filesystem::path recoverPath);

    // Refuses to write when recoverPath is this folder or inside it (the
    // backup the records came from).
    void setProtectedFolder(std::filesystem::path folder) { protectedFolder_ = std::move(folder); }
    void setFormats(ExportFormats formats) { formats_ = formats; }
    const ExportFormats& formats() const { return formats_; }
    // The device facts the HTML report starts with.
    void setReportFacts(std::vector<std::pair<std::string, std::string>> facts) {
        reportFacts_ = std::move(facts);
    }
    // Called on the export thread after every handled record, with the new
    // value of recovredFilesNum.
    void setProgressHandler(std::function<void(int)> handler) { onProgress_ = std::move(handler); }

    const std::filesystem::path& recoverPath() const { return recoverPath_; }
    void setRecoverPath(std::filesystem::path path) { recoverPath_ = std::move(path); }
    // The category folder being written.
    const std::filesystem::path& recoverFilePath() const { return recoverFilePath_; }

    // Sets the counter to 0, then writes everything: photos and videos,
    // contacts, messages, notes, calls. A failure skips only what it
    // concerns; the export goes on with the next record and category.
    ExportResult recoverFilesThread();

private:
    void recoverPhotoAndVideo(const ZNPhotoAndVideoNode& node);
    void recoverContactNode(const ZNContactNode& node, ZNRtfController& rtf);
    void recoverMessageNode(const ZNMessageNode& node, ZNRtfController& rtf);
    void recoverNoteNode(const ZNNoteNode& node, ZNRtfController& rtf);
    void recoverCallHistoryNode(const ZNCallHistoryNode& node, ZNRtfController& rtf);
    // Writes allCards_ as "All contacts.vcf" when a contact was checked.
    void writeAllContacts();
    // Writes `table` as `name` in the category folder; answers whether it was written.
    bool writeCsv(const std::string& table, const char* name, ExportCategory category);
    void writeReport();

    // Creates recoverFilePath for `folder`; records a failure and answers
    // false when it cannot.
    bool enterFolder(const char* folder, ExportCategory category);
    // Writes `rtf` as the text file of `type`; answers whether it was written.
    bool writeText(ZNRtfController& rtf, const char* type, ExportCategory category);
    void countHandled();
    void fail(ExportStep step, ExportCategory category, const std::filesystem::path& path,
              std::error_code error);

    ExportLists lists_;
    std::filesystem::path recoverPath_;
    std::filesystem::path recoverFilePath_;
    std::optional<std::filesystem::path> protectedFolder_;
    ExportFormats formats_;
    std::vector<std::pair<std::string, std::string>> reportFacts_;
    std::atomic<int>& recovredFilesNum_;
    std::function<void(int)> onProgress_;
    ExportResult result_;
    UniqueFileNames photoNames_;
    UniqueFileNames vCardNames_;
    std::string allContactsFile_;
    std::string allCards_;
    std::vector<char> copyBuffer_;
};

}  // namespace marlowen
