// The application controller: the main window with its backup page, the
// welcome, About and feedback sheets, the device list, and the start of a
// scan on its own thread. The results page belongs to ZNResultViewController,
// created on the first scan and reused for every later one.
#pragma once

#include <atomic>

#include <QMainWindow>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "core/discovery/device_controller.h"
#include "core/feedback/smtp_config.h"
#include "core/notify/notification_center.h"
#include "core/session/scan_session.h"

#include <QDialog>

namespace Ui {
class MainWindow;
class WelcomeSheet;
class AboutWindow;
class FeedbackSheet;
}  // namespace Ui

namespace marlowen::gui {

class DeviceTableModel;
class PasswordSheet;
class Prompter;
class ZNImageAndTextCell;
class ZNResultViewController;

// The main window; asks its controller before it closes.
class ZNMainWindow : public QMainWindow {
    Q_OBJECT
public:
    using QMainWindow::QMainWindow;
    void setShouldClose(std::function<bool()> ask) { shouldClose_ = std::move(ask); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    std::function<bool()> shouldClose_;
};

class QuillonAppDelegate : public QObject {
    Q_OBJECT
public:
    // `backupRoot` is searched at launch.
    QuillonAppDelegate(Prompter& prompter, std::string backupRoot, QObject* parent = nullptr);
    ~QuillonAppDelegate() override;

    static QuillonAppDelegate* GetAppControllor();

    // Fills the backup list, shows the window and the welcome sheet (the
    // no-backup alert first when the list is empty).
    void applicationDidFinishLaunching();

    // Actions.
    void ClickAbout();
    void ClickHomePage();
    void ClickHelp();
    void ClickLearnMore();
    void ClickStart();
    void Cancel();
    void Exit();
    // Ends the program: closes the sheets and the main window without asking
    // again, then leaves the event loop (exec() returns 0).
    void quitApplication();
    bool isQuitting() const { return quitting_; }
    // Feedback sheet: Send shows the indicator, arms the 10-second safety
    // timer and sends the suggestion on a thread of its own. The end of the
    // send or the first tick of the timer, whichever comes first, ends the
    // sheet and quits.
    void Sender();
    // Body of the sending thread.
    void sendEmailHandle(const SmtpConfig& config, const std::string& suggestion);
    void SendEmialTimer_hander();
    void actScanIOSBackupFile();
    // Opens the diagnostic log file of this session (Help menu).
    void showLogFile();
    void setLogFilePath(const QString& path) { logFilePath_ = path; }
    // Lists the backups of another root.
    void actChooseFolder();

    bool windowShouldClose();
    // Offset by which a sheet is lowered below the window's top for a window
    // frame of `frameHeight`.
    static int sheetOffsetForFrameHeight(int frameHeight);
    void positionSheet(QDialog* sheet) const;

    void tableViewSelectionDidChange();
    void hideMainView();
    void showMainView();
    void showResultView();
    void showIphoneDiskView();
    void showIphoneDisk();

    ZNMainWindow* window() const { return window_.get(); }

signals:
    // The program began to quit (once per run).
    void quitStarted();

public:
    Ui::MainWindow& ui() { return *ui_; }
    ZNIOSDeviceController& deviceController() { return deviceController_; }
    DeviceTableModel* deviceModel() const { return deviceModel_; }
    ZNResultViewController* resultViewController() const { return resultViewController_; }
    ScanSession& scanSession() { return scan_; }
    QDialog* leadWindow() const { return leadWindow_; }
    QDialog* aboutWindow() const { return aboutWindow_; }
    QDialog* cryWindow() const { return cryWindow_; }
    PasswordSheet* passwordSheet() const { return passwordSheet_; }
    Ui::FeedbackSheet& feedbackUi() { return *feedbackUi_; }
    QTimer& emailTimer() { return emailTimer_; }
    const DeviceNodePtr& currentNode() const { return currentNode_; }
    bool currentNodeIsiOS6Version() const { return currentNodeIsiOS6Version_; }
    bool bFeedBack() const { return bFeedBack_; }
    void setBFeedBack(bool v) { bFeedBack_ = v; }
    const std::string& backupRoot() const { return backupRoot_; }

private:
    void awakeFromNib();
    void setFixedWindowSize(int width, int height);
    void fitDiskColumns();
    // Shows the results page and starts the scan of `node`; `keys` unlock
    // it when it is encrypted.
    void startScan(const DeviceNodePtr& node, std::shared_ptr<const BackupKeys> keys);
    // The scan session's deliverer: runs scan work on this thread, queued
    // (or waiting for it when `wait`); dropped once the program goes.
    void deliverScanWork(std::function<void()> work, bool wait);
    // Ends the feedback sheet and quits, once.
    void endFeedbackSheetAndQuit();

    Prompter& prompter_;
    std::string backupRoot_;
    NotificationCenter& nc;
    std::unique_ptr<ZNMainWindow> window_;
    std::unique_ptr<Ui::MainWindow> ui_;
    std::unique_ptr<Ui::WelcomeSheet> welcomeUi_;
    std::unique_ptr<Ui::AboutWindow> aboutUi_;
    std::unique_ptr<Ui::FeedbackSheet> feedbackUi_;
    QPointer<QDialog> leadWindow_;
    QPointer<QDialog> aboutWindow_;
    QPointer<QDialog> cryWindow_;
    PasswordSheet* passwordSheet_ = nullptr;
    // The encrypted backup the password sheet is open for.
    DeviceNodePtr lockedNode_;
    ZNIOSDeviceController deviceController_;
    DeviceTableModel* deviceModel_ = nullptr;
    ZNImageAndTextCell* nameCell_ = nullptr;
    // Set when the program goes: scan work still on its way is dropped.
    std::atomic<bool> closing_{false};
    ScanSession scan_;
    ZNResultViewController* resultViewController_ = nullptr;
    DeviceNodePtr currentNode_;
    bool currentNodeIsiOS6Version_ = false;
    bool bFeedBack_ = false;
    QTimer emailTimer_;
    std::thread emailThread_;
    bool quitting_ = false;
    QString logFilePath_;
};

}  // namespace marlowen::gui
