// Export of the checked records of a scan into an export folder:
//
//   <recoverPath>/Photo&Video/   a copy of each checked photo or video
//   <recoverPath>/Contact/       "Contacts.txt" and one vCard per contact
//   <recoverPath>/Message/       "Messages.txt"
//   <recoverPath>/Note/          "Notes.txt"
//   <recoverPath>/CallHistory/   "Call History.txt"
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
#include <system_error>
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
};

// "Export folder", "Photo&Video", "Contacts", "vCards", "Messages", "Notes",
// "Call History".
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
    // copy or vCard that could not be written, or every entry of a text file
    // that could not be. Per category, written + failedRecords is the number
    // of checked records.
    ExportCounts failedRecords;
    // Folders, text files, vCards and copies that could not be written.
    int failed = 0;
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
    std::atomic<int>& recovredFilesNum_;
    std::function<void(int)> onProgress_;
    ExportResult result_;
    UniqueFileNames photoNames_;
    UniqueFileNames vCardNames_;
    std::vector<char> copyBuffer_;
};

}  // namespace marlowen
