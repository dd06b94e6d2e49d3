// The program on fixture backup roots: the backup page, a scan to its
// finish, the results browser (check boxes, filter, sorting, preview),
// the export, Home, and closing the window.
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMediaPlayer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QVideoWidget>
#include <filesystem>
#include <set>

#include "core/scan/scan_controller.h"
#include "fake_prompter.h"
#include "gui/default_center.h"
#include "gui/device_table_model.h"
#include "gui/password_sheet.h"
#include "gui/quillon_app_delegate.h"
#include "gui/result_sorting.h"
#include "gui/result_table_view.h"
#include "gui/zn_controls.h"
#include "gui/zn_result_view_controller.h"
#include "support/backup_folder.h"
#include "support/encrypted_sample.h"
#include "support/file_bytes.h"
#include "support/media_files.h"
#include "support/sample_backup.h"
#include "support/temp_dir.h"
#include "ui_MainWindow.h"
#include "ui_ResulutView.h"

using namespace marlowen;
using namespace marlowen::gui;
using marlowen::gui::test::FakePrompter;

namespace {

const QString kFinishAlert = QStringLiteral(
    "If you have not found the deleted files, please use iTunes to back up your iOS device, "
    "after completing the backup, and reopen the software to start again.");

struct Program {
    explicit Program(const std::filesystem::path& root) : app(prompter, root.string()) {
        app.applicationDidFinishLaunching();
        app.ClickStart();
    }
    // Starts a scan of the selected backup and waits for its finish alert.
    void scan(bool allCategories = false) {
        app.ui().scanAllBtn->setChecked(allCategories);
        const std::size_t before = prompter.alerts.size();
        app.ui().button->click();
        QTRY_VERIFY_WITH_TIMEOUT(prompter.alerts.size() > before, 60000);
        QTRY_VERIFY(!app.scanSession().isScanning());
    }
    ZNResultViewController& results() { return *app.resultViewController(); }
    ResultTableView* contacts() { return results().tableOf(ResultCategory::Contact); }

    FakePrompter prompter;
    QuillonAppDelegate app;
};

void selectRows(QTableView* table, std::initializer_list<int> rows) {
    table->clearSelection();
    for (int row : rows)
        table->selectionModel()->select(table->model()->index(row, 0),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void clickCheckBox(QTableView* table, int row, bool on) {
    table->model()->setData(table->model()->index(row, 0), on ? Qt::Checked : Qt::Unchecked,
                            Qt::CheckStateRole);
}

bool isChecked(QTableView* table, int row) {
    return table->model()->index(row, 0).data(Qt::CheckStateRole).toInt() == Qt::Checked;
}

QStringList column(QTableView* table, int col) {
    QStringList out;
    for (int r = 0; r < table->model()->rowCount(); ++r)
        out.append(table->model()->index(r, col).data().toString());
    return out;
}

}  // namespace

class TestAppWindow : public QObject {
    Q_OBJECT
private:
    fixture::TempDir dir_{"marlowen-gui-test"};
    std::filesystem::path sampleRoot_;
    fixture::SampleBackup sample_;

private slots:
    void initTestCase() {
        sampleRoot_ = dir_ / "sample-root";
        sample_ = fixture::writeSampleBackup(sampleRoot_);
    }
    void init() { SortFlags::reset(); }

    void backupPageListsRowsAndFollowsTheSelection() {
        const std::filesystem::path root = dir_ / "two-root";
        fixture::writeSampleBackup(root);
        fixture::DeviceInfo other;
        other.deviceName = "Second";
        other.uniqueIdentifier = "2222222222222222222222222222222222222222";
        fixture::BackupFolderBuilder::inRoot(root, other).writePlists();
        std::filesystem::create_directories(root / ".hidden");

        FakePrompter prompter;
        QuillonAppDelegate app(prompter, root.string());
        app.applicationDidFinishLaunching();
        QVERIFY(app.leadWindow()->isVisible());
        QVERIFY(prompter.alerts.empty());
        app.ClickStart();
        QVERIFY(!app.leadWindow()->isVisible());

        QCOMPARE(app.window()->size(), QSize(849, 560));
        QCOMPARE(app.window()->minimumSize(), app.window()->maximumSize());
        QTableView* table = app.ui().diskTableView;
        QCOMPARE(table->model()->rowCount(), 2);
        QCOMPARE(table->selectionModel()->selectedRows().size(), 1);
        QCOMPARE(table->selectionModel()->selectedRows().first().row(), 0);
        QVERIFY(app.ui().button->isEnabled());
        table->clearSelection();
        QVERIFY(!app.ui().button->isEnabled());
        table->selectRow(1);
        QVERIFY(app.ui().button->isEnabled());
        // The device picture is drawn by the picture-and-text delegate.
        QVERIFY(qobject_cast<ZNImageAndTextCell*>(table->itemDelegateForColumn(0)));
        QVERIFY(!table->model()->index(0, 0).data(Qt::DecorationRole).isNull());
    }

    void emptyRootShowsTheAlertAndDisablesStart() {
        const std::filesystem::path root = dir_ / "empty-root";
        std::filesystem::create_directories(root);
        FakePrompter prompter;
        QuillonAppDelegate app(prompter, root.string());
        app.applicationDidFinishLaunching();
        QCOMPARE(prompter.alerts.size(), 1u);
        QCOMPARE(prompter.alerts[0].message, QStringLiteral("No iTunes backup files found !"));
        QCOMPARE(prompter.alerts[0].defaultButton, QStringLiteral(" Ok "));
        QVERIFY(prompter.alerts[0].alternateButton.isEmpty());
        QCOMPARE(
            prompter.alerts[0].informativeText,
            QStringLiteral("Please backup your iOS device with iTunes ,and run again after the "
                           "backup operation has completed ."));
        QVERIFY(!app.ui().button->isEnabled());

        // Another root chosen by the user is listed instead.
        prompter.chosenFolder = QString::fromStdString(sampleRoot_.string());
        app.actChooseFolder();
        QCOMPARE(app.ui().diskTableView->model()->rowCount(), 1);
        QVERIFY(app.ui().button->isEnabled());
        QCOMPARE(prompter.alerts.size(), 1u);
    }

    void contactScanEndsInTheContactsCategory() {
        Program p(sampleRoot_);
        p.scan();
        QCOMPARE(p.prompter.alerts.back().message, kFinishAlert);
        QCOMPARE(p.prompter.alerts.back().defaultButton, QStringLiteral("Ok"));
        QCOMPARE(p.app.window()->size(), QSize(850, 620));
        QCOMPARE(p.app.window()->maximumSize(), QSize(850, 620));
        QVERIFY(!p.app.ui().backupPage->isVisible());

        auto& r = p.results();
        auto& ui = r.ui();
        const int live = static_cast<int>(sample_.livePeople.size());
        QCOMPARE(r.intake().contactNum(), live);
        QCOMPARE(ui.contactNumlab->text(), QStringLiteral("Contacts:  %1").arg(live));
        QCOMPARE(ui.delContactNumlab->text(),
                 QStringLiteral("Contacts:  %1").arg(r.intake().delContactNum()));
        QCOMPARE(ui.delPhotovideoNumlab->text(), QStringLiteral("Photo&Video:  0"));
        QCOMPARE(ui.messageNumlab->text(), QStringLiteral("Messages:  0"));

        QVERIFY(ui.contactBtn->isEnabled());
        for (auto c : {ResultCategory::PhotoAndVideo, ResultCategory::Message, ResultCategory::Note,
                       ResultCategory::CallHistory})
            QVERIFY(!r.buttonOf(c)->isEnabled());
        QVERIFY(ui.homeBtn->isEnabled());
        QVERIFY(!ui.saveBtn->isEnabled());
        QVERIFY(ui.checkBtn->isVisible());
        QVERIFY(!ui.checkBtn->isChecked());
        QVERIFY(!ui.scanProgressor->isVisible());
        QCOMPARE(ui.progressTextField->text(), QStringLiteral("0%"));
        QCOMPARE(r.buttonImageOf(ResultCategory::Contact), QStringLiteral("contactOn"));
        QCOMPARE(r.buttonImageOf(ResultCategory::Message), QStringLiteral("messageNom"));
        QVERIFY(r.viewOf(ResultCategory::Contact)->isVisible());
        QVERIFY(!ui.scanproView->isVisible());

        QTableView* table = p.contacts();
        QCOMPARE(table->model()->rowCount(), live + r.intake().delContactNum());
        QCOMPARE(table->selectionModel()->selectedRows().first().row(), 0);
        // Row 0 is in the preview.
        QCOMPARE(r.previewLabel("contactNamelab")->text(),
                 QStringLiteral("Name: %1").arg(table->model()->index(0, 1).data().toString()));
        QCOMPARE(ui.backupNameInfolab->text(), QStringLiteral("Ann's phone"));

        // A progress step moves the bar and refreshes every count label; the
        // deleted photo count always reads 0.
        CategoryCounts counts;
        counts.photovideoNum = 4;
        counts.callNum = 2;
        counts.delCallNum = 1;
        r.ScanProgressInfomationHandle(40, counts);
        QCOMPARE(ui.scanProgressor->value(), 40);
        QCOMPARE(ui.progressTextField->text(), QStringLiteral("40%"));
        QCOMPARE(ui.photovideoNumlab->text(), QStringLiteral("Photo&Video:  4"));
        QCOMPARE(ui.delPhotovideoNumlab->text(), QStringLiteral("Photo&Video:  0"));
        QCOMPARE(ui.callNumlab->text(), QStringLiteral("Call History:  2"));
        QCOMPARE(ui.delCallNumlab->text(), QStringLiteral("Call History:  1"));

        // The next scan starts from a reset page.
        p.app.showMainView();
        r.showView(p.app.ui().contentView, *p.app.currentNode());
        QCOMPARE(ui.progressTextField->text(), QStringLiteral("1%"));
        QCOMPARE(ui.contactNumlab->text(), QStringLiteral("Contacts:  "));
        QVERIFY(!ui.homeBtn->isEnabled());
        QVERIFY(!ui.contactBtn->isEnabled());
        QVERIFY(ui.checkBtn->isHidden());
        QVERIFY(ui.scanproView->isVisible());
        QCOMPARE(r.intake().contactNum(), 0);
    }

    void deepScanCheckBoxRunsTheDeepScan() {
        Program p(sampleRoot_);
        p.app.ui().deepScanBtn->setChecked(true);
        p.scan();
        std::set<std::string> deleted;
        for (const auto& c : p.results().intake().contactArray())
            if (c->bDeleted()) deleted.insert(c->contactName());
        // The deleted people, and Bo under his own name for his deleted number.
        std::set<std::string> expected(sample_.deletedPeople.begin(), sample_.deletedPeople.end());
        expected.insert("Bo \u00d8stergaard");
        QVERIFY(deleted == expected);
    }

    void checkBoxesApplyToEverySelectedRowAndSurviveTheFilter() {
        Program p(sampleRoot_);
        p.scan();
        auto& r = p.results();
        auto& ui = r.ui();
        QTableView* table = p.contacts();
        QVERIFY(table->model()->rowCount() >= 4);

        selectRows(table, {1});
        clickCheckBox(table, 1, true);
        QCOMPARE(r.intake().selectedFilesNum.load(), 1);
        selectRows(table, {0, 1, 2});
        clickCheckBox(table, 0, true);
        QCOMPARE(r.intake().selectedFilesNum.load(), 3);
        QVERIFY(isChecked(table, 0) && isChecked(table, 1) && isChecked(table, 2));
        QVERIFY(!isChecked(table, 3));
        QVERIFY(ui.selecteFilelab->isVisible());
        QCOMPARE(ui.selecteFilelab->text(),
                 QStringLiteral("You select 3 files in the recovery results."));
        QVERIFY(ui.saveBtn->isEnabled());

        // Live records checked, then only the deleted ones shown: the marks stay.
        ui.checkBtn->click();
        QVERIFY(ui.checkBtn->isChecked());
        const int deleted = r.intake().delContactNum();
        QCOMPARE(table->model()->rowCount(), deleted);
        for (int row = 0; row < deleted; ++row)
            QCOMPARE(table->model()->index(row, 1).data(Qt::ForegroundRole).isValid(), true);
        QCOMPARE(r.intake().selectedFilesNum.load(), 3);
        ui.checkBtn->click();
        QCOMPARE(table->model()->rowCount(), static_cast<int>(r.intake().contactArray().size()));
        QVERIFY(isChecked(table, 0) && isChecked(table, 1) && isChecked(table, 2));

        // A real click on the box of one of several selected rows keeps the
        // selection and sets every selected row.
        selectRows(table, {0, 1, 3});
        const QRect box = table->visualRect(table->model()->index(1, 0));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, box.center());
        QCOMPARE(table->selectionModel()->selectedRows().size(), 3);
        QVERIFY(!isChecked(table, 0) && !isChecked(table, 1) && !isChecked(table, 3));
        QVERIFY(isChecked(table, 2));
        QCOMPARE(r.intake().selectedFilesNum.load(), 1);

        selectRows(table, {0, 1, 2, 3});
        clickCheckBox(table, 3, false);
        QCOMPARE(r.intake().selectedFilesNum.load(), 0);
        QVERIFY(!ui.selecteFilelab->isVisible());
        QVERIFY(!ui.saveBtn->isEnabled());
    }

    void sortsTurnOnOneSharedNameFlag() {
        Program p(sampleRoot_);
        p.scan(true);
        auto& r = p.results();
        QTableView* contacts = p.contacts();
        const int nameColumn = 1;
        const QStringList before = column(contacts, nameColumn);

        // A click on the check box heading does nothing.
        r.tableView(r.tableOf(ResultCategory::Contact), 0);
        QCOMPARE(column(contacts, nameColumn), before);
        QVERIFY(!SortFlags::name);

        r.tableView(r.tableOf(ResultCategory::Contact), nameColumn);
        QStringList ascending = before;
        std::sort(ascending.begin(), ascending.end(),
                  [](const QString& a, const QString& b) { return a.compare(b) < 0; });
        QCOMPARE(column(contacts, nameColumn), ascending);
        QCOMPARE(contacts->selectionModel()->selectedRows().first().row(), 0);
        // Any other contact heading sorts by name too, now descending.
        r.tableView(r.tableOf(ResultCategory::Contact), 2);
        QStringList descending = ascending;
        std::reverse(descending.begin(), descending.end());
        QCOMPARE(column(contacts, nameColumn).first(), descending.first());
        QCOMPARE(column(contacts, nameColumn).last(), descending.last());

        // The message table shares the flag: its first name sort is ascending now.
        QVERIFY(!SortFlags::name);
        r.actMessage();
        ResultTableView* messages = r.tableOf(ResultCategory::Message);
        QVERIFY(messages->model()->rowCount() > 1);
        r.tableView(messages, 1);
        QVERIFY(SortFlags::name);
        const QStringList names = column(messages, 1);
        for (int i = 1; i < names.size(); ++i) QVERIFY(names[i - 1].compare(names[i]) <= 0);

        // Call dates sort as instants by their own flag.
        r.actCallHistory();
        ResultTableView* calls = r.tableOf(ResultCategory::CallHistory);
        const int dateColumn = 3;
        r.tableView(calls, dateColumn);
        QVERIFY(SortFlags::date);
        QVERIFY(SortFlags::name);
        for (int i = 1; i < calls->model()->rowCount(); ++i)
            QVERIFY(callDateInstant(
                        calls->model()->index(i - 1, dateColumn).data().toString().toStdString()) <=
                    callDateInstant(
                        calls->model()->index(i, dateColumn).data().toString().toStdString()));

        // The record list keeps its scan order.
        QCOMPARE(QString::fromStdString(r.intake().contactArray().front()->contactName()),
                 before.first());
    }

    void fullScanOffersEveryCategory() {
        Program p(sampleRoot_);
        p.scan(true);
        auto& r = p.results();
        for (auto c : {ResultCategory::PhotoAndVideo, ResultCategory::Contact,
                       ResultCategory::Message, ResultCategory::Note, ResultCategory::CallHistory})
            QVERIFY(r.buttonOf(c)->isEnabled());
        QVERIFY(r.intake().messageNum() > 0);
        QCOMPARE(r.ui().messageNumlab->text(),
                 QStringLiteral("Messages:  %1").arg(r.intake().messageNum()));
        r.ui().callBtn->click();
        QCOMPARE(r.buttonImageOf(ResultCategory::CallHistory), QStringLiteral("callOn"));
        QCOMPARE(r.buttonImageOf(ResultCategory::Contact), QStringLiteral("contactNom"));
        QVERIFY(r.viewOf(ResultCategory::CallHistory)->isVisible());
        QVERIFY(!r.viewOf(ResultCategory::Contact)->isVisible());
        QVERIFY(r.previewLabel("callPhonelab")->text().startsWith(QStringLiteral("Phone: ")));
        r.ui().photoBtn->click();
        QVERIFY(!r.ui().checkBtn->isVisible());
        r.ui().noteBtn->click();
        QVERIFY(r.ui().checkBtn->isVisible());
    }

    void exportWritesTheCheckedRecordsAndRevealsTheFolder() {
        Program p(sampleRoot_);
        p.scan();
        auto& r = p.results();
        QTableView* table = p.contacts();
        selectRows(table, {0, 1});
        clickCheckBox(table, 0, true);

        // Cancelling the save dialog changes nothing.
        p.prompter.savePath.clear();
        r.ui().saveBtn->click();
        QVERIFY(!r.isExporting());
        QCOMPARE(r.intake().selectedFilesNum.load(), 2);
        QVERIFY(p.prompter.proposedNames.last().startsWith(QStringLiteral("Marlowen ")));

        const std::filesystem::path out = dir_ / "export-out";
        p.prompter.savePath = QString::fromStdString(out.string());
        r.ui().saveBtn->click();
        QVERIFY(r.saveWindow());
        QCOMPARE(r.saveWindow()->windowModality(), Qt::WindowModal);
        QTRY_COMPARE_WITH_TIMEOUT(p.prompter.revealed.size(), 1, 30000);
        QCOMPARE(p.prompter.revealed.first(), p.prompter.savePath);
        QVERIFY(!r.isExporting());
        QVERIFY(!r.saveWindow()->isVisible());
        QVERIFY(!r.recoverTimer().isActive());
        QCOMPARE(r.intake().recovredFilesNum.load(), 0);
        for (const char* folder : {"Photo&Video", "Contact", "Message", "Note", "CallHistory"})
            QVERIFY(std::filesystem::is_directory(out / folder));
        QFile text(QString::fromStdString((out / "Contact" / "Contacts.txt").string()));
        QVERIFY(text.open(QIODevice::ReadOnly));
        const QString written = QString::fromUtf8(text.readAll());
        QCOMPARE(written.count(QStringLiteral("Name:")), 2);
        QVERIFY(written.contains(table->model()->index(0, 1).data().toString()));
        QCOMPARE(
            QFileInfo(QString::fromStdString((out / "Message" / "Messages.txt").string())).size(),
            0);
        // The end is said, with what was written per category.
        QCOMPARE(p.prompter.alerts.back().message, QStringLiteral("The export is finished."));
        QVERIFY(p.prompter.alerts.back().informativeText.contains(
            QStringLiteral("Contacts: 2 written\nvCards: 2 written")));
        QVERIFY(!p.prompter.alerts.back().informativeText.contains(p.prompter.savePath));

        // No file viewer: the message says where the folder is.
        p.prompter.revealSucceeds = false;
        p.prompter.savePath = QString::fromStdString((dir_ / "export-out-2").string());
        r.ui().saveBtn->click();
        QTRY_COMPARE_WITH_TIMEOUT(p.prompter.revealed.size(), 2, 30000);
        QTRY_VERIFY(!r.isExporting());
        QVERIFY(p.prompter.alerts.back().informativeText.contains(
            QStringLiteral("could not be opened in a file viewer; it is %1")
                .arg(p.prompter.savePath)));
    }

    void homeAsksAndReleasesOnBack() {
        Program p(sampleRoot_);
        p.scan();
        auto& r = p.results();
        QTableView* table = p.contacts();
        selectRows(table, {0});
        clickCheckBox(table, 0, true);
        const auto listed = r.intake().contactArray().size();

        p.prompter.answers = {false};
        r.ui().homeBtn->click();
        QCOMPARE(p.prompter.alerts.back().message,
                 QStringLiteral("Are you sure you want to go back to Home? If Back, the scanning "
                                "results will not be saved."));
        QCOMPARE(p.prompter.alerts.back().defaultButton, QStringLiteral(" Back "));
        QCOMPARE(p.prompter.alerts.back().alternateButton, QStringLiteral("Cancel"));
        QCOMPARE(r.intake().contactArray().size(), listed);
        QVERIFY(isChecked(table, 0));
        QVERIFY(r.isVisible());

        p.prompter.answers = {true};
        r.ui().homeBtn->click();
        QVERIFY(r.intake().contactArray().empty());
        QCOMPARE(table->model()->rowCount(), 0);
        QCOMPARE(r.intake().selectedFilesNum.load(), 0);
        QVERIFY(!r.isVisible());
        QVERIFY(p.app.ui().backupPage->isVisible());
        QCOMPARE(p.app.window()->size(), QSize(849, 560));
        QCOMPARE(p.app.window()->maximumSize(), QSize(849, 560));

        // A second scan starts from empty lists.
        p.scan();
        QCOMPARE(r.intake().contactArray().size(), listed);
    }

    void closingGoesThroughTheFeedbackSheetOrTheConfirmation() {
        Program p(sampleRoot_);
        QSignalSpy quits(&p.app, &QuillonAppDelegate::quitStarted);
        QVERIFY(!p.app.window()->close());
        QVERIFY(p.app.cryWindow()->isVisible());
        p.app.Cancel();
        QVERIFY(!p.app.cryWindow()->isVisible());
        QVERIFY(p.app.window()->isVisible());
        QCOMPARE(quits.size(), 0);

        // The Quit menu item takes the close button's path.
        p.app.ui().actionQuit->trigger();
        QVERIFY(p.app.cryWindow()->isVisible());
        QVERIFY(p.app.window()->isVisible());
        p.app.Cancel();

        p.app.setBFeedBack(true);
        p.prompter.answers = {false};
        QVERIFY(!p.app.window()->close());
        QCOMPARE(p.prompter.alerts.back().message,
                 QStringLiteral("Are you sure you want to Exit ?"));
        QCOMPARE(p.prompter.alerts.back().defaultButton, QStringLiteral(" Exit "));
        QCOMPARE(quits.size(), 0);
        p.prompter.answers = {true};
        QVERIFY(p.app.window()->close());
        QCOMPARE(quits.size(), 1);
        QVERIFY(!p.app.window()->isVisible());
    }

    void footerButtonsUnderlineOnHoverAndPreviewHidesEmptyLines() {
        Program p(sampleRoot_);
        p.scan();
        auto& r = p.results();
        auto& ui = r.ui();
        NotificationCenter& nc = marlowen::gui::defaultCenter();
        nc.postNotificationName(kZNbuttonMouseEntered, ui.feedBackBtn);
        QVERIFY(ui.feedBackBtn->font().underline());
        QCOMPARE(ui.feedBackBtn->cursor().shape(), Qt::PointingHandCursor);
        nc.postNotificationName(kZNbuttonMouseEntered, ui.contactBtn);
        QVERIFY(!ui.contactBtn->font().underline());
        nc.postNotificationName(kZNbuttonMouseExited, ui.feedBackBtn);
        QVERIFY(!ui.feedBackBtn->font().underline());
        QCOMPARE(ui.feedBackBtn->cursor().shape(), Qt::ArrowCursor);

        // A contact without e-mail or note shows neither line.
        ResultTableView* table = p.contacts();
        int withoutEmail = -1;
        for (int row = 0; row < table->model()->rowCount(); ++row)
            if (table->model()->index(row, 3).data().toString().isEmpty()) withoutEmail = row;
        QVERIFY(withoutEmail >= 0);
        table->selectOnlyRow(withoutEmail);
        QVERIFY(r.previewLabel("contactEmaillab")->isHidden());
        QVERIFY(!r.previewLabel("contactPhonelab")->isHidden());
        table->selectOnlyRow(0);
        QVERIFY(!r.previewLabel("contactEmaillab")->isHidden());
        QCOMPARE(r.previewLabel("contactEmaillab")->text(),
                 QStringLiteral("Email: %1").arg(table->model()->index(0, 3).data().toString()));
    }

    void photoPreviewShowsImagesAndFallsBackForBrokenMovies() {
        Program p(sampleRoot_);
        p.scan(true);
        auto& r = p.results();
        const std::filesystem::path media = dir_ / "media";
        std::filesystem::create_directories(media);
        // A QuickTime file type box and nothing playable after it.
        fixture::Bytes broken = fixture::quickTimeMovie();
        std::fill(broken.begin() + 32, broken.end(), 0);
        fixture::writeFileBytes(media / "broken-movie", broken);
        fixture::writeFileBytes(media / "picture", fixture::pngImage());
        r.intake().ScanMovNodeToMainThreadHandle((media / "broken-movie").string());
        r.intake().ScanMovNodeToMainThreadHandle((media / "picture").string());
        r.actPhoto();
        QCOMPARE(r.buttonImageOf(ResultCategory::PhotoAndVideo), QStringLiteral("phone&videoOn"));
        ResultTableView* table = r.tableOf(ResultCategory::PhotoAndVideo);
        const int rows = table->model()->rowCount();
        QVERIFY(rows >= 2);
        QCOMPARE(table->model()->index(rows - 2, 1).data().toString(),
                 QStringLiteral("00000001.mov"));

        table->selectOnlyRow(rows - 1);
        QVERIFY(r.imageView()->isVisible());
        QVERIFY(!r.movView()->isVisible());
        QVERIFY(!r.imageView()->pixmap().isNull());
        QVERIFY(
            r.previewLabel("imageFileNamelab")->text().startsWith(QStringLiteral("File Name: ")));
        QVERIFY(
            r.previewLabel("imageFileSizelab")->text().startsWith(QStringLiteral("File Size: ")));

        // The movie does not open: the preview falls back to the file icon.
        table->selectOnlyRow(rows - 2);
        QCOMPARE(r.previewLabel("imageFileNamelab")->text(),
                 QStringLiteral("File Name: 00000001.mov"));
        QTRY_VERIFY_WITH_TIMEOUT(r.imageView()->isVisible() && !r.movView()->isVisible(), 10000);
        // ... and says why.
        QVERIFY(r.movieNote()->isVisible());
        QVERIFY(
            r.movieNote()->text().startsWith(QStringLiteral("This movie cannot be played here: ")));
    }

    void encryptedBackupWithoutItsKeysSaysWhatIsMissing() {
        const std::filesystem::path root = dir_ / "locked-root";
        fixture::BackupOptions locked;
        locked.encrypted = true;
        auto folder = fixture::BackupFolderBuilder::inRoot(root, {}, locked);
        folder.writePlists();
        Program p(root);
        p.app.ui().button->click();
        // Said before any password is asked for, and nothing is scanned.
        QCOMPARE(p.prompter.alerts.size(), std::size_t{1});
        QCOMPARE(p.prompter.alerts.back().message,
                 QStringLiteral("This encrypted backup cannot be opened."));
        QVERIFY(p.prompter.alerts.back().informativeText.contains(QStringLiteral("keybag")));
        QVERIFY(!p.app.passwordSheet()->isVisible());
        QVERIFY(!p.app.scanSession().isScanning());
        QVERIFY(p.app.ui().backupPage->isVisible());
    }

    // The sheet over the window: a wrong password is said and another try
    // is offered, Cancel goes back, the right one scans with the keys it
    // derived (camera roll included).
    void encryptedBackupAsksForItsPassword() {
        const std::filesystem::path root = dir_ / "encrypted-root";
        fixture::EncryptedSampleOptions quick;
        quick.password = "open sesame";
        quick.iterations = 2;
        quick.doubleProtectionIterations = 3;
        fixture::writeEncryptedSampleBackup(root, quick);
        Program p(root);
        PasswordSheet* sheet = p.app.passwordSheet();
        auto* field = sheet->findChild<QLineEdit*>(QStringLiteral("passwordField"));
        auto* unlock = sheet->findChild<QPushButton*>(QStringLiteral("unlockBtn"));
        auto* cancel = sheet->findChild<QPushButton*>(QStringLiteral("passwordCancelBtn"));
        auto* problem = sheet->findChild<QLabel*>(QStringLiteral("passwordProblem"));
        QVERIFY(field && unlock && cancel && problem);
        QCOMPARE(field->echoMode(), QLineEdit::Password);

        p.app.ui().scanAllBtn->setChecked(true);
        p.app.ui().button->click();
        QTRY_VERIFY(sheet->isVisible());
        QVERIFY(!unlock->isEnabled());  // nothing typed yet
        QTest::keyClicks(field, QStringLiteral("wrong"));
        QTest::keyClick(field, Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(problem->isVisible(), 10000);
        QVERIFY(
            problem->text().startsWith(QStringLiteral("The password does not open this backup.")));
        QVERIFY(sheet->isVisible());
        QVERIFY(field->text().isEmpty() && field->isEnabled());
        QVERIFY(!p.app.scanSession().isScanning());

        cancel->click();
        QTRY_VERIFY(!sheet->isVisible());
        QVERIFY(p.app.ui().backupPage->isVisible());
        QVERIFY(!p.app.scanSession().isScanning());
        QVERIFY(p.prompter.alerts.empty());

        p.app.ui().button->click();
        QTRY_VERIFY(sheet->isVisible());
        QVERIFY(!problem->isVisible());  // a fresh sheet each time
        QTest::keyClicks(field, QStringLiteral("open sesame"));
        unlock->click();
        QTRY_VERIFY_WITH_TIMEOUT(!p.prompter.alerts.empty(), 60000);
        QTRY_VERIFY(!p.app.scanSession().isScanning());
        QVERIFY(!sheet->isVisible());
        QCOMPARE(p.prompter.alerts.back().message, kFinishAlert);
        ZNResultViewController& r = p.results();
        QCOMPARE(r.intake().contactNum(), 9);
        QCOMPARE(r.intake().photovideoNum(), 1);
        QVERIFY(r.intake().messageNum() > 0);
    }

    void backupTableShowsModelSizeAndLock() {
        const std::filesystem::path root = dir_ / "table-root";
        fixture::writeEncryptedSampleBackup(
            root, {.password = "x", .iterations = 2, .doubleProtectionIterations = 3});
        fixture::writeSampleBackup(root);
        Program p(root);
        DeviceTableModel* model = p.app.deviceModel();
        QCOMPARE(model->rowCount(), 2);
        QCOMPARE(model->headerData(7, Qt::Horizontal).toString(), QStringLiteral("Backup Size"));
        for (int row = 0; row < 2; ++row) {
            const bool encrypted = model->nodeAt(row)->bEncrypted();
            // The modern table names what the old one does not know.
            QCOMPARE(model->index(row, 1).data().toString(),
                     encrypted ? QStringLiteral("iPhone 13") : QStringLiteral("Iphone 5"));
            QVERIFY(model->index(row, 7).data().toString().endsWith(QStringLiteral("kB")));
            QCOMPARE(model->index(row, 8).data(Qt::DecorationRole).isValid(), encrypted);
            QCOMPARE(model->index(row, 8).data(Qt::ToolTipRole).isValid(), encrypted);
        }
    }
};

QTEST_MAIN(TestAppWindow)
#include "test_app_window.moc"
