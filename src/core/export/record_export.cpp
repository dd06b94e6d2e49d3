#include "core/export/record_export.h"

#include <algorithm>
#include <cctype>

#include "core/export/atomic_file.h"
#include "core/export/csv_tables.h"
#include "core/export/export_folder.h"
#include "core/export/file_copy.h"
#include "core/export/html_report.h"
#include "core/export/text_entries.h"
#include "core/export/vcf_controller.h"
#include "core/log/log.h"
#include "core/results/result_intake.h"

namespace marlowen {
namespace {

// The vCard is named after the contact's name, else its company, else
// "unknown <rowid>".
std::string vCardFileStem(const ZNContactNode& contact) {
    if (!contact.contactName().empty()) return contact.contactName();
    if (!contact.contactCompany().empty()) return contact.contactCompany();
    return "unknown " + std::to_string(contact.rowid());
}

template <typename Node>
int selectedIn(std::span<const std::shared_ptr<Node>> list) {
    int n = 0;
    for (const auto& node : list)
        if (node && node->bSelected()) ++n;
    return n;
}

}  // namespace

std::optional<ExportFormats> parseExportFormats(std::string_view list, std::string& error) {
    ExportFormats formats{false, false, false, false};
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t comma = std::min(list.find(',', start), list.size());
        std::string name;
        for (char c : list.substr(start, comma - start))
            if (c != ' ' && c != '\t')
                name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        start = comma + 1;
        if (name == "text")
            formats.text = true;
        else if (name == "vcard")
            formats.vCard = true;
        else if (name == "csv")
            formats.csv = true;
        else if (name == "html")
            formats.html = true;
        else {
            error = name.empty() ? "an empty format name (the formats are text, vcard, csv, html)"
                                 : "unknown format \"" + name +
                                       "\" (the formats are text, vcard, csv, html)";
            return std::nullopt;
        }
    }
    return formats;
}

ExportLists exportListsOf(const ResultIntake& results) {
    return {results.photoAndVideoArray(), results.contactArray(), results.messageArray(),
            results.noteArray(), results.callHistoryArray()};
}

int countSelected(const ExportLists& lists) {
    return selectedIn(lists.photoAndVideo) + selectedIn(lists.contact) + selectedIn(lists.message) +
           selectedIn(lists.note) + selectedIn(lists.callHistory);
}

const char* exportCategoryName(ExportCategory category) {
    switch (category) {
        case ExportCategory::ExportFolder:
            return "Export folder";
        case ExportCategory::PhotoAndVideo:
            return "Photo&Video";
        case ExportCategory::Contact:
            return "Contacts";
        case ExportCategory::VCard:
            return "vCards";
        case ExportCategory::Message:
            return "Messages";
        case ExportCategory::Note:
            return "Notes";
        case ExportCategory::CallHistory:
            return "Call History";
        case ExportCategory::Report:
            return "HTML report";
    }
    return "";
}

int ExportCounts::of(ExportCategory category) const {
    switch (category) {
        case ExportCategory::ExportFolder:
            return 0;
        case ExportCategory::PhotoAndVideo:
            return photoAndVideo;
        case ExportCategory::Contact:
            return contact;
        case ExportCategory::VCard:
            return vCard;
        case ExportCategory::Message:
            return message;
        case ExportCategory::Note:
            return note;
        case ExportCategory::CallHistory:
            return callHistory;
        case ExportCategory::Report:
            return 0;
    }
    return 0;
}

std::string ExportFailure::text() const {
    const std::string where = "\"" + path.string() + "\"";
    const std::string why = error ? ": " + error.message() : std::string();
    switch (step) {
        case ExportStep::RefusedFolder:
            return "Will not export into " + where + ": it is inside the backup folder";
        case ExportStep::CreateFolder:
            return "Could not create the folder " + where + why;
        case ExportStep::WriteText:
            return "Could not write the text file " + where + why;
        case ExportStep::WriteVCard:
            return "Could not write the vCard " + where + why;
        case ExportStep::WriteCsv:
            return "Could not write the CSV file " + where + why;
        case ExportStep::WriteReport:
            return "Could not write the HTML report " + where + why;
        case ExportStep::OpenSource:
            return "Could not read the photo or video " + where + why;
        case ExportStep::CreateCopy:
            return "Could not create the copy " + where + why;
        case ExportStep::CopyOntoSource:
            return "Will not copy onto " + where + ": it is the source file itself";
        case ExportStep::CopyData:
            return "Could not copy all bytes to " + where + " (removed again)" + why;
    }
    return "Could not export " + where + why;
}

RecordExport::RecordExport(ExportLists lists, std::filesystem::path recoverPath,
                           std::atomic<int>& recovredFilesNum)
    : lists_(lists), recoverPath_(std::move(recoverPath)), recovredFilesNum_(recovredFilesNum) {}

RecordExport::RecordExport(ResultIntake& results, std::filesystem::path recoverPath)
    : RecordExport(exportListsOf(results), std::move(recoverPath), results.recovredFilesNum) {}

ExportResult RecordExport::recoverFilesThread() {
    result_ = {};
    photoNames_ = {};
    vCardNames_ = {};
    // Claimed first, so that a contact named "All contacts" gets "All contacts 2.vcf".
    allContactsFile_ = vCardNames_.claim(kAllContactsStem, ".vcf");
    allCards_.clear();
    recovredFilesNum_ = 0;
    if (recoverPath_.empty()) {
        fail(ExportStep::CreateFolder, ExportCategory::ExportFolder, recoverPath_,
             std::make_error_code(std::errc::invalid_argument));
        return result_;
    }
    if (protectedFolder_ && isSameOrInside(recoverPath_, *protectedFolder_)) {
        fail(ExportStep::RefusedFolder, ExportCategory::ExportFolder, recoverPath_, {});
        return result_;
    }

    // A folder that cannot be made is counted once; the writes into it then
    // fail and are counted each, so the count says how much is missing.
    enterFolder(kPhotoAndVideoFolder, ExportCategory::PhotoAndVideo);
    for (const auto& node : lists_.photoAndVideo) {
        if (!node || !node->bSelected()) continue;
        recoverPhotoAndVideo(*node);
        countHandled();
    }

    // Entries count as written only once every table file chosen for them
    // (text, CSV) is.
    auto writeCategory = [this](auto list, const char* folder, const char* type,
                                ExportCategory category, int& written, int& failed,
                                auto recoverNode, auto csvOf, const char* csvName) {
        ZNRtfController rtf;
        enterFolder(folder, category);
        int entries = 0;
        for (const auto& node : list) {
            if (!node || !node->bSelected()) continue;
            (this->*recoverNode)(*node, rtf);
            ++entries;
            countHandled();
        }
        if (!formats_.text && !formats_.csv) return;
        bool ok = true;
        if (formats_.text) ok = writeText(rtf, type, category) && ok;
        if (formats_.csv) ok = writeCsv(csvOf(list), csvName, category) && ok;
        (ok ? written : failed) = entries;
    };
    ExportCounts& w = result_.written;
    ExportCounts& f = result_.failedRecords;
    writeCategory(lists_.contact, kContactFolder, "Contact", ExportCategory::Contact, w.contact,
                  f.contact, &RecordExport::recoverContactNode, contactsCsv, kContactsCsv);
    writeAllContacts();
    writeCategory(lists_.message, kMessageFolder, "Message", ExportCategory::Message, w.message,
                  f.message, &RecordExport::recoverMessageNode, messagesCsv, kMessagesCsv);
    writeCategory(lists_.note, kNoteFolder, "Note", ExportCategory::Note, w.note, f.note,
                  &RecordExport::recoverNoteNode, notesCsv, kNotesCsv);
    writeCategory(lists_.callHistory, kCallHistoryFolder, "CallHistory",
                  ExportCategory::CallHistory, w.callHistory, f.callHistory,
                  &RecordExport::recoverCallHistoryNode, callHistoryCsv, kCallHistoryCsv);
    if (formats_.csv) {
        recoverFilePath_ = recoverPath_ / kPhotoAndVideoFolder;
        writeCsv(photosAndVideosCsv(lists_.photoAndVideo), kPhotosAndVideosCsv,
                 ExportCategory::PhotoAndVideo);
    }
    if (formats_.html) writeReport();

    copyBuffer_ = {};
    return result_;
}

void RecordExport::recoverPhotoAndVideo(const ZNPhotoAndVideoNode& node) {
    // A repeated name gets its number before the extension: "00000001 2.jpg".
    const std::filesystem::path safe = safeFileName(node.fileNodeName());
    const std::filesystem::path destination =
        recoverFilePath_ / photoNames_.claim(safe.stem().string(), safe.extension().string());
    // One buffer for every copy of this export.
    if (copyBuffer_.empty()) copyBuffer_.resize(kCopyBufferBytes);
    const CopyResult copy = copyFileThroughBuffer(node.filePath(), destination, copyBuffer_);
    constexpr ExportCategory kPhoto = ExportCategory::PhotoAndVideo;
    switch (copy.failedStep) {
        case CopyStep::None:
            ++result_.written.photoAndVideo;
            return;
        case CopyStep::OpenSource:
            fail(ExportStep::OpenSource, kPhoto, node.filePath(), copy.error);
            break;
        case CopyStep::CreateDestination:
            fail(ExportStep::CreateCopy, kPhoto, destination, copy.error);
            break;
        case CopyStep::SourceIsDestination:
            fail(ExportStep::CopyOntoSource, kPhoto, destination, copy.error);
            break;
        case CopyStep::CopyData:
            fail(ExportStep::CopyData, kPhoto, destination, copy.error);
            break;
    }
    ++result_.failedRecords.photoAndVideo;
}

void RecordExport::recoverContactNode(const ZNContactNode& node, ZNRtfController& rtf) {
    if (formats_.text) rtf.addRtfContent(contactTextEntry(node));
    if (!formats_.vCard) return;
    const std::filesystem::path file =
        recoverFilePath_ / vCardNames_.claim(safeFileName(vCardFileStem(node)), ".vcf");
    ZNVCFController vcf;
    if (const std::error_code ec = vcf.creatFile(node, file)) {
        fail(ExportStep::WriteVCard, ExportCategory::VCard, file, ec);
        ++result_.failedRecords.vCard;
    } else {
        ++result_.written.vCard;
    }
    allCards_ += vcf.strContent();
}

void RecordExport::writeAllContacts() {
    if (allCards_.empty()) return;
    const std::filesystem::path file = recoverFilePath_ / allContactsFile_;
    if (const std::error_code ec = writeFileAtomically(file, allCards_))
        fail(ExportStep::WriteVCard, ExportCategory::VCard, file, ec);
    allCards_ = {};
}

bool RecordExport::writeCsv(const std::string& table, const char* name, ExportCategory category) {
    const std::filesystem::path file = recoverFilePath_ / name;
    if (const std::error_code ec = writeFileAtomically(file, table)) {
        fail(ExportStep::WriteCsv, category, file, ec);
        return false;
    }
    ++result_.csvFiles;
    return true;
}

void RecordExport::writeReport() {
    const std::filesystem::path file = recoverPath_ / kReportFile;
    if (const std::error_code ec = writeFileAtomically(file, htmlReport(lists_, reportFacts_)))
        fail(ExportStep::WriteReport, ExportCategory::Report, file, ec);
    else
        result_.reportFile = file;
}

void RecordExport::recoverMessageNode(const ZNMessageNode& node, ZNRtfController& rtf) {
    if (formats_.text) rtf.addRtfContent(messageTextEntry(node));
}

void RecordExport::recoverNoteNode(const ZNNoteNode& node, ZNRtfController& rtf) {
    if (formats_.text) rtf.addRtfContent(noteTextEntry(node));
}

void RecordExport::recoverCallHistoryNode(const ZNCallHistoryNode& node, ZNRtfController& rtf) {
    if (formats_.text) rtf.addRtfContent(callHistoryTextEntry(node));
}

bool RecordExport::enterFolder(const char* folder, ExportCategory category) {
    recoverFilePath_ = recoverPath_ / folder;
    std::error_code ec;
    std::filesystem::create_directories(recoverFilePath_, ec);
    if (ec) fail(ExportStep::CreateFolder, category, recoverFilePath_, ec);
    return !ec;
}

bool RecordExport::writeText(ZNRtfController& rtf, const char* type, ExportCategory category) {
    const TextFileResult text = rtf.writeRtfInPath(recoverFilePath_, type);
    switch (text.outcome) {
        case TextFileOutcome::Final:
            return true;
        case TextFileOutcome::KeptAsTemporary:
            ++result_.keptAsTemporary;
            logLine("Export: \"" + text.path.string() + "\" keeps the text, its name was taken");
            return true;
        case TextFileOutcome::Failed:
            fail(ExportStep::WriteText, category, text.path, text.error);
            break;
    }
    return false;
}

void RecordExport::countHandled() {
    const int handled = ++recovredFilesNum_;
    if (onProgress_) onProgress_(handled);
}

void RecordExport::fail(ExportStep step, ExportCategory category, const std::filesystem::path& path,
                        std::error_code error) {
    ExportFailure failure{step, path, error, category};
    logLine("Export: " + failure.text());
    ++result_.failed;
    if (!result_.firstFailure) result_.firstFailure = failure;
    result_.failures.push_back(std::move(failure));
}

}  // namespace marlowen
