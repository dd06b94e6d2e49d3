// The results page: scan progress while a scan runs, then the browser of the
// five categories with counts, tables, preview, the deleted-only filter, the
// check boxes and the export of the checked records.
//
// The record lists and counters live in the core's ResultIntake; this class
// observes it and shows it. Scan-thread work reaches the widgets only through
// queued or blocking-queued invocations on this object.
#pragma once

#include <QLabel>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "core/discovery/device_node.h"
#include "core/export/record_export.h"
#include "core/feedback/smtp_config.h"
#include "core/model/record_nodes.h"
#include "core/notify/notification_center.h"
#include "core/results/result_intake.h"
#include "gui/count_panel.h"
#include "gui/result_table_model.h"

#include <QDialog>
class QLineEdit;
class QMediaPlayer;
class QProgressBar;
class QVideoWidget;
class QScrollArea;

namespace Ui {
class ResulutView;
}

namespace marlowen::gui {

class Prompter;
class ResultTableView;
class ZNButton;
class FeedbackWindow;
class FooterLinks;
class ZNFeedBackView;
class ZNTextView;

enum class ResultCategory { PhotoAndVideo, Contact, Message, Note, CallHistory };

class ZNResultViewController : public QWidget {
    Q_OBJECT
public:
    // `intake` is the scan session's: it outlives this controller.
    ZNResultViewController(NotificationCenter& nc, ResultIntake& intake, Prompter& prompter,
                           QWidget* parent = nullptr);
    ~ZNResultViewController() override;

    ResultIntake& intake() { return intake_; }
    const ResultIntake& intake() const { return intake_; }

    // Adds the page to `parent` and resets it for a scan of `node`. With
    // `allCategories` every category button is enabled at the finish.
    void showView(QWidget* parent, const ZNIOSDeviceNode& node, bool allCategories = false);
    // The reason the scan read nothing, shown instead of the finish alert.
    void setScanErrorSource(std::function<std::string()> source) { scanError_ = std::move(source); }
    // One line per database the scan could not read, and why; shown above
    // the tables at the finish.
    void setScanProblemsSource(std::function<std::vector<std::string>()> source) {
        scanProblems_ = std::move(source);
    }

    // Runs scan-thread work on this object's thread and waits for it.
    void runOnMainThread(const std::function<void()>& work);
    // Stops handing scan work to the widgets (the window is going away).
    void detachFromScan() { detached_ = true; }

    // Progress step: bar, percentage and the ten count labels.
    void ScanProgressInfomationHandle(int percent, const CategoryCounts& counts);
    void ScanFinishOnMainThread();

    void actPhoto() { showCategory(ResultCategory::PhotoAndVideo); }
    void actContact() { showCategory(ResultCategory::Contact); }
    void actMessage() { showCategory(ResultCategory::Message); }
    void actNote() { showCategory(ResultCategory::Note); }
    void actCallHistory() { showCategory(ResultCategory::CallHistory); }
    void actCheck();
    // Ticks (or unticks) every record on show in the current table: with the
    // deleted-only filter on, every deleted record of the category.
    void checkAllShown(bool on);
    void actHome();
    void releaseUIMemory();
    void actRecovery();

    // Table delegate: a check box of `table` set to `on` (applied to every
    // selected row), the selection changed, a column heading clicked.
    void tableView(ResultTableView* table, bool on);
    void tableViewSelectionDidChange(ResultTableView* table);
    void tableView(ResultTableView* table, int clickedColumn);

    // Footer: the feedback window and the three pages.
    void clickFeedBack();
    void clickSendFeedBack();
    void ClickDontSendFeedBack();
    // Body of a feedback window's sending thread.
    static void sendFeedBackEmailHandle(const SmtpConfig& config, const std::string& email,
                                        const std::string& suggestion);
    // The mail body of the window's texts.
    QString getFeedBackInfo() const;
    void clickFacebook();
    void clickTwitter();
    void clickSupport();

    void ZNbuttonMouseEnteredHandle(const Notification& note);
    void ZNbuttonMouseExitedHandle(const Notification& note);

    // Widgets, for the window and the tests.
    Ui::ResulutView& ui() { return *ui_; }
    ResultTableView* currentTableView() const { return currentTableView_; }
    ResultTableView* tableOf(ResultCategory c) const;
    ResultTableModel* modelOf(ResultCategory c) const;
    QWidget* viewOf(ResultCategory c) const;
    ZNButton* buttonOf(ResultCategory c) const;
    QString buttonImageOf(ResultCategory c) const;
    QLabel* previewLabel(const char* name) const;
    QLabel* imageView() const { return imageView_; }
    QVideoWidget* movView() const { return movView_; }
    QLabel* movieNote() const { return movieNote_; }
    QMediaPlayer* moviePlayer() const { return player_; }
    QDialog* feedbackWindow() const;
    QLineEdit* feedbackEmailVaule() const;
    ZNFeedBackView* feedbackView() const;
    QDialog* saveWindow() const { return saveWindow_; }
    QProgressBar* saveProgressor() const { return saveProgressor_; }
    QTimer& recoverTimer() { return recoverTimer_; }
    bool isExporting() const { return recoverThread_.joinable(); }
    QString recoverPath() const { return recoverPath_; }

signals:
    // Home was confirmed and the lists are released: show the backup page.
    void wentHome();
    // An export ended; `failed` things could not be written.
    void exportEnded(int failed);

private:
    struct Page;

    void awakeFromNib();
    void buildCategoryViews();
    // The five category models with their columns.
    void buildCategoryModels();
    QWidget* buildPhotoPreview();
    QWidget* buildContactPreview();
    QWidget* buildMessagePreview();
    QWidget* buildNotePreview();
    QWidget* buildCallPreview();
    QLabel* addPreviewLabel(QLayout* layout, const char* name);
    ZNTextView* addPreviewText(QLayout* layout, const char* view, const char* scroll);

    void showCategory(ResultCategory c);
    void fillDisplayList(ResultCategory c, bool deletedOnly);
    // Orders the page's display list by its sortColumn and shows the header's indicator.
    void sortDisplayList(Page& pg);
    void fitColumns(Page& pg);
    void selectFirstRow(Page& pg);
    void clearPreview(Page& pg);
    void showScanProblems();
    void refreshCountLabels(const CategoryCounts& counts);
    void setButtonImage(ResultCategory c, bool highlighted);
    void updateSelectionText();
    void showPreview(ResultCategory c, int row);
    // The previews of one record of each category.
    void showPhotoPreview(int row);
    void showContactPreview(int row);
    void showMessagePreview(int row);
    void showNotePreview(int row);
    void showCallPreview(int row);
    void setPreviewLabel(const char* label, const char* format, const std::string& value);
    ZNTextView* setPreviewText(const char* view, const std::string& value);
    // The file icon of a movie and why it cannot be played, shown when the
    // movie does not open.
    void showMovieIcon(const QString& why);
    Page& page(ResultCategory c);
    const Page& page(ResultCategory c) const;

    void showSaveWindow();
    void recoverTimerFired();
    void saveProgressorHanderToMainThreadHandle(const ExportResult& result);

    std::unique_ptr<Ui::ResulutView> ui_;
    std::unique_ptr<CountPanel> counts_;
    NotificationCenter& nc_;
    Prompter& prompter_;
    ResultIntake& intake_;
    std::unique_ptr<FooterLinks> footer_;
    std::function<std::string()> scanError_;
    std::function<std::vector<std::string>()> scanProblems_;
    std::atomic<bool> detached_{false};
    bool allCategories_ = false;
    std::string backupFolder_;
    // The export's formats, as last ticked in the save dialog (text files
    // and vCards until then), and the device facts its HTML report shows.
    ExportFormats exportFormats_;
    std::vector<std::pair<std::string, std::string>> reportFacts_;

    // The category pages, in ResultCategory order, and their typed models.
    std::vector<Page> pages_;
    RecordTableModel<ZNPhotoAndVideoNode>* photoModel_ = nullptr;
    RecordTableModel<ZNContactNode>* contactModel_ = nullptr;
    RecordTableModel<ZNMessageNode>* messageModel_ = nullptr;
    RecordTableModel<ZNNoteNode>* noteModel_ = nullptr;
    RecordTableModel<ZNCallHistoryNode>* callModel_ = nullptr;
    ResultTableView* currentTableView_ = nullptr;
    ResultCategory currentCategory_ = ResultCategory::Contact;

    QLabel* imageView_ = nullptr;
    QVideoWidget* movView_ = nullptr;
    QMediaPlayer* player_ = nullptr;
    QLabel* movieNote_ = nullptr;

    QString recoverPath_;
    QPointer<QDialog> saveWindow_;
    QProgressBar* saveProgressor_ = nullptr;
    QLabel* savepercentlab_ = nullptr;
    QTimer recoverTimer_;
    std::thread recoverThread_;

    FeedbackWindow* feedbackWindow_ = nullptr;  // a child: Qt deletes it
};

}  // namespace marlowen::gui
