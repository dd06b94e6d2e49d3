// Drives the program on a backup root and saves pictures of its pages:
//   marlowen-screenshots <backup root> <output folder>
// writes welcome-sheet.png, backup-page.png, results-page.png,
// export-sheet.png and feedback-sheet.png. Each picture
// is the window with any sheet over it, drawn by the widgets themselves.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QPainter>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <cstdio>

#include "fake_prompter.h"
#include "gui/quillon_app_delegate.h"
#include "gui/result_table_view.h"
#include "gui/zn_result_view_controller.h"
#include "ui_MainWindow.h"
#include "ui_ResulutView.h"

using namespace marlowen::gui;

namespace {

bool save(QWidget* window, QWidget* sheet, const QString& path) {
    QApplication::processEvents();
    QPixmap picture = window->grab();
    if (sheet && sheet->isVisible()) {
        QPainter painter(&picture);
        const QPoint at = sheet->geometry().topLeft() - window->geometry().topLeft();
        painter.fillRect(QRect(at, sheet->size()).adjusted(-1, -1, 1, 1), Qt::darkGray);
        painter.drawPixmap(at, sheet->grab());
    }
    return picture.save(path);
}

}  // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND")) qputenv("QT_MEDIA_BACKEND", "ffmpeg");
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: marlowen-screenshots <backup root> <output folder>\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(out);
    test::FakePrompter prompter;
    QuillonAppDelegate controller(prompter, argv[1]);
    controller.applicationDidFinishLaunching();
    QTest::qWait(200);
    if (!save(controller.window(), controller.leadWindow(), out + "/welcome-sheet.png")) return 1;
    controller.ClickStart();
    QTest::qWait(100);
    if (!save(controller.window(), nullptr, out + "/backup-page.png")) return 1;

    controller.ui().scanAllBtn->setChecked(true);
    controller.ui().button->click();
    if (!QTest::qWaitFor([&] { return !prompter.alerts.empty() && !controller.scanController().isScanning(); },
                         120000))
        return 1;
    ZNResultViewController& results = *controller.resultViewController();
    ResultTableView* table = results.tableOf(ResultCategory::Contact);
    const int rows = table->model()->rowCount();
    for (int row = 0; row < rows && row < 3; ++row)
        table->selectionModel()->select(table->model()->index(row, 0),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    if (rows > 0)
        table->model()->setData(table->model()->index(0, 0), Qt::Checked, Qt::CheckStateRole);
    table->selectOnlyRow(1 < rows ? 1 : 0);
    QTest::qWait(100);
    if (!save(controller.window(), nullptr, out + "/results-page.png")) return 1;

    prompter.savePath = QDir::tempPath() + "/marlowen-screenshot-export";
    QDir(prompter.savePath).removeRecursively();
    results.ui().saveBtn->click();
    if (!save(controller.window(), results.saveWindow(), out + "/export-sheet.png")) return 1;
    const bool exported = QTest::qWaitFor([&] { return !prompter.revealed.isEmpty(); }, 60000);
    QDir(prompter.savePath).removeRecursively();
    QTest::qWait(100);
    controller.window()->close();
    if (!save(controller.window(), controller.cryWindow(), out + "/feedback-sheet.png")) return 1;
    return exported ? 0 : 1;
}
