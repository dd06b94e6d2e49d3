// Quitting for real: the application's event loop runs, the window is
// closed the ways a user closes it, and exec() must return 0. A watchdog
// ends a loop that does not stop by itself with 99, so a close handler that
// keeps refusing fails here instead of hanging.
#include <QApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <functional>

#include "core/feedback/smtp_config.h"
#include "fake_prompter.h"
#include "gui/quillon_app_delegate.h"
#include "support/sample_backup.h"
#include "support/temp_dir.h"
#include "ui_FeedbackSheet.h"
#include "ui_MainWindow.h"

using namespace marlowen;
using namespace marlowen::gui;
using marlowen::gui::test::FakePrompter;

namespace {

constexpr int kWatchdogExit = 99;

// Runs the event loop; `steps` run once it is going. Answers exec()'s
// result, or kWatchdogExit when the loop was still running after `limitMs`.
int runEventLoop(const std::function<void()>& steps, int limitMs = 5000) {
    QTimer::singleShot(0, qApp, steps);
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, qApp,
                     [] { QCoreApplication::exit(kWatchdogExit); });
    watchdog.start(limitMs);
    return QApplication::exec();
}

}  // namespace

class TestQuitting : public QObject {
    Q_OBJECT
private:
    fixture::TempDir dir_{"marlowen-quit-test"};
    std::filesystem::path root_;

    struct Program {
        explicit Program(const std::filesystem::path& root) : app(prompter, root.string()) {
            app.applicationDidFinishLaunching();
            app.ClickStart();
        }
        FakePrompter prompter;
        QuillonAppDelegate app;
    };

private slots:
    void initTestCase() {
        root_ = dir_ / "root";
        fixture::writeSampleBackup(root_);
        // No mail server anywhere: a send logs one line and delivers nothing.
        for (const char* name :
             {kEnvSmtpHost, kEnvSmtpPort, kEnvSmtpUser, kEnvSmtpPassword, kEnvFeedbackTo})
            qunsetenv(name);
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((dir_ / "config").string()));
    }

    void exitOnTheFeedbackSheetEndsTheProgram() {
        Program p(root_);
        bool sheetShown = false;
        const int rc = runEventLoop([&] {
            p.app.window()->close();
            sheetShown = p.app.cryWindow()->isVisible();
            p.app.feedbackUi().exitBtn->click();
        });
        QVERIFY(sheetShown);
        QCOMPARE(rc, 0);
        QVERIFY(!p.app.window()->isVisible());
    }

    void quitMenuGoesThroughTheSheetAndEndsTheProgram() {
        Program p(root_);
        bool sheetShown = false;
        const int rc = runEventLoop([&] {
            p.app.ui().actionQuit->trigger();
            sheetShown = p.app.cryWindow()->isVisible();
            p.app.feedbackUi().exitBtn->click();
        });
        QVERIFY(sheetShown);
        QCOMPARE(rc, 0);
    }

    void sendWithoutAMailServerEndsTheProgram() {
        Program p(root_);
        const int rc = runEventLoop([&] {
            p.app.window()->close();
            p.app.feedbackUi().sendBtn->click();
        });
        QCOMPARE(rc, 0);
        QVERIFY(!p.app.window()->isVisible());
    }

    void cancelKeepsTheProgramRunning() {
        Program p(root_);
        const int rc = runEventLoop(
            [&] {
                p.app.window()->close();
                p.app.feedbackUi().cancelBtn->click();
            },
            500);
        QCOMPARE(rc, kWatchdogExit);
        QVERIFY(p.app.window()->isVisible());
        QVERIFY(!p.app.isQuitting());
    }

    void exitConfirmationAfterFeedbackEndsTheProgram() {
        Program p(root_);
        p.app.setBFeedBack(true);
        p.prompter.answers = {true};
        const int rc = runEventLoop([&] { p.app.window()->close(); });
        QCOMPARE(rc, 0);
        QCOMPARE(p.prompter.alerts.back().message,
                 QStringLiteral("Are you sure you want to Exit ?"));
        QVERIFY(!p.app.cryWindow()->isVisible());
    }
};

QTEST_MAIN(TestQuitting)
#include "test_quitting.moc"
