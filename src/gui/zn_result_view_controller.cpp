#include "gui/zn_result_view_controller.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMediaPlayer>
#include <QPushButton>
#include <QScrollBar>
#include <QThread>
#include <QVBoxLayout>
#include <QVideoWidget>

#include "core/export/html_report.h"
#include "core/feedback/feedback_mail.h"
#include "gui/default_center.h"
#include "gui/feedback_window.h"
#include "gui/footer_links.h"
#include "gui/prompter.h"
#include "gui/quillon_app_delegate.h"
#include "gui/resources.h"
#include "gui/result_sorting.h"
#include "gui/result_table_view.h"
#include "gui/result_view_style.h"
#include "gui/zn_controls.h"
#include "gui/zn_result_page.h"
#include "ui_ResulutView.h"

namespace marlowen::gui {

namespace {

template <class Node>
std::vector<std::shared_ptr<Node>> deletedOf(const std::vector<std::shared_ptr<Node>>& list) {
    std::vector<std::shared_ptr<Node>> out;
    for (const auto& n : list)
        if (n->bDeleted()) out.push_back(n);
    return out;
}

}  // namespace

ZNResultViewController::ZNResultViewController(NotificationCenter& nc, ResultIntake& intake,
                                               Prompter& prompter, QWidget* parent)
    : QWidget(parent),
      ui_(std::make_unique<Ui::ResulutView>()),
      nc_(nc),
      prompter_(prompter),
      intake_(intake) {
    initResources();
    ui_->setupUi(this);
    counts_ = std::make_unique<CountPanel>(*ui_);
    buildCategoryViews();
    awakeFromNib();

    intake_.setMainThreadRunner(
        [this](const std::function<void()>& work) { runOnMainThread(work); });
    // The scan session delivers to this thread; an intake fed on another
    // thread takes the counts there and shows them here.
    intake_.setProgressHandler([this](int percent) {
        const CategoryCounts counts = CategoryCounts::of(intake_);
        if (QThread::currentThread() == thread()) {
            ScanProgressInfomationHandle(percent, counts);
            return;
        }
        QMetaObject::invokeMethod(
            this, [this, percent, counts] { ScanProgressInfomationHandle(percent, counts); },
            Qt::QueuedConnection);
    });
    intake_.setFinishHandler([this] { ScanFinishOnMainThread(); });

    connect(ui_->photoBtn, &QPushButton::clicked, this, [this] { actPhoto(); });
    connect(ui_->contactBtn, &QPushButton::clicked, this, [this] { actContact(); });
    connect(ui_->messageBtn, &QPushButton::clicked, this, [this] { actMessage(); });
    connect(ui_->noteBtn, &QPushButton::clicked, this, [this] { actNote(); });
    connect(ui_->callBtn, &QPushButton::clicked, this, [this] { actCallHistory(); });
    connect(ui_->checkBtn, &QCheckBox::clicked, this, [this] { actCheck(); });
    connect(ui_->selectAllBtn, &QPushButton::clicked, this, [this] { checkAllShown(true); });
    connect(ui_->selectNoneBtn, &QPushButton::clicked, this, [this] { checkAllShown(false); });
    connect(ui_->homeBtn, &QPushButton::clicked, this, [this] { actHome(); });
    connect(ui_->saveBtn, &QPushButton::clicked, this, [this] { actRecovery(); });
    footer_ =
        std::make_unique<FooterLinks>(*ui_, nc_, prompter_, this, [this] { clickFeedBack(); });
    feedbackWindow_ = new FeedbackWindow(this);

    recoverTimer_.setInterval(1000);
    connect(&recoverTimer_, &QTimer::timeout, this, [this] { recoverTimerFired(); });
    hide();
}

ZNResultViewController::~ZNResultViewController() {
    detached_ = true;
    // The intake is the session's and outlives this controller.
    intake_.setMainThreadRunner({});
    intake_.setProgressHandler({});
    intake_.setFinishHandler({});
    if (recoverThread_.joinable()) recoverThread_.join();
}

// The footer's feedback window, which the footer and the window's tests
// reach through these calls.
void ZNResultViewController::clickFeedBack() {
    feedbackWindow_->showEmpty();
}

void ZNResultViewController::clickSendFeedBack() {
    feedbackWindow_->send();
}

void ZNResultViewController::ClickDontSendFeedBack() {
    feedbackWindow_->hide();
}

void ZNResultViewController::sendFeedBackEmailHandle(const SmtpConfig& config,
                                                     const std::string& email,
                                                     const std::string& suggestion) {
    marlowen::sendFeedBackEmailHandle(config, email, suggestion);
}

QString ZNResultViewController::getFeedBackInfo() const {
    return feedbackWindow_->mailBody();
}

QDialog* ZNResultViewController::feedbackWindow() const {
    return feedbackWindow_;
}
QLineEdit* ZNResultViewController::feedbackEmailVaule() const {
    return feedbackWindow_->emailField();
}
ZNFeedBackView* ZNResultViewController::feedbackView() const {
    return feedbackWindow_->suggestionView();
}

void ZNResultViewController::clickFacebook() {
    footer_->openHome();
}
void ZNResultViewController::clickTwitter() {
    footer_->openHome();
}
void ZNResultViewController::clickSupport() {
    footer_->openSupport();
}

void ZNResultViewController::runOnMainThread(const std::function<void()>& work) {
    if (QThread::currentThread() == thread()) {
        work();
        return;
    }
    if (detached_) return;
    QMetaObject::invokeMethod(
        this,
        [this, &work] {
            if (!detached_) work();
        },
        Qt::BlockingQueuedConnection);
}

void ZNResultViewController::awakeFromNib() {
    const QList<QWidget*> small = {ui_->progressTextField,
                                   ui_->selecteFilelab,
                                   ui_->checkBtn,
                                   ui_->facebookBtn,
                                   ui_->twitterBtn,
                                   ui_->feedBackBtn,
                                   ui_->supprotBtn,
                                   ui_->scanInfolab,
                                   ui_->backupNameInfoCaplab,
                                   ui_->backupSerialInfoCaplab,
                                   ui_->deviceTypeInfoCaplab,
                                   ui_->iOSTypeInfoCaplab,
                                   ui_->backupDateInfoCaplab};
    for (QWidget* w : small) w->setFont(lucida(11));
    for (QWidget* w : {ui_->backupNameInfolab, ui_->backupSerialInfolab, ui_->deviceTypeInfolab,
                       ui_->iOSTypeInfolab, ui_->backupDateInfolab})
        static_cast<QWidget*>(w)->setFont(lucida(12));
    for (QWidget* w : {ui_->BackUpInfolab, ui_->backuplab, ui_->deletedlab}) w->setFont(lucida(14));
    // Bold 12 as the platform's points; on 96-dpi screens that is 12 pixels
    // wider per glyph than the layout allows, so the size is set in pixels.
    QFont countFont = QApplication::font();
    countFont.setPixelSize(13);
    countFont.setBold(true);
    for (QLabel* l : {ui_->photovideoNumlab, ui_->delPhotovideoNumlab, ui_->contactNumlab,
                      ui_->delContactNumlab, ui_->messageNumlab, ui_->delMessageNumlab,
                      ui_->noteNumlab, ui_->delNoteNumlab, ui_->callNumlab, ui_->delCallNumlab})
        l->setFont(countFont);
    for (int column = 1; column <= 5; ++column) ui_->categoryGrid->setColumnStretch(column, 1);

    ui_->checkBtn->setText(tr("Only dispaly deleted files"));
    QPalette p = ui_->checkBtn->palette();
    p.setColor(QPalette::WindowText, kAccent);
    p.setColor(QPalette::ButtonText, kAccent);
    ui_->checkBtn->setPalette(p);

    ui_->bottomImageView->setPixmap(QPixmap(QStringLiteral(":/images/bottom.png")));
    ui_->scanproView->setAutoFillBackground(true);
    QPalette ground = ui_->scanproView->palette();
    ground.setBrush(QPalette::Window, QBrush(QPixmap(QStringLiteral(":/images/whiteimg.png"))));
    ui_->scanproView->setPalette(ground);
    ui_->scanProgressor->setStyleSheet(QStringLiteral(
        "QProgressBar { border: 1px solid #bbb; border-radius: 3px; min-height: 14px;"
        " background-image: url(:/images/progressGorund.png); }"
        " QProgressBar::chunk { background-color: rgb(217, 81, 30); }"));
}

void ZNResultViewController::buildCategoryModels() {
    using PV = ZNPhotoAndVideoNode;
    using C = ZNContactNode;
    using M = ZNMessageNode;
    using N = ZNNoteNode;
    using CH = ZNCallHistoryNode;
    const ResultTableModel::Column check{QString::fromLatin1(kCheckColumn), QString()};

    photoModel_ = new RecordTableModel<PV>(
        {{check, {}},
         {{QStringLiteral("Name"), tr("Name")}, [](const PV& n) { return n.fileNodeName(); }},
         {{QStringLiteral("Size"), tr("Size")}, [](const PV& n) { return n.fileNodeSize(); }},
         {{QStringLiteral("bmov"), tr("Kind")},
          [](const PV& n) { return (n.bmov() ? tr("Movie") : tr("Photo")).toStdString(); }}},
        this);
    contactModel_ = new RecordTableModel<C>(
        {{check, {}},
         {{QStringLiteral("Name"), tr("Name")}, [](const C& n) { return n.contactName(); }},
         {{QStringLiteral("contactPhone"), tr("Phone")},
          [](const C& n) { return n.contactPhone(); }},
         {{QStringLiteral("contactEmail"), tr("Email")},
          [](const C& n) { return n.contactEmail(); }}},
        this);
    messageModel_ = new RecordTableModel<M>(
        {{check, {}},
         {{QStringLiteral("Name"), tr("Name")}, [](const M& n) { return n.messageName(); }},
         {{QStringLiteral("messagePhone"), tr("Phone")},
          [](const M& n) { return n.messagePhone(); }},
         {{QStringLiteral("messageDate"), tr("Date")}, [](const M& n) { return n.messageDate(); }},
         {{QStringLiteral("messageContent"), tr("Content")},
          [](const M& n) { return n.messageContent(); }}},
        this);
    noteModel_ = new RecordTableModel<N>(
        {{check, {}},
         {{QStringLiteral("noteTitle"), tr("Title")}, [](const N& n) { return n.noteTitle(); }},
         {{QStringLiteral("noteContent"), tr("Note")}, [](const N& n) { return n.noteContent(); }},
         {{QStringLiteral("noteDate"), tr("Date")}, [](const N& n) { return n.noteDate(); }}},
        this);
    callModel_ = new RecordTableModel<CH>(
        {{check, {}},
         {{QStringLiteral("Name"), tr("Name")}, [](const CH& n) { return n.callName(); }},
         {{QStringLiteral("callPhone"), tr("Phone")}, [](const CH& n) { return n.callPhone(); }},
         {{QStringLiteral("callDate"), tr("Date")}, [](const CH& n) { return n.callDate(); }},
         {{QStringLiteral("callType"), tr("Type")}, [](const CH& n) { return n.callType(); }},
         {{QStringLiteral("callDuration"), tr("Duration")},
          [](const CH& n) { return n.callDuration(); }}},
        this);
}

void ZNResultViewController::buildCategoryViews() {
    buildCategoryModels();
    auto* custom = static_cast<QVBoxLayout*>(ui_->CustomView->layout());
    // What differs by category: its models and widgets, how its display
    // list is filled from the intake and sorted, and its preview.
    auto filled = [this](auto* model, auto all) {
        return [this, model, all](bool deletedOnly) {
            const auto& list = (intake_.*all)();
            model->setDisplayList(deletedOnly ? deletedOf(list) : list);
        };
    };
    struct CategoryParts {
        ResultCategory c;
        ResultTableModel* model;
        ZNButton* button;
        const char* base;
        const char* view;
        const char* table;
        QWidget* (ZNResultViewController::*preview)();
        void (ZNResultViewController::*showRow)(int row);
        std::function<void(bool deletedOnly)> fill;
        SortChoice (*sortChoice)(const QString& heading);
        Sorter sort;
    };
    const CategoryParts categories[] = {
        // Photos and videos carry no deleted mark: the filter never applies.
        {ResultCategory::PhotoAndVideo, photoModel_, ui_->photoBtn, "phone&video", "photoView",
         "photoTableView", &ZNResultViewController::buildPhotoPreview,
         &ZNResultViewController::showPhotoPreview,
         [this](bool) { photoModel_->setDisplayList(intake_.photoAndVideoArray()); },
         &photoSortChoice, photoSorter(photoModel_)},
        {ResultCategory::Contact, contactModel_, ui_->contactBtn, "contact", "contactView",
         "contactTableView", &ZNResultViewController::buildContactPreview,
         &ZNResultViewController::showContactPreview,
         filled(contactModel_, &ResultIntake::contactArray), &byNameSortChoice,
         contactSorter(contactModel_)},
        {ResultCategory::Message, messageModel_, ui_->messageBtn, "message", "messageView",
         "messageTableView", &ZNResultViewController::buildMessagePreview,
         &ZNResultViewController::showMessagePreview,
         filled(messageModel_, &ResultIntake::messageArray), &byNameSortChoice,
         messageSorter(messageModel_)},
        {ResultCategory::Note,
         noteModel_,
         ui_->noteBtn,
         "note",
         "noteView",
         "noteTableView",
         &ZNResultViewController::buildNotePreview,
         &ZNResultViewController::showNotePreview,
         filled(noteModel_, &ResultIntake::noteArray),
         nullptr,
         {}},
        {ResultCategory::CallHistory, callModel_, ui_->callBtn, "call", "callHistoryView",
         "callHistoryTableView", &ZNResultViewController::buildCallPreview,
         &ZNResultViewController::showCallPreview,
         filled(callModel_, &ResultIntake::callHistoryArray), &callSortChoice,
         callSorter(callModel_)},
    };
    for (const CategoryParts& s : categories) {
        Page pg;
        pg.category = s.c;
        pg.model = s.model;
        pg.button = s.button;
        pg.fill = s.fill;
        pg.sortChoice = s.sortChoice;
        pg.sort = s.sort;
        pg.showRow = s.showRow;
        pg.plainImage = QString::fromLatin1(s.base) + QStringLiteral("Nom");
        pg.onImage = QString::fromLatin1(s.base) + QStringLiteral("On");
        pg.view = new QWidget(ui_->CustomView);
        pg.view->setObjectName(QString::fromLatin1(s.view));
        auto* row = new QHBoxLayout(pg.view);
        row->setContentsMargins(0, 0, 0, 0);
        pg.table = new ResultTableView(pg.view);
        pg.table->setObjectName(QString::fromLatin1(s.table));
        pg.table->setModel(s.model);
        pg.table->setFont(lucida(11));
        pg.table->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
        pg.table->setColumnWidth(0, 28);
        row->addWidget(pg.table, 1);
        pg.table->setEmptyText(tr("No records found"));
        QWidget* preview = (this->*s.preview)();
        preview->setParent(pg.view);
        preview->setFixedWidth(250);
        row->addWidget(preview);
        pg.preview = preview;
        pg.deletedNote = new QLabel(tr("This record was deleted."), preview);
        pg.deletedNote->setObjectName(QString::fromLatin1(s.base) + QStringLiteral("DeletedNote"));
        pg.deletedNote->setFont(lucida(11, true));
        QPalette deletedLook = pg.deletedNote->palette();
        deletedLook.setColor(QPalette::WindowText, ResultTableModel::deletedColour());
        pg.deletedNote->setPalette(deletedLook);
        pg.deletedNote->hide();
        static_cast<QBoxLayout*>(preview->layout())->insertWidget(0, pg.deletedNote);
        custom->addWidget(pg.view);
        pg.view->hide();

        ResultTableView* table = pg.table;
        connect(s.model, &ResultTableModel::checkBoxClicked, this,
                [this, table](int, bool on) { tableView(table, on); });
        connect(table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                [this, table] { tableViewSelectionDidChange(table); });
        connect(table->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
                [this, table] { tableViewSelectionDidChange(table); });
        connect(table->horizontalHeader(), &QHeaderView::sectionClicked, this,
                [this, table](int column) { tableView(table, column); });
        pages_.push_back(pg);
    }
    currentTableView_ = page(ResultCategory::Contact).table;
}

ZNResultViewController::Page& ZNResultViewController::page(ResultCategory c) {
    return pages_[static_cast<std::size_t>(c)];
}
const ZNResultViewController::Page& ZNResultViewController::page(ResultCategory c) const {
    return pages_[static_cast<std::size_t>(c)];
}
ResultTableView* ZNResultViewController::tableOf(ResultCategory c) const {
    return page(c).table;
}
ResultTableModel* ZNResultViewController::modelOf(ResultCategory c) const {
    return page(c).model;
}
QWidget* ZNResultViewController::viewOf(ResultCategory c) const {
    return page(c).view;
}
ZNButton* ZNResultViewController::buttonOf(ResultCategory c) const {
    return page(c).button;
}
QString ZNResultViewController::buttonImageOf(ResultCategory c) const {
    return page(c).shownImage;
}

QLabel* ZNResultViewController::previewLabel(const char* name) const {
    return findChild<QLabel*>(QString::fromLatin1(name));
}

void ZNResultViewController::setButtonImage(ResultCategory c, bool highlighted) {
    Page& pg = page(c);
    pg.shownImage = highlighted ? pg.onImage : pg.plainImage;
    pg.button->setIcon(QIcon(QStringLiteral(":/images/%1.png").arg(pg.shownImage)));
}

void ZNResultViewController::showView(QWidget* parent, const ZNIOSDeviceNode& node,
                                      bool allCategories) {
    allCategories_ = allCategories;
    backupFolder_ = node.backUpFilePath();
    reportFacts_ = reportFactsOf(node);
    if (parent && parentWidget() != parent) {
        setParent(parent);
        if (parent->layout()) parent->layout()->addWidget(this);
    }
    show();
    imageView_->hide();
    movView_->hide();

    ui_->scanproView->show();
    for (Page& pg : pages_) pg.view->hide();

    ui_->scanProgressor->setValue(1);
    ui_->progressTextField->setText(percentText(1));
    ui_->scanProgressor->show();
    ui_->progressTextField->show();
    ui_->scanInfolab->show();

    ui_->checkBtn->setChecked(false);
    ui_->checkBtn->hide();
    ui_->selectAllBtn->hide();
    ui_->selectNoneBtn->hide();
    ui_->selecteFilelab->hide();
    ui_->problemslab->clear();
    ui_->problemslab->hide();

    intake_.showView();
    // Nothing of an earlier scan stays on show.
    for (Page& pg : pages_) {
        pg.sortColumn.clear();
        pg.table->horizontalHeader()->setSortIndicatorShown(false);
        clearPreview(pg);
    }

    ui_->saveBtn->setEnabled(false);
    ui_->homeBtn->setEnabled(false);
    for (Page& pg : pages_) pg.button->setEnabled(false);
    for (ZNButton* b : {ui_->facebookBtn, ui_->twitterBtn, ui_->feedBackBtn}) b->setEnabled(false);

    ui_->backupNameInfolab->setText(qs(node.strDeviceName()));
    ui_->backupSerialInfolab->setText(qs(node.strDeviceSerial()));
    // As in the backup table: the old model table's name, else the modern one.
    ui_->deviceTypeInfolab->setText(node.strDeviceType().empty()
                                        ? QString::fromStdString(node.modelName())
                                        : tr(node.strDeviceType().c_str()));
    ui_->iOSTypeInfolab->setText(qs(node.strIOSVersion()));
    ui_->backupDateInfolab->setText(qs(node.strDeviceBackUpTime()));

    for (Page& pg : pages_) setButtonImage(pg.category, false);

    counts_->clear();

    auto widths = [](ResultTableView* t, const QString& id, int w) {
        auto* m = static_cast<ResultTableModel*>(t->model());
        const int c = m->columnOf(id);
        if (c >= 0) t->setColumnWidth(c, w);
    };
    widths(page(ResultCategory::Message).table, QStringLiteral("messageContent"), 240);
    widths(page(ResultCategory::Note).table, QStringLiteral("noteContent"), 307);
    widths(page(ResultCategory::CallHistory).table, QStringLiteral("callPhone"), 174);
    widths(page(ResultCategory::Contact).table, QStringLiteral("Name"), 200);
    widths(page(ResultCategory::Contact).table, QStringLiteral("contactPhone"), 140);
    widths(page(ResultCategory::PhotoAndVideo).table, QStringLiteral("Name"), 160);
}

void ZNResultViewController::refreshCountLabels(const CategoryCounts& c) {
    counts_->show(c);
}

void ZNResultViewController::ScanProgressInfomationHandle(int percent,
                                                          const CategoryCounts& counts) {
    ui_->scanProgressor->setValue(std::clamp(percent, 0, 100));
    ui_->progressTextField->setText(percentText(percent));
    refreshCountLabels(counts);
}

void ZNResultViewController::ScanFinishOnMainThread() {
    ui_->scanProgressor->setValue(0);
    ui_->progressTextField->setText(percentText(0));
    ui_->scanProgressor->hide();
    ui_->progressTextField->hide();
    ui_->scanInfolab->hide();
    ui_->checkBtn->show();

    ui_->homeBtn->setEnabled(true);
    for (Page& pg : pages_)
        pg.button->setEnabled(allCategories_ || pg.category == ResultCategory::Contact);
    for (ZNButton* b : {ui_->facebookBtn, ui_->twitterBtn, ui_->feedBackBtn}) b->setEnabled(true);

    // A reader that found nothing posts no progress; show what was listed.
    refreshCountLabels(CategoryCounts::of(intake_));
    showScanProblems();
    ui_->selectAllBtn->show();
    ui_->selectNoneBtn->show();
    actContact();

    const std::string error = scanError_ ? scanError_() : std::string();
    // The alert is shown after the scan thread was let go.
    QTimer::singleShot(0, this, [this, error] {
        if (!error.empty()) {
            prompter_.alert(window(), tr(error.c_str()), tr("Ok"), QString(), QString());
            return;
        }
        prompter_.alert(window(),
                        tr("If you have not found the deleted files, please use iTunes to back up "
                           "your iOS device, after completing the backup, and reopen the software "
                           "to start again."),
                        tr("Ok"), QString(), QString());
    });
}

void ZNResultViewController::showScanProblems() {
    const std::vector<std::string> lines =
        scanProblems_ ? scanProblems_() : std::vector<std::string>();
    QStringList shown;
    for (const std::string& line : lines) shown.append(qs(line).toHtmlEscaped());
    ui_->problemslab->setTextFormat(Qt::RichText);
    ui_->problemslab->setText(
        shown.isEmpty()
            ? QString()
            : QStringLiteral("<span style=\"color: rgb(217,81,30)\">%1</span><br>%2")
                  .arg(tr("Not everything in this backup could be read:").toHtmlEscaped(),
                       shown.join(QStringLiteral("<br>"))));
    ui_->problemslab->setVisible(!shown.isEmpty());
}

void ZNResultViewController::clearPreview(Page& pg) {
    if (!pg.preview) return;
    for (QLabel* label : pg.preview->findChildren<QLabel*>()) {
        if (label == pg.deletedNote || label == imageView_) continue;
        label->clear();
    }
    for (ZNTextView* text : pg.preview->findChildren<ZNTextView*>()) text->setString(QString());
    pg.deletedNote->hide();
    if (pg.category == ResultCategory::PhotoAndVideo) {
        player_->stop();
        player_->setSource(QUrl());
        imageView_->clear();
        imageView_->hide();
        movView_->hide();
        movieNote_->hide();
    }
}

void ZNResultViewController::checkAllShown(bool on) {
    if (!currentTableView_) return;
    auto* model = static_cast<ResultTableModel*>(currentTableView_->model());
    for (int row = 0; row < model->rowCount(); ++row)
        if (model->setChecked(row, on)) intake_.selectedFilesNum += on ? 1 : -1;
    model->checksChanged();
    updateSelectionText();
}

void ZNResultViewController::fillDisplayList(ResultCategory c, bool deletedOnly) {
    Page& pg = page(c);
    pg.fill(deletedOnly);
    // The last sort holds for every fill, with or without the filter.
    if (!pg.sortColumn.isEmpty()) sortDisplayList(pg);
    fitColumns(pg);
}

void ZNResultViewController::showCategory(ResultCategory c) {
    if (c == ResultCategory::PhotoAndVideo) {
        ui_->checkBtn->hide();
    } else {
        ui_->checkBtn->show();
        ui_->checkBtn->setChecked(false);
    }
    for (Page& pg : pages_) setButtonImage(pg.category, pg.category == c);
    currentCategory_ = c;
    currentTableView_ = page(c).table;
    ui_->scanproView->hide();
    for (Page& pg : pages_) pg.view->setVisible(pg.category == c);
    fillDisplayList(c, false);
    selectFirstRow(page(c));
}

void ZNResultViewController::selectFirstRow(Page& pg) {
    pg.table->clearSelection();
    if (pg.table->model()->rowCount() > 0)
        pg.table->selectOnlyRow(0);
    else
        clearPreview(pg);
}

void ZNResultViewController::actCheck() {
    if (currentCategory_ == ResultCategory::PhotoAndVideo) return;
    fillDisplayList(currentCategory_, ui_->checkBtn->isChecked());
    selectFirstRow(page(currentCategory_));
}

void ZNResultViewController::releaseUIMemory() {
    player_->stop();
    player_->setSource(QUrl());
    intake_.releaseUIMemory();
    for (Page& pg : pages_) pg.model->clearDisplayList();
}

void ZNResultViewController::actHome() {
    const bool back = prompter_.alert(
        window(),
        tr("Are you sure you want to go back to Home? If Back, the scanning results will not be "
           "saved."),
        tr(" Back "), tr("Cancel"), QString());
    if (!back) return;
    releaseUIMemory();
    hide();
    intake_.selectedFilesNum = 0;
    intake_.recovredFilesNum = 0;
    ui_->selecteFilelab->hide();
    ui_->saveBtn->setEnabled(false);
    emit wentHome();
}

void ZNResultViewController::updateSelectionText() {
    const int selected = intake_.selectedFilesNum.load();
    if (selected < 1) {
        ui_->selecteFilelab->hide();
        ui_->saveBtn->setEnabled(false);
    } else {
        ui_->selecteFilelab->setText(tr("You select %d files in the recovery results.")
                                         .replace(QLatin1String("%d"), QString::number(selected)));
        ui_->selecteFilelab->show();
        ui_->saveBtn->setEnabled(true);
    }
}

void ZNResultViewController::tableView(ResultTableView* table, bool on) {
    // Only the table on show takes clicks; apply to every selected row.
    if (table != currentTableView_) return;
    auto* model = static_cast<ResultTableModel*>(table->model());
    QList<int> rows = table->selectedRowNumbers();
    for (int row : rows) {
        if (row < 0 || row >= model->rowCount()) continue;
        if (model->setChecked(row, on)) intake_.selectedFilesNum += on ? 1 : -1;
    }
    model->checksChanged();
    updateSelectionText();
}

void ZNResultViewController::tableViewSelectionDidChange(ResultTableView* table) {
    if (table != currentTableView_) return;
    const int row = table->shownRow();
    if (row < 0) return;
    showPreview(currentCategory_, row);
    Page& pg = page(currentCategory_);
    pg.deletedNote->setVisible(pg.model->isDeleted(row));
}

void ZNResultViewController::ZNbuttonMouseEnteredHandle(const Notification& note) {
    footer_->hovered(note, true);
}

void ZNResultViewController::ZNbuttonMouseExitedHandle(const Notification& note) {
    footer_->hovered(note, false);
}

}  // namespace marlowen::gui
