// The two feedback forms: the suggestion view's placeholders, the results
// view's feedback window and its mail body, the exit confirmation a send
// switches on, and the feedback sheet quitting when the server is away.
// Mail goes to 127.0.0.1 only.
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <cstdlib>
#include <filesystem>

#include "core/feedback/feedback_mail.h"
#include "fake_prompter.h"
#include "feedback/smtp_sink.h"
#include "gui/default_center.h"
#include "gui/feedback_settings.h"
#include "gui/quillon_app_delegate.h"
#include "gui/zn_controls.h"
#include "gui/zn_result_view_controller.h"
#include "support/temp_dir.h"
#include "ui_FeedbackSheet.h"
#include "ui_ResulutView.h"

using namespace marlowen;
using namespace marlowen::gui;
using marlowen::gui::test::FakePrompter;
using marlowen::testing::ClosedPort;
using marlowen::testing::SilentServer;
using marlowen::testing::SmtpSink;

namespace {

const QString kWindowPlaceholder = QStringLiteral("Provide any suggestions or problems to us.");
const QString kSheetPlaceholder = QStringLiteral("write something.");

void clearMailEnvironment() {
    for (const char* name :
         {kEnvSmtpHost, kEnvSmtpPort, kEnvSmtpUser, kEnvSmtpPassword, kEnvFeedbackTo})
        qunsetenv(name);
}

void clickInto(QPlainTextEdit* view) {
    QTest::mouseClick(view->viewport(), Qt::LeftButton);
}

}  // namespace

class TestFeedbackForms : public QObject {
    Q_OBJECT

    fixture::TempDir dir_{"marlowen-feedback-test"};

private slots:
    void initTestCase() {
        // The settings file of this run, empty: only the environment counts.
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((dir_ / "config").string()));
    }
    void init() { clearMailEnvironment(); }

    void settingsFileIsReadAndTheEnvironmentWins() {
        QSettings settings((dir_ / "settings.ini").c_str(), QSettings::IniFormat);
        settings.setValue("smtp/host", "mail.marlowen.example");
        settings.setValue("smtp/port", "587");
        settings.setValue("smtp/user", "feedback@marlowen.example");
        settings.setValue("feedback/to", "inbox@marlowen.example");
        settings.setValue("smtp/caFile", "/etc/marlowen/ca.pem");
        const SmtpConfig config = smtpConfigFromSettings(settings);
        QCOMPARE(config.host, std::string("mail.marlowen.example"));
        QCOMPARE(config.port, 587);
        QCOMPARE(config.user, std::string("feedback@marlowen.example"));
        QVERIFY(config.password.empty());
        QCOMPARE(config.feedbackTo, std::string("inbox@marlowen.example"));
        QCOMPARE(config.caFile, std::string("/etc/marlowen/ca.pem"));

        QVERIFY(!feedbackSmtpConfig().isConfigured());
        qputenv(kEnvSmtpHost, "127.0.0.1");
        qputenv(kEnvSmtpPort, "2525");
        qputenv(kEnvFeedbackTo, "inbox@marlowen.example");
        const SmtpConfig effective = feedbackSmtpConfig();
        QCOMPARE(effective.host, std::string("127.0.0.1"));
        QCOMPARE(effective.port, 2525);
        QVERIFY(effective.isConfigured());
    }

    void clickingIntoAPlaceholderEmptiesIt() {
        for (const QString& placeholder : {kWindowPlaceholder, kSheetPlaceholder}) {
            ZNFeedBackView view;
            view.resize(300, 120);
            view.show();
            view.showPlaceholder(placeholder);
            QCOMPARE(view.toPlainText(), placeholder);
            QCOMPARE(view.textColour(), QColor(Qt::gray));
            QCOMPARE(view.font().pointSize(), 13);
            clickInto(&view);
            QCOMPARE(view.toPlainText(), QString());
            QCOMPARE(view.textColour(), QColor(Qt::black));
            QCOMPARE(view.font().pointSize(), 13);

            view.setPlainText(QStringLiteral("my suggestion"));
            clickInto(&view);
            QCOMPARE(view.toPlainText(), QStringLiteral("my suggestion"));
        }
        // A placeholder with more around it is the user's text.
        ZNFeedBackView view;
        view.show();
        view.setPlainText(kSheetPlaceholder + QStringLiteral(" and more"));
        clickInto(&view);
        QCOMPARE(view.toPlainText(), kSheetPlaceholder + QStringLiteral(" and more"));
    }

    void feedbackWindowOpensWithItsPlaceholderAndStaysWhereItIs() {
        FakePrompter prompter;
        ResultIntake intake(defaultCenter());
        ZNResultViewController results(defaultCenter(), intake, prompter);
        QVERIFY(!results.feedbackWindow()->isVisible());
        results.ui().feedBackBtn->click();
        QVERIFY(results.feedbackWindow()->isVisible());
        QCOMPARE(results.feedbackView()->toPlainText(), kWindowPlaceholder);
        QCOMPARE(results.feedbackView()->textColour(), QColor(Qt::gray));
        QCOMPARE(results.feedbackView()->font().pointSize(), 13);
        QCOMPARE(results.feedbackEmailVaule()->text(), QString());
        QCOMPARE(
            results.getFeedBackInfo(),
            QStringLiteral("RegEmail: \nSuggestion:Provide any suggestions or problems to us."));

        results.feedbackWindow()->move(40, 30);
        const QPoint where = results.feedbackWindow()->pos();
        results.feedbackEmailVaule()->setText(QStringLiteral("me@example.org"));
        results.feedbackView()->setPlainText(QStringLiteral("more photos"));
        results.clickFeedBack();
        QCOMPARE(results.feedbackWindow()->pos(), where);
        QCOMPARE(results.feedbackEmailVaule()->text(), QString());
        QCOMPARE(results.feedbackView()->toPlainText(), kWindowPlaceholder);

        results.ClickDontSendFeedBack();
        QVERIFY(!results.feedbackWindow()->isVisible());
    }

    void footerLinksOpenTheirPages() {
        FakePrompter prompter;
        ResultIntake intake(defaultCenter());
        ZNResultViewController results(defaultCenter(), intake, prompter);
        results.ui().facebookBtn->click();
        results.ui().twitterBtn->click();
        results.ui().supprotBtn->click();
        // The program's own pages, on disk: no placeholder web address.
        QCOMPARE(prompter.pages.size(), 3);
        for (const QString& page : prompter.pages) {
            QVERIFY2(QUrl(page).isLocalFile(), qPrintable(page));
            QVERIFY2(QFileInfo::exists(QUrl(page).toLocalFile()), qPrintable(page));
        }
        QVERIFY(prompter.pages[0].endsWith(QLatin1String("/index.html")));
        QVERIFY(prompter.pages[1].endsWith(QLatin1String("/index.html")));
        QVERIFY(prompter.pages[2].endsWith(QLatin1String("/support.html")));
    }

    void sendingFromTheWindowDeliversAndTurnsOnTheExitConfirmation() {
        std::filesystem::create_directories(dir_ / "sink");
        SmtpSink sink(dir_ / "sink");
        QVERIFY(sink.port() > 0);
        qputenv(kEnvSmtpHost, "127.0.0.1");
        qputenv(kEnvSmtpPort, QByteArray::number(sink.port()));
        qputenv(kEnvFeedbackTo, "feedback@marlowen.example");

        FakePrompter prompter;
        QuillonAppDelegate app(prompter, (dir_ / "no-backups").string());
        ResultIntake intake(defaultCenter());
        ZNResultViewController results(defaultCenter(), intake, prompter);
        QVERIFY(!app.bFeedBack());
        results.clickFeedBack();
        results.clickSendFeedBack();
        QVERIFY(!results.feedbackWindow()->isVisible());
        QVERIFY(app.bFeedBack());
        QTRY_COMPARE_WITH_TIMEOUT(sink.messages().size(), std::size_t{1}, 10000);
        const auto message = sink.messages().front();
        QCOMPARE(message["subject"].get<std::string>(), std::string("Marlowen"));
        QVERIFY(message["rcpt_tos"] == nlohmann::json::array({"feedback@marlowen.example"}));
        QCOMPARE(
            message["body"].get<std::string>(),
            std::string("RegEmail: \nSuggestion:Provide any suggestions or problems to us.\n"));

        prompter.answers = {false};
        QVERIFY(!app.window()->close());
        QCOMPARE(prompter.alerts.back().message, QStringLiteral("Are you sure you want to Exit ?"));
        QVERIFY(!app.cryWindow()->isVisible());
        QVERIFY(!app.isQuitting());
    }

    void sheetQuitsWhenTheServerIsAway() {
        ClosedPort closed;
        qputenv(kEnvSmtpHost, "127.0.0.1");
        qputenv(kEnvSmtpPort, QByteArray::number(closed.port()));
        qputenv(kEnvFeedbackTo, "feedback@marlowen.example");

        FakePrompter prompter;
        QuillonAppDelegate app(prompter, (dir_ / "no-backups").string());
        QSignalSpy quits(&app, &QuillonAppDelegate::quitStarted);
        app.window()->show();
        QVERIFY(!app.window()->close());
        QVERIFY(app.cryWindow()->isVisible());
        QCOMPARE(app.feedbackUi().suggestionView->toPlainText(), kSheetPlaceholder);
        QVERIFY(!app.feedbackUi().senderIndicator->isVisible());

        QElapsedTimer clock;
        clock.start();
        app.feedbackUi().sendBtn->click();
        QVERIFY(app.emailTimer().isActive());
        QCOMPARE(app.emailTimer().interval(), 10000);
        QVERIFY(!app.emailTimer().isSingleShot());
        QTRY_COMPARE_WITH_TIMEOUT(quits.size(), 1, 10000);
        QVERIFY(clock.elapsed() <= 10500);
        QVERIFY(!app.cryWindow()->isVisible());
        QVERIFY(!app.window()->isVisible());
        QVERIFY(!app.emailTimer().isActive());
        QTest::qWait(100);
        QCOMPARE(quits.size(), 1);
    }

    void sheetTimerQuitsWhileTheServerKeepsSilent() {
        // The server takes the connection and never answers: the timer's tick
        // (shortened here) quits before the send gives up, and the send's
        // later end does not quit a second time.
        SilentServer silent;
        qputenv(kEnvSmtpHost, "127.0.0.1");
        qputenv(kEnvSmtpPort, QByteArray::number(silent.port()));
        qputenv(kEnvFeedbackTo, "feedback@marlowen.example");

        FakePrompter prompter;
        QuillonAppDelegate app(prompter, (dir_ / "no-backups").string());
        QSignalSpy quits(&app, &QuillonAppDelegate::quitStarted);
        app.window()->show();
        app.window()->close();
        app.emailTimer().setInterval(200);
        app.Sender();
        QVERIFY(app.feedbackUi().senderIndicator->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(quits.size(), 1, 5000);
        QVERIFY(!app.cryWindow()->isVisible());
        QVERIFY(!app.emailTimer().isActive());
        QTest::qWait(kDefaultSmtpTimeout.count() + 1000);
        QCOMPARE(quits.size(), 1);
    }

    void sheetTimerQuitsOnItsOwn() {
        FakePrompter prompter;
        QuillonAppDelegate app(prompter, (dir_ / "no-backups").string());
        QSignalSpy quits(&app, &QuillonAppDelegate::quitStarted);
        app.window()->show();
        app.window()->close();
        QVERIFY(app.cryWindow()->isVisible());
        app.SendEmialTimer_hander();
        QCOMPARE(quits.size(), 1);
        QVERIFY(!app.cryWindow()->isVisible());
        QVERIFY(!app.window()->isVisible());
    }
};

QTEST_MAIN(TestFeedbackForms)
#include "test_feedback_forms.moc"
