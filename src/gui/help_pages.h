// The program's own help: a few HTML pages installed beside the programs
// (share/marlowen/help) and built into the program as well. A page opens in
// the desktop's viewer; when no viewer starts, or the installed pages are
// missing, it is shown in a help window of the program.
#pragma once

#include <QString>
#include <QUrl>

class QTextBrowser;
class QWidget;

namespace marlowen::gui {

class Prompter;

enum class HelpPage { Home, Help, LearnMore, Support };

// "index.html", "help.html", "learn-more.html", "support.html".
QString helpPageFileName(HelpPage page);

// The folder of the help pages for a program in `programDir`: the
// installed share/marlowen/help beside bin/, else the build tree's
// <build>/share/marlowen/help two levels up. "" when neither holds the
// home page.
QString findHelpFolder(const QString& programDir);

// The page as a file of findHelpFolder(the running program's folder), or
// the built-in copy (a qrc: URL) when there is none on disk.
QUrl helpPageUrl(HelpPage page);

// Opens the page: in the desktop's viewer when it is a file and a viewer
// starts, else in the help window.
void openHelpPage(Prompter& prompter, HelpPage page);

// The help window's browser; null until the window is first needed.
QTextBrowser* helpBrowser();

}  // namespace marlowen::gui
