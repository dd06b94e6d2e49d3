#include "gui/help_pages.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "gui/prompter.h"
#include "gui/resources.h"

namespace marlowen::gui {

namespace {

// The built-in copy of the pages, for a program run from a folder without
// them; links between pages resolve inside it.
constexpr const char* kBuiltInHelp = "qrc:/help/";

QPointer<QDialog> gHelpWindow;
QPointer<QTextBrowser> gHelpBrowser;

void showInHelpWindow(const QUrl& url) {
    if (!gHelpWindow) {
        // Top-level and kept for the whole run: a help page is read beside
        // the main window, not over it.
        gHelpWindow = new QDialog(nullptr, Qt::Window);
        gHelpWindow->setAttribute(Qt::WA_QuitOnClose, false);
        gHelpWindow->setObjectName(QStringLiteral("helpWindow"));
        gHelpWindow->setWindowTitle(QObject::tr("Marlowen Help"));
        gHelpWindow->resize(720, 640);
        gHelpBrowser = new QTextBrowser(gHelpWindow);
        gHelpBrowser->setOpenLinks(true);
        gHelpBrowser->setOpenExternalLinks(false);
        auto* layout = new QVBoxLayout(gHelpWindow);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(gHelpBrowser);
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, gHelpWindow.data(),
                         &QObject::deleteLater);
    }
    gHelpBrowser->setSource(url);
    gHelpWindow->show();
    gHelpWindow->raise();
    gHelpWindow->activateWindow();
}

}  // namespace

QString helpPageFileName(HelpPage page) {
    switch (page) {
        case HelpPage::Home:
            return QStringLiteral("index.html");
        case HelpPage::Help:
            return QStringLiteral("help.html");
        case HelpPage::LearnMore:
            return QStringLiteral("learn-more.html");
        case HelpPage::Support:
            return QStringLiteral("support.html");
    }
    return QStringLiteral("index.html");
}

QString findHelpFolder(const QString& programDir) {
    if (programDir.isEmpty()) return {};
    const QDir dir(programDir);
    for (const QString& relative :
         {QStringLiteral("../share/marlowen/help"), QStringLiteral("../../share/marlowen/help")}) {
        const QString folder = QDir::cleanPath(dir.filePath(relative));
        if (QFileInfo(QDir(folder).filePath(helpPageFileName(HelpPage::Home))).isFile())
            return folder;
    }
    return {};
}

QUrl helpPageUrl(HelpPage page) {
    const QString folder = findHelpFolder(QCoreApplication::applicationDirPath());
    if (!folder.isEmpty()) {
        const QString file = QDir(folder).filePath(helpPageFileName(page));
        if (QFileInfo(file).isFile()) return QUrl::fromLocalFile(file);
    }
    return QUrl(QString::fromLatin1(kBuiltInHelp) + helpPageFileName(page));
}

void openHelpPage(Prompter& prompter, HelpPage page) {
    initResources();
    const QUrl url = helpPageUrl(page);
    if (url.isLocalFile() && prompter.openPage(url)) return;
    showInHelpWindow(url);
}

QTextBrowser* helpBrowser() {
    return gHelpBrowser;
}

}  // namespace marlowen::gui
