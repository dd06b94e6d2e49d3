// The program's own help pages (found on disk beside the program, else
// built in), the window that shows them when no viewer starts, the About
// window's version, and the desktop program's command line.
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QRegularExpression>
#include <QTest>
#include <QTextBrowser>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "fake_prompter.h"
#include "gui/help_pages.h"
#include "gui/launch_options.h"
#include "gui/quillon_app_delegate.h"
#include "gui/resources.h"
#include "marlowen_version.h"
#include "support/temp_dir.h"

using namespace marlowen;
using namespace marlowen::gui;
using marlowen::gui::test::FakePrompter;

namespace {

void touch(const std::filesystem::path& file) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file) << "<html></html>";
}

QString qpath(const std::filesystem::path& p) {
    return QString::fromStdString(p.string());
}

QString readAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll());
}

// What answerWithoutDisplay() printed, and its status.
std::pair<int, QString> answer(const std::vector<std::string>& args) {
    std::FILE* out = std::tmpfile();
    const int status = answerWithoutDisplay(args, out);
    std::rewind(out);
    QByteArray text;
    char buffer[256];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, out)) text.append(buffer, n);
    std::fclose(out);
    return {status, QString::fromUtf8(text)};
}

}  // namespace

class TestHelpAndLaunch : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { initResources(); }

    void helpFolderIsFoundInstalledOrInTheBuildTreeOnly() {
        fixture::TempDir tmp;
        // Installed: <prefix>/bin and <prefix>/share/marlowen/help.
        touch(tmp / "usr/share/marlowen/help/index.html");
        std::filesystem::create_directories(tmp / "usr/bin");
        QCOMPARE(findHelpFolder(qpath(tmp / "usr/bin")), qpath(tmp / "usr/share/marlowen/help"));
        // Build tree: <build>/src/gui and <build>/share/marlowen/help.
        touch(tmp / "build/share/marlowen/help/index.html");
        std::filesystem::create_directories(tmp / "build/src/gui");
        QCOMPARE(findHelpFolder(qpath(tmp / "build/src/gui")),
                 qpath(tmp / "build/share/marlowen/help"));
        // A folder without the home page is not the help.
        std::filesystem::create_directories(tmp / "bare/share/marlowen/help");
        std::filesystem::create_directories(tmp / "bare/bin");
        QCOMPARE(findHelpFolder(qpath(tmp / "bare/bin")), QString());
        QCOMPARE(findHelpFolder(QString()), QString());
    }

    void everyPageIsShippedBesideTheProgramAndBuiltIn() {
        for (HelpPage page :
             {HelpPage::Home, HelpPage::Help, HelpPage::LearnMore, HelpPage::Support}) {
            const QUrl url = helpPageUrl(page);
            QVERIFY2(url.isLocalFile(), qPrintable(url.toString()));
            const QString onDisk = readAll(url.toLocalFile());
            QVERIFY(onDisk.contains(QLatin1String("<h1>")));
            // The built-in copy is the same page.
            QCOMPARE(readAll(QStringLiteral(":/help/") + helpPageFileName(page)), onDisk);
        }
        // The version is filled in, not left as a placeholder.
        const QString home = readAll(helpPageUrl(HelpPage::Home).toLocalFile());
        QVERIFY(home.contains(QStringLiteral("Version %1").arg(QString::fromLatin1(kVersion))));
        QVERIFY(!home.contains(QLatin1Char('@')));
    }

    void linksBetweenPagesLeadToShippedFilesOnly() {
        const QRegularExpression link(QStringLiteral("(?:href|src)=\"([^\"]+)\""));
        const QDir help(QStringLiteral(":/help"));
        for (const QString& name : help.entryList({QStringLiteral("*.html")})) {
            const QString text = readAll(help.filePath(name));
            for (auto it = link.globalMatch(text); it.hasNext();) {
                const QString target = it.next().captured(1);
                QVERIFY2(!target.contains(QLatin1String("://")),
                         qPrintable(name + QLatin1String(" links out to ") + target));
                QVERIFY2(QFile::exists(help.filePath(target.section(QLatin1Char('#'), 0, 0))),
                         qPrintable(name + QLatin1String(" links to a missing ") + target));
            }
        }
    }

    void helpActionsOpenTheirOwnPagesInTheViewer() {
        FakePrompter prompter;
        QuillonAppDelegate app(prompter, "/nonexistent-backup-root");
        app.ClickHomePage();
        app.ClickHelp();
        app.ClickLearnMore();
        QCOMPARE(prompter.pages.size(), 3);
        QCOMPARE(prompter.pages[0], helpPageUrl(HelpPage::Home).toString());
        QCOMPARE(prompter.pages[1], helpPageUrl(HelpPage::Help).toString());
        QCOMPARE(prompter.pages[2], helpPageUrl(HelpPage::LearnMore).toString());
        // The viewer took them: the program's own window stays shut.
        QVERIFY(!helpBrowser() || !helpBrowser()->window()->isVisible());
    }

    void withoutAViewerThePageIsShownInTheProgram() {
        FakePrompter prompter;
        prompter.openPageSucceeds = false;
        QuillonAppDelegate app(prompter, "/nonexistent-backup-root");
        app.ClickLearnMore();
        QCOMPARE(prompter.pages.size(), 1);
        QVERIFY(helpBrowser());
        QVERIFY(helpBrowser()->window()->isVisible());
        QCOMPARE(helpBrowser()->source(), helpPageUrl(HelpPage::LearnMore));
        QVERIFY(helpBrowser()->toPlainText().contains(QLatin1String("deleted records")));
        // A link inside the window stays inside it.
        helpBrowser()->setSource(QUrl(QStringLiteral("support.html")));
        QVERIFY(helpBrowser()->toPlainText().contains(QLatin1String("log file")));
        // The next page reuses the one window.
        QTextBrowser* first = helpBrowser();
        app.ClickHelp();
        QCOMPARE(helpBrowser(), first);
        QCOMPARE(helpBrowser()->source(), helpPageUrl(HelpPage::Help));
        helpBrowser()->window()->close();
    }

    void builtInPagesReadInTheHelpWindow() {
        QTextBrowser browser;
        browser.setSource(QUrl(QStringLiteral("qrc:/help/index.html")));
        QVERIFY(browser.toPlainText().contains(QLatin1String("Marlowen")));
        // A relative link resolves inside the built-in copy.
        browser.setSource(QUrl(QStringLiteral("help.html")));
        QVERIFY(browser.toPlainText().contains(QLatin1String("Pick a backup")));
    }

    void aboutWindowShowsTheVersion() {
        FakePrompter prompter;
        QuillonAppDelegate app(prompter, "/nonexistent-backup-root");
        app.ClickAbout();
        QVERIFY(app.aboutWindow()->isVisible());
        auto* version = app.aboutWindow()->findChild<QLabel*>(QStringLiteral("versionlab"));
        QVERIFY(version);
        QCOMPARE(version->text(), QStringLiteral("Version %1").arg(QString::fromLatin1(kVersion)));
        app.aboutWindow()->close();
    }

    void versionAndHelpAreAnsweredWithoutAWindow() {
        auto [status, text] = answer({"--version"});
        QCOMPARE(status, 0);
        QCOMPARE(text, QStringLiteral("marlowen %1\n").arg(QString::fromLatin1(kVersion)));
        std::tie(status, text) = answer({"-v", "--help"});
        QCOMPARE(status, 0);
        QVERIFY(text.startsWith(QLatin1String("Usage: marlowen")));
        // Nothing to answer: the program goes on; after "--" it is a folder name.
        QCOMPARE(answer({"-v", "/some/folder"}).first, -1);
        QCOMPARE(answer({"--", "--version"}).first, -1);
        QCOMPARE(answer({}).first, -1);
    }

    void commandLineNamesTheBackupFolder() {
        fixture::TempDir tmp;
        std::filesystem::create_directories(tmp / "backups");
        const QString absolute = qpath(tmp / "backups");

        LaunchOptions options = parseLaunchOptions({QStringLiteral("-v"), absolute});
        QVERIFY(options.error.isEmpty());
        QVERIFY(options.verbose);
        QCOMPARE(options.backupRoot, absolute);

        // A relative folder is made absolute (the working folder may change).
        const QString before = QDir::currentPath();
        QDir::setCurrent(qpath(tmp.path()));
        options = parseLaunchOptions({QStringLiteral("./backups/")});
        QDir::setCurrent(before);
        QVERIFY(options.error.isEmpty());
        QCOMPARE(options.backupRoot, absolute);

        // A folder named like an option, after "--".
        std::filesystem::create_directories(tmp / "-odd");
        options = parseLaunchOptions({QStringLiteral("--"), qpath(tmp / "-odd")});
        QVERIFY(options.error.isEmpty());
        QCOMPARE(options.backupRoot, qpath(tmp / "-odd"));

        QCOMPARE(parseLaunchOptions({}).backupRoot, QString());
        QVERIFY(!parseLaunchOptions({}).verbose);
    }

    void wrongArgumentsAreRefusedWithAReason() {
        fixture::TempDir tmp;
        touch(tmp / "file.txt");
        struct Case {
            QStringList args;
            QString says;
        };
        const QList<Case> cases = {
            {{QStringLiteral("--root")}, QStringLiteral("unknown option --root")},
            {{qpath(tmp / "missing")}, QStringLiteral("is not a folder")},
            {{qpath(tmp / "file.txt")}, QStringLiteral("is not a folder")},
            {{qpath(tmp.path()), qpath(tmp.path())}, QStringLiteral("one folder at most")},
        };
        for (const Case& c : cases) {
            const LaunchOptions options = parseLaunchOptions(c.args);
            QVERIFY2(options.error.contains(c.says), qPrintable(options.error));
            QCOMPARE(options.backupRoot, QString());
        }
    }
};

QTEST_MAIN(TestHelpAndLaunch)
#include "test_help_and_launch.moc"
