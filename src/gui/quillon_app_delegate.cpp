#include "gui/quillon_app_delegate.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QShortcut>
#include <QThread>
#include <algorithm>

#include "core/discovery/backup_enumeration.h"
#include "core/discovery/no_backup_alert.h"
#include "core/feedback/feedback_mail.h"
#include "gui/default_center.h"
#include "gui/device_table_model.h"
#include "gui/feedback_settings.h"
#include "gui/help_pages.h"
#include "gui/password_sheet.h"
#include "gui/prompter.h"
#include "gui/resources.h"
#include "gui/sheet_placement.h"
#include "gui/zn_controls.h"
#include "gui/zn_result_view_controller.h"
#include "marlowen_version.h"
#include "ui_AboutWindow.h"
#include "ui_FeedbackSheet.h"
#include "ui_MainWindow.h"
#include "ui_WelcomeSheet.h"

namespace marlowen::gui {

namespace {

QuillonAppDelegate* gAppController = nullptr;

const QColor kAccent = QColor::fromRgbF(217 / 255.0f, 81 / 255.0f, 30 / 255.0f, 1.0f);

QFont face(const char* family, int points, bool bold = false) {
    QFont f(QString::fromLatin1(family), points);
    f.setStyleHint(QFont::SansSerif);
    f.setBold(bold);
    return f;
}

QFont boldSystem(int points) {
    QFont f = QApplication::font();
    f.setPointSize(points);
    f.setBold(true);
    return f;
}

}  // namespace

void ZNMainWindow::closeEvent(QCloseEvent* event) {
    if (shouldClose_ && !shouldClose_()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

QuillonAppDelegate::QuillonAppDelegate(Prompter& prompter, std::string backupRoot, QObject* parent)
    : QObject(parent),
      prompter_(prompter),
      backupRoot_(std::move(backupRoot)),
      nc(defaultCenter()),
      window_(std::make_unique<ZNMainWindow>()),
      ui_(std::make_unique<Ui::MainWindow>()),
      welcomeUi_(std::make_unique<Ui::WelcomeSheet>()),
      aboutUi_(std::make_unique<Ui::AboutWindow>()),
      feedbackUi_(std::make_unique<Ui::FeedbackSheet>()),
      scan_([this](std::function<void()> work, bool wait) {
          deliverScanWork(std::move(work), wait);
      }) {
    initResources();
    gAppController = this;
    ui_->setupUi(window_.get());
    setFixedWindowSize(849, 560);

    deviceModel_ = new DeviceTableModel(deviceController_, this);
    ui_->diskTableView->setModel(deviceModel_);
    nameCell_ = new ZNImageAndTextCell(ui_->diskTableView);
    ui_->diskTableView->setItemDelegateForColumn(0, nameCell_);
    ui_->diskTableView->verticalHeader()->hide();
    ui_->diskTableView->verticalHeader()->setDefaultSectionSize(26);
    ui_->diskTableView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ui_->diskTableView->horizontalHeader()->setStretchLastSection(false);
    connect(ui_->diskTableView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { tableViewSelectionDidChange(); });
    // Tab leaves the table for the controls below it instead of walking its cells.
    ui_->diskTableView->setTabKeyNavigation(false);
    connect(ui_->diskTableView, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) {
                if (!index.isValid()) return;
                ui_->diskTableView->selectRow(index.row());
                actScanIOSBackupFile();
            });
    // Return starts the scan of the selected backup from anywhere on the
    // backup page, unless another push button has the focus (it is pressed).
    ui_->button->setDefault(true);
    for (const QKeySequence& key : {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)}) {
        auto* shortcut =
            new QShortcut(key, ui_->backupPage, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, [this] {
            auto* focused = qobject_cast<QPushButton*>(QApplication::focusWidget());
            if (focused && focused != ui_->button) {
                focused->click();
                return;
            }
            // The keyboard's current row counts as picked when nothing is
            // selected (a click into the list's empty part clears the selection).
            QTableView* table = ui_->diskTableView;
            if (!table->selectionModel()->hasSelection() && table->currentIndex().isValid())
                table->selectRow(table->currentIndex().row());
            if (ui_->button->isEnabled()) actScanIOSBackupFile();
        });
    }
    // One way of finding deleted records at a time: the deep scan, or the
    // classic signature carvers.
    auto* searchChoice = new QButtonGroup(this);
    searchChoice->setExclusive(true);
    searchChoice->addButton(ui_->deepScanBtn);
    searchChoice->addButton(ui_->classicScanBtn);
    ui_->deepScanBtn->setChecked(true);

    leadWindow_ = new QDialog(window_.get());
    welcomeUi_->setupUi(leadWindow_);
    leadWindow_->setWindowModality(Qt::WindowModal);
    leadWindow_->setMinimumWidth(520);
    aboutWindow_ = new QDialog(window_.get());
    aboutUi_->setupUi(aboutWindow_);
    cryWindow_ = new QDialog(window_.get());
    feedbackUi_->setupUi(cryWindow_);
    cryWindow_->setWindowModality(Qt::WindowModal);
    keepSheetPlaced(leadWindow_, window_.get());
    keepSheetPlaced(cryWindow_, window_.get());
    passwordSheet_ = new PasswordSheet(window_.get());
    connect(passwordSheet_, &PasswordSheet::unlocked, this,
            [this](std::shared_ptr<const BackupKeys> keys) {
                DeviceNodePtr node = std::move(lockedNode_);
                if (node && !quitting_) startScan(node, std::move(keys));
            });
    connect(passwordSheet_, &PasswordSheet::cancelled, this, [this] {
        lockedNode_.reset();
        ui_->diskTableView->setFocus();
    });

    connect(ui_->button, &QPushButton::clicked, this, [this] { actScanIOSBackupFile(); });
    connect(ui_->helpBtn, &QPushButton::clicked, this, [this] { ClickHelp(); });
    connect(ui_->chooseFolderBtn, &QPushButton::clicked, this, [this] { actChooseFolder(); });
    connect(ui_->actionAbout, &QAction::triggered, this, [this] { ClickAbout(); });
    connect(ui_->actionHomePage, &QAction::triggered, this, [this] { ClickHomePage(); });
    connect(ui_->actionHelp, &QAction::triggered, this, [this] { ClickHelp(); });
    connect(ui_->actionChooseFolder, &QAction::triggered, this, [this] {
        if (ui_->backupPage->isVisible()) actChooseFolder();
    });
    // The same path as the window's close button: feedback sheet or confirmation.
    connect(ui_->actionQuit, &QAction::triggered, window_.get(), &QWidget::close);
    connect(ui_->actionShowLog, &QAction::triggered, this, [this] { showLogFile(); });
    connect(welcomeUi_->startBtn, &QPushButton::clicked, this, [this] { ClickStart(); });
    connect(welcomeUi_->learnmoreBtn, &QLabel::linkActivated, this, [this] { ClickLearnMore(); });
    connect(aboutUi_->homeBtn, &QPushButton::clicked, this, [this] { ClickHomePage(); });
    connect(aboutUi_->supportBtn, &QPushButton::clicked, this,
            [this] { openHelpPage(prompter_, HelpPage::Support); });
    connect(feedbackUi_->cancelBtn, &QPushButton::clicked, this, [this] { Cancel(); });
    connect(feedbackUi_->exitBtn, &QPushButton::clicked, this, [this] { Exit(); });
    connect(feedbackUi_->sendBtn, &QPushButton::clicked, this, [this] { Sender(); });
    emailTimer_.setInterval(10000);
    connect(&emailTimer_, &QTimer::timeout, this, [this] { SendEmialTimer_hander(); });
    window_->setShouldClose([this] { return windowShouldClose(); });

    awakeFromNib();
}

QuillonAppDelegate::~QuillonAppDelegate() {
    // A scan thread may be waiting for this thread: let it stop without
    // touching the widgets, then wait for it. The readers ask to stop
    // between rows and pages, so this takes a fraction of a second.
    closing_ = true;
    if (resultViewController_) resultViewController_->detachFromScan();
    scan_.requestStop();
    while (scan_.isScanning()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    scan_.wait();
    // A feedback send is bounded by its SMTP timeout; its forwarded end is
    // dropped with this object.
    emailTimer_.stop();
    if (emailThread_.joinable()) emailThread_.join();
    window_.reset();
    if (gAppController == this) gAppController = nullptr;
}

QuillonAppDelegate* QuillonAppDelegate::GetAppControllor() {
    return gAppController;
}

void QuillonAppDelegate::awakeFromNib() {
    ui_->infoTextlab->setFont(face("Lucida Grande", 13));
    ui_->notelab->setFont(face("Lucida Grande", 13));
    QPalette accent = ui_->notelab->palette();
    accent.setColor(QPalette::WindowText, kAccent);
    ui_->notelab->setPalette(accent);
    ui_->bottomImageView->setPixmap(QPixmap(QStringLiteral(":/images/bottom.png")));
    ui_->imageView->setPixmap(QPixmap(QStringLiteral(":/images/iphone.png"))
                                  .scaled(24, 40, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    ui_->diskTableView->setFont(face("Lucida Grande", 11));

    welcomeUi_->weclcomeField->setFont(face("Lucida Grande", 14));
    for (QLabel* l : {welcomeUi_->tiponeField, welcomeUi_->tipTwoField, welcomeUi_->tipThreeField})
        l->setFont(boldSystem(12));
    welcomeUi_->tipField->setFont(boldSystem(13));
    for (QLabel* l : {welcomeUi_->tipOneValueField, welcomeUi_->tipTwoValueField,
                      welcomeUi_->tipThreeValueField})
        l->setFont(face("Lucida Grande", 12));
    welcomeUi_->learnmoreBtn->setText(
        QStringLiteral(
            "<a href=\"learn-more\" style=\"color: blue; text-decoration: underline\">%1</a>")
            .arg(tr("Learn More...")));
    welcomeUi_->learnmoreBtn->setTextFormat(Qt::RichText);

    aboutUi_->productlab->setFont(face("Arial", 18));
    aboutUi_->versionlab->setText(tr("Version %1").arg(QString::fromLatin1(kVersion)));
    aboutUi_->versionlab->setFont(face("Arial", 12));
    for (QWidget* w :
         {static_cast<QWidget*>(aboutUi_->noticelab), static_cast<QWidget*>(aboutUi_->supportlab),
          static_cast<QWidget*>(aboutUi_->homepagelab)})
        w->setFont(face("Arial", 12));
    for (QPushButton* b : {aboutUi_->supportBtn, aboutUi_->homeBtn}) {
        b->setFont(face("Arial", 12));
        b->setStyleSheet(QStringLiteral("QPushButton { color: blue; border: none; }"));
        b->adjustSize();
    }

    feedbackUi_->cryInfolab->setFont(face("Arial", 18));
    feedbackUi_->cryInfolab->setTextFormat(Qt::RichText);
    feedbackUi_->cryInfolab->setText(
        tr("Please help me get BETTER with your suggestions!")
            .replace(tr("suggestions"),
                     QStringLiteral("<span style=\"color: rgb(217,81,30)\">%1</span>")
                         .arg(tr("suggestions"))));
    feedbackUi_->masterlab->setFont(face("Lucida Grande", 28));
    QPalette master = feedbackUi_->masterlab->palette();
    master.setColor(QPalette::WindowText, kAccent);
    feedbackUi_->masterlab->setPalette(master);
    feedbackUi_->goodlab->setFont(face("Arial", 18));
    feedbackUi_->senderIndicator->hide();
}

void QuillonAppDelegate::setFixedWindowSize(int width, int height) {
    window_->setMinimumSize(width, height);
    window_->setMaximumSize(width, height);
    window_->resize(width, height);
}

void QuillonAppDelegate::applicationDidFinishLaunching() {
    window_->show();
    window_->raise();
    window_->activateWindow();
    showIphoneDiskView();
    positionSheet(leadWindow_);
    leadWindow_->open();
}

void QuillonAppDelegate::ClickStart() {
    if (leadWindow_) leadWindow_->close();
}

void QuillonAppDelegate::ClickAbout() {
    if (aboutWindow_ && !aboutWindow_->isVisible()) aboutWindow_->show();
}

void QuillonAppDelegate::showLogFile() {
    if (logFilePath_.isEmpty() || !QFileInfo::exists(logFilePath_)) {
        prompter_.alert(window_.get(), tr("There is no log file yet."), tr("Ok"), QString(),
                        logFilePath_.isEmpty()
                            ? tr("This session writes its log to the terminal only.")
                            : tr("It will be written to %1.").arg(logFilePath_));
        return;
    }
    if (!prompter_.openPage(QUrl::fromLocalFile(logFilePath_)))
        prompter_.alert(window_.get(), tr("The log file could not be opened in a viewer."),
                        tr("Ok"), QString(), tr("It is %1.").arg(logFilePath_));
}

// The product's pages are its own help, shipped with it: nothing here needs
// a network or a web site.
void QuillonAppDelegate::ClickHomePage() {
    openHelpPage(prompter_, HelpPage::Home);
}
void QuillonAppDelegate::ClickHelp() {
    openHelpPage(prompter_, HelpPage::Help);
}
void QuillonAppDelegate::ClickLearnMore() {
    openHelpPage(prompter_, HelpPage::LearnMore);
}

void QuillonAppDelegate::Cancel() {
    if (cryWindow_) cryWindow_->close();
}

void QuillonAppDelegate::Exit() {
    quitApplication();
}

void QuillonAppDelegate::quitApplication() {
    // Set before anything closes: Qt's quit asks every window to close, and
    // the main window's close handler lets it go only once this is set.
    if (!quitting_) emit quitStarted();
    quitting_ = true;
    emailTimer_.stop();
    if (cryWindow_) cryWindow_->close();
    window_->close();
    QCoreApplication::quit();
}

void QuillonAppDelegate::Sender() {
    if (emailThread_.joinable()) return;  // one send per sheet: the program is quitting
    feedbackUi_->senderIndicator->show();
    feedbackUi_->sendBtn->setEnabled(false);
    emailTimer_.start();
    const std::string suggestion = feedbackUi_->suggestionView->toPlainText().toStdString();
    emailThread_ = std::thread(
        [this, config = feedbackSmtpConfig(), suggestion] { sendEmailHandle(config, suggestion); });
}

void QuillonAppDelegate::sendEmailHandle(const SmtpConfig& config, const std::string& suggestion) {
    marlowen::sendEmailHandle(config, suggestion);
    // The widgets and the quit belong to the main thread.
    QMetaObject::invokeMethod(
        this,
        [this] {
            feedbackUi_->senderIndicator->hide();
            endFeedbackSheetAndQuit();
        },
        Qt::QueuedConnection);
}

void QuillonAppDelegate::SendEmialTimer_hander() {
    endFeedbackSheetAndQuit();
}

void QuillonAppDelegate::endFeedbackSheetAndQuit() {
    emailTimer_.stop();
    if (quitting_) return;
    quitApplication();
}

bool QuillonAppDelegate::windowShouldClose() {
    if (quitting_) return true;
    if (bFeedBack_) {
        if (!prompter_.alert(window_.get(), tr("Are you sure you want to Exit ?"), tr(" Exit "),
                             tr("Cancel"), QString()))
            return false;
        quitting_ = true;
        emit quitStarted();
        // The window closes on return; the loop ends after it.
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        return true;
    }
    feedbackUi_->senderIndicator->hide();
    feedbackUi_->suggestionView->showPlaceholder(ZNFeedBackView::sheetPlaceholder());
    positionSheet(cryWindow_);
    cryWindow_->open();
    return false;
}

int QuillonAppDelegate::sheetOffsetForFrameHeight(int frameHeight) {
    return gui::sheetOffsetForFrameHeight(frameHeight);
}

void QuillonAppDelegate::positionSheet(QDialog* sheet) const {
    if (!sheet) return;
    sheet->adjustSize();
    placeSheet(sheet, window_.get());
}

void QuillonAppDelegate::tableViewSelectionDidChange() {
    ui_->button->setEnabled(ui_->diskTableView->selectionModel()->hasSelection());
}

void QuillonAppDelegate::hideMainView() {
    ui_->backupPage->hide();
}

void QuillonAppDelegate::showMainView() {
    ui_->backupPage->show();
}

void QuillonAppDelegate::showIphoneDiskView() {
    deviceModel_->beginRefill();
    deviceController_.removeAllContent();
    deviceModel_->endRefill();
    showIphoneDisk();
}

void QuillonAppDelegate::showIphoneDisk() {
    deviceModel_->beginRefill();
    const BackupListing listing = marlowen::showIphoneDisk(deviceController_, backupRoot_);
    deviceModel_->endRefill();
    fitDiskColumns();
    ui_->diskTableView->clearSelection();
    if (!listing.listEmpty && deviceModel_->rowCount() > 0) {
        ui_->diskTableView->selectRow(0);
        ui_->button->setEnabled(true);
        return;
    }
    ui_->button->setEnabled(false);
    prompter_.alert(window_.get(), tr(kNoBackupAlertMessage.data()),
                    tr(kNoBackupAlertButton.data()), QString(),
                    tr(kNoBackupAlertInformativeText.data()));
}

void QuillonAppDelegate::fitDiskColumns() {
    // Each column as wide as its header and longest value (the name at most
    // a quarter of the table), the lock column as wide as the lock, and what
    // room is left to the column before it.
    QTableView* table = ui_->diskTableView;
    const int columns = deviceModel_->columnCount();
    if (columns < 2) return;
    table->resizeColumnsToContents();
    const int room = table->viewport()->width();
    table->setColumnWidth(0, std::min(table->columnWidth(0), room / 4));
    table->setColumnWidth(columns - 1, 24);
    int used = 0;
    for (int column = 0; column < columns; ++column) used += table->columnWidth(column);
    if (used < room)
        table->setColumnWidth(columns - 2, table->columnWidth(columns - 2) + room - used);
}

void QuillonAppDelegate::actChooseFolder() {
    const QString folder =
        prompter_.chooseFolder(window_.get(), QString::fromStdString(backupRoot_));
    if (folder.isEmpty()) return;
    backupRoot_ = folder.toStdString();
    showIphoneDiskView();
}

void QuillonAppDelegate::showResultView() {
    if (!resultViewController_) {
        resultViewController_ =
            new ZNResultViewController(nc, scan_.intake(), prompter_, ui_->contentView);
        ui_->contentLayout->insertWidget(0, resultViewController_, 1);
        resultViewController_->setScanErrorSource([this] { return scan_.lastError(); });
        resultViewController_->setScanProblemsSource([this] {
            std::vector<std::string> lines;
            for (const DatabaseProblem& p : scan_.databaseProblems())
                lines.push_back(p.category + " (" + p.database + "): " + p.reason);
            return lines;
        });
        connect(resultViewController_, &ZNResultViewController::wentHome, this, [this] {
            setFixedWindowSize(849, 560);
            showMainView();
        });
    }
}

void QuillonAppDelegate::actScanIOSBackupFile() {
    const QModelIndexList rows = ui_->diskTableView->selectionModel()->selectedRows();
    if (rows.isEmpty() || scan_.isScanning() || passwordSheet_->isVisible()) return;
    DeviceNodePtr node = deviceModel_->nodeAt(rows.constFirst().row());
    if (!node) return;
    if (!node->bEncrypted()) {
        startScan(node, nullptr);
        return;
    }
    // What an encrypted backup lacks is known without its password: say so
    // before asking for one.
    const UnlockStatus parts = checkEncryptedBackupParts(node->backUpFilePath());
    if (parts == UnlockStatus::NotEncrypted) {
        startScan(node, nullptr);
        return;
    }
    if (parts != UnlockStatus::Ok) {
        prompter_.alert(window_.get(), tr("This encrypted backup cannot be opened."), tr("Ok"),
                        QString(), QString::fromStdString(unlockStatusMessage(parts)));
        return;
    }
    lockedNode_ = node;
    passwordSheet_->ask(QString::fromStdString(node->strDeviceName()), node->backUpFilePath());
}

void QuillonAppDelegate::startScan(const DeviceNodePtr& node,
                                   std::shared_ptr<const BackupKeys> keys) {
    if (scan_.isScanning()) return;
    currentNode_ = node;
    currentNodeIsiOS6Version_ = ScanController::IOSVersionIOS6(node->strIOSVersion());

    setFixedWindowSize(850, 620);
    hideMainView();
    showResultView();
    const bool all = ui_->scanAllBtn->isChecked();
    resultViewController_->showView(ui_->contentView, *node, all);
    const DeletedRecordSearch search = ui_->classicScanBtn->isChecked()
                                           ? DeletedRecordSearch::Signatures
                                           : DeletedRecordSearch::Deep;
    ScanTarget target{node->backUpFilePath(), node->strIOSVersion(), keys != nullptr};
    target.keys = std::move(keys);
    scan_.start(target, all ? ScanSequence::Full : ScanSequence::Contacts, search);
}

void QuillonAppDelegate::deliverScanWork(std::function<void()> work, bool wait) {
    if (closing_) return;
    if (QThread::currentThread() == thread()) {
        work();
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this, work = std::move(work)] {
            if (!closing_) work();
        },
        wait ? Qt::BlockingQueuedConnection : Qt::QueuedConnection);
}

}  // namespace marlowen::gui
