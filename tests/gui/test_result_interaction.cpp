// The backup page and the results browser driven with real mouse and key
// events: keyboard scan start, one-click ticks, Space, Select all / none
// under the deleted-only filter, sorting across the filter, previews that
// start empty and mark deleted records, empty tables.
#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "fake_prompter.h"
#include "gui/quillon_app_delegate.h"
#include "gui/result_sorting.h"
#include "gui/result_table_model.h"
#include "gui/result_table_view.h"
#include "gui/zn_result_view_controller.h"
#include "support/backup_folder.h"
#include "support/file_bytes.h"
#include "support/modern_sample.h"
#include "support/sample_backup.h"
#include "support/temp_dir.h"
#include "ui_MainWindow.h"
#include "ui_ResulutView.h"

using namespace marlowen;
using namespace marlowen::gui;
using marlowen::gui::test::FakePrompter;

namespace {

struct Program {
    explicit Program(const std::filesystem::path& root) : app(prompter, root.string()) {
        app.applicationDidFinishLaunching();
        app.ClickStart();
        app.window()->activateWindow();
    }
    // Waits for the finish alert of a scan started some other way.
    void waitForScan(std::size_t alertsBefore) {
        QTRY_VERIFY_WITH_TIMEOUT(prompter.alerts.size() > alertsBefore, 60000);
        QTRY_VERIFY(!app.scanSession().isScanning());
    }
    // Starts a scan with the Start Scan button and waits for its end.
    void scan() {
        const std::size_t before = prompter.alerts.size();
        app.ui().button->click();
        waitForScan(before);
    }
    ZNResultViewController& results() { return *app.resultViewController(); }
    ResultTableView* contacts() { return results().tableOf(ResultCategory::Contact); }

    FakePrompter prompter;
    QuillonAppDelegate app;
};

QPoint checkBoxCentre(QTableView* table, int row) {
    return table->visualRect(table->model()->index(row, 0)).center();
}

bool isChecked(QTableView* table, int row) {
    return table->model()->index(row, 0).data(Qt::CheckStateRole).toInt() == Qt::Checked;
}

int checkedRows(QTableView* table) {
    int n = 0;
    for (int row = 0; row < table->model()->rowCount(); ++row) n += isChecked(table, row) ? 1 : 0;
    return n;
}

// What a window system sends for a double click: press, release, double
// click, release (QTest's mouseDClick alone sends only the third).
void doubleClick(QWidget* widget, QPoint at) {
    QTest::mousePress(widget, Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseDClick(widget, Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, at);
}

// The next widget Tab moves to after `w`.
QWidget* nextTabStop(QWidget* w) {
    for (QWidget* next = w->nextInFocusChain(); next && next != w; next = next->nextInFocusChain())
        if ((next->focusPolicy() & Qt::TabFocus) && next->isVisibleTo(w->window()) &&
            next->isEnabled())
            return next;
    return nullptr;
}

int firstRowWhere(QTableView* table, bool deleted) {
    auto* model = static_cast<ResultTableModel*>(table->model());
    for (int row = 0; row < model->rowCount(); ++row)
        if (model->isDeleted(row) == deleted) return row;
    return -1;
}

}  // namespace

class TestResultInteraction : public QObject {
    Q_OBJECT
private:
    fixture::TempDir dir_{"marlowen-interaction-test"};
    std::filesystem::path sampleRoot_;

private slots:
    void initTestCase() {
        sampleRoot_ = dir_ / "sample-root";
        fixture::writeSampleBackup(sampleRoot_);
    }
    void init() { SortFlags::reset(); }

    void backupPageWorksFromTheKeyboard() {
        Program p(sampleRoot_);
        auto& ui = p.app.ui();
        QVERIFY(ui.deepScanBtn->isChecked());
        QVERIFY(!ui.classicScanBtn->isChecked());
        QVERIFY(ui.button->isDefault());
        QVERIFY(!ui.diskTableView->tabKeyNavigation());
        // Tab leaves the table and walks the controls below it in order.
        QWidget* w = ui.diskTableView;
        for (QWidget* expected :
             std::initializer_list<QWidget*>{ui.chooseFolderBtn, ui.scanAllBtn, ui.deepScanBtn,
                                             ui.classicScanBtn, ui.helpBtn, ui.button}) {
            w = nextTabStop(w);
            QCOMPARE(w, expected);
        }
        // The two searches exclude each other.
        ui.classicScanBtn->click();
        QVERIFY(!ui.deepScanBtn->isChecked());
        ui.deepScanBtn->click();
        QVERIFY(!ui.classicScanBtn->isChecked());

        // Return on the selected backup starts its scan.
        QApplication::setActiveWindow(p.app.window());
        QVERIFY(QTest::qWaitForWindowActive(p.app.window()));
        ui.diskTableView->setFocus();
        const std::size_t before = p.prompter.alerts.size();
        QTest::keyClick(ui.diskTableView, Qt::Key_Return);
        QVERIFY(p.app.resultViewController());
        p.waitForScan(before);
        QVERIFY(!ui.backupPage->isVisible());
    }

    void doubleClickOnABackupStartsItsScan() {
        Program p(sampleRoot_);
        QTableView* table = p.app.ui().diskTableView;
        const QPoint cell = table->visualRect(table->model()->index(0, 1)).center();
        const std::size_t before = p.prompter.alerts.size();
        doubleClick(table->viewport(), cell);
        p.waitForScan(before);
        QVERIFY(p.results().intake().contactNum() > 0);
    }

    void oneClickTicksAnyRowAndSpaceTicksTheCurrentOne() {
        Program p(sampleRoot_);
        p.scan();
        auto& r = p.results();
        ResultTableView* table = p.contacts();
        QVERIFY(table->model()->rowCount() >= 3);
        QCOMPARE(table->shownRow(), 0);

        // Row 2 is not current: one click ticks it and makes it the selection.
        QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier,
                          checkBoxCentre(table, 2));
        QVERIFY(isChecked(table, 2));
        QCOMPARE(checkedRows(table), 1);
        QCOMPARE(table->shownRow(), 2);
        QCOMPARE(r.intake().selectedFilesNum.load(), 1);
        QVERIFY(r.ui().saveBtn->isEnabled());
        // A second click unticks it.
        QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier,
                          checkBoxCentre(table, 2));
        QVERIFY(!isChecked(table, 2));
        QCOMPARE(r.intake().selectedFilesNum.load(), 0);
        // A quick double click is two ticks.
        doubleClick(table->viewport(), checkBoxCentre(table, 1));
        QCOMPARE(r.intake().selectedFilesNum.load(), 0);
        QVERIFY(!isChecked(table, 1));

        // Space turns over the current row's box.
        table->setFocus();
        table->selectOnlyRow(1);
        QTest::keyClick(table, Qt::Key_Space);
        QVERIFY(isChecked(table, 1));
        QTest::keyClick(table, Qt::Key_Space);
        QVERIFY(!isChecked(table, 1));
        QCOMPARE(r.intake().selectedFilesNum.load(), 0);
    }

    void selectAllAndNoneFollowTheRowsOnShow() {
        Program p(sampleRoot_);
        p.scan();
        auto& r = p.results();
        auto& ui = r.ui();
        ResultTableView* table = p.contacts();
        const int deleted = r.intake().delContactNum();
        QVERIFY(deleted > 0);

        ui.checkBtn->click();  // deleted records only
        QCOMPARE(table->model()->rowCount(), deleted);
        ui.selectAllBtn->click();
        QCOMPARE(r.intake().selectedFilesNum.load(), deleted);
        QCOMPARE(ui.selecteFilelab->text(),
                 QStringLiteral("You select %1 files in the recovery results.").arg(deleted));
        ui.checkBtn->click();  // every record again: only the deleted ones are ticked
        QCOMPARE(checkedRows(table), deleted);
        for (int row = 0; row < table->model()->rowCount(); ++row)
            QCOMPARE(isChecked(table, row),
                     static_cast<ResultTableModel*>(table->model())->isDeleted(row));
        ui.selectNoneBtn->click();
        QCOMPARE(r.intake().selectedFilesNum.load(), 0);
        QVERIFY(ui.selecteFilelab->isHidden());
        QVERIFY(!ui.saveBtn->isEnabled());
    }

    void sortingShowsItsIndicatorAndHoldsAcrossTheFilter() {
        Program p(sampleRoot_);
        p.scan();
        auto& r = p.results();
        ResultTableView* table = p.contacts();
        QHeaderView* header = table->horizontalHeader();
        QVERIFY(!header->isSortIndicatorShown());
        QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier,
                          QPoint(header->sectionViewportPosition(1) + 10, header->height() / 2));
        QVERIFY(header->isSortIndicatorShown());
        QCOMPARE(header->sortIndicatorSection(), 1);
        QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
        auto names = [table] {
            QStringList out;
            for (int row = 0; row < table->model()->rowCount(); ++row)
                out << table->model()->index(row, 1).data().toString();
            return out;
        };
        auto sorted = [](QStringList list) {
            for (int i = 1; i < list.size(); ++i)
                if (compareNames(list[i - 1].toStdString(), list[i].toStdString()) > 0)
                    return false;
            return true;
        };
        QVERIFY(sorted(names()));
        r.ui().checkBtn->click();
        QVERIFY(sorted(names()));
        QVERIFY(header->isSortIndicatorShown());
        r.ui().checkBtn->click();
        QVERIFY(sorted(names()));
        // Names show without the blank a missing first name leaves.
        for (const QString& name : names()) QVERIFY(!name.startsWith(QLatin1Char(' ')));
    }

    void previewMarksDeletedRecordsAndStartsEmpty() {
        Program p(sampleRoot_);
        p.scan();
        auto& r = p.results();
        ResultTableView* table = p.contacts();
        QLabel* note = r.findChild<QLabel*>(QStringLiteral("contactDeletedNote"));
        QVERIFY(note);
        table->selectOnlyRow(firstRowWhere(table, false));
        QVERIFY(note->isHidden());
        table->selectOnlyRow(firstRowWhere(table, true));
        QVERIFY(!note->isHidden());
        QCOMPARE(note->text(), QStringLiteral("This record was deleted."));
        QVERIFY(!r.previewLabel("contactNamelab")->text().isEmpty());

        // A backup with nothing in it: the next scan shows no record of the last one.
        const std::filesystem::path emptyRoot = dir_ / "empty-backup-root";
        fixture::BackupFolderBuilder::inRoot(emptyRoot, {}).writePlists();
        p.prompter.answers = {true};
        r.ui().homeBtn->click();
        p.prompter.chosenFolder = QString::fromStdString(emptyRoot.string());
        p.app.actChooseFolder();
        p.scan();
        QCOMPARE(table->model()->rowCount(), 0);
        QVERIFY(r.previewLabel("contactNamelab")->text().isEmpty());
        QVERIFY(note->isHidden());
        QCOMPARE(table->emptyText(), QStringLiteral("No records found"));
    }
    void notePreviewSaysItsFolderAndWhenItIsLocked() {
        const std::filesystem::path root = dir_ / "modern-root";
        fixture::writeModernSampleBackup(root);
        Program p(root);
        p.app.ui().scanAllBtn->setChecked(true);
        p.scan();
        auto& r = p.results();
        r.ui().noteBtn->click();
        ResultTableView* notes = r.tableOf(ResultCategory::Note);
        QLabel* folder = r.previewLabel("noteFolderlab");
        QLabel* state = r.previewLabel("noteStatelab");
        QVERIFY(folder && state);
        bool sawLocked = false, sawRecentlyDeleted = false;
        for (int row = 0; row < notes->model()->rowCount(); ++row) {
            notes->selectOnlyRow(row);
            const QString title = r.previewLabel("noteTitlelab")->text();
            if (!state->isHidden()) {
                QCOMPARE(state->text(), QStringLiteral("Locked note: only its title can be read."));
                sawLocked = true;
            }
            if (folder->text() == QStringLiteral("Folder: Recently Deleted")) {
                QVERIFY(!folder->isHidden());
                sawRecentlyDeleted = true;
            }
            QVERIFY2(!title.isEmpty(), qPrintable(QString::number(row)));
        }
        QVERIFY(sawLocked);
        QVERIFY(sawRecentlyDeleted);
    }

    void oneBackupFolderIsChosenAndItsUnreadableDatabaseNamed() {
        // A backup whose address book is not a database at all.
        const std::filesystem::path root = dir_ / "damaged-root";
        const fixture::SampleBackup damaged = fixture::writeSampleBackup(root);
        std::filesystem::path book;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(damaged.folder))
            if (entry.path().filename() == "31bb7ba8914766d4ba40d6dfb6113c8b614be442")
                book = entry.path();
        QVERIFY(!book.empty());
        fixture::writeFileBytes(book, fixture::Bytes(4096, 0x5a));

        Program p(dir_ / "no-such-root");
        // The backup folder itself is chosen, not the folder of backups.
        p.prompter.chosenFolder = QString::fromStdString(damaged.folder.string());
        p.app.actChooseFolder();
        QCOMPARE(p.app.ui().diskTableView->model()->rowCount(), 1);
        p.scan();
        QLabel* problems = p.results().ui().problemslab;
        QVERIFY(!problems->isHidden());
        QVERIFY(problems->text().contains(QStringLiteral("Contacts (AddressBook.sqlitedb)")));
        QCOMPARE(p.contacts()->model()->rowCount(), 0);
    }
};

QTEST_MAIN(TestResultInteraction)
#include "test_result_interaction.moc"
