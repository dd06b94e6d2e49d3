// Everything that waits for the user or hands work to the desktop: alerts,
// the save and folder dialogs, opening pages and folders. The controllers
// ask through this interface only, so tests answer without a blocking
// dialog. Quitting is not here: it is the program's own close path, and the
// tests run it for real.
#pragma once

#include <QString>
#include <QUrl>

#include "core/export/record_export.h"

class QWidget;

namespace marlowen::gui {

class Prompter {
public:
    virtual ~Prompter() = default;

    // A modal alert. True when the default button was chosen; an empty
    // alternate button shows the default button alone.
    virtual bool alert(QWidget* parent, const QString& message, const QString& defaultButton,
                       const QString& alternateButton, const QString& informativeText) = 0;
    // A save dialog for a new export folder's name, with a check box per
    // export format below the file list, ticked as `formats` says; on
    // accepting it, `formats` holds the ticks. "" when cancelled (`formats`
    // is then left as it was).
    virtual QString saveFolderPath(QWidget* parent, const QString& directory,
                                   const QString& proposedName, ExportFormats& formats) = 0;
    // An existing folder; "" when cancelled.
    virtual QString chooseFolder(QWidget* parent, const QString& directory) = 0;
    // Shows a folder in the file viewer; false when no viewer could be started.
    virtual bool revealFolder(const QString& path) = 0;
    // Opens a page or file in its viewer; false when none could be started.
    virtual bool openPage(const QUrl& url) = 0;
};

// The real dialogs of the platform.
class DialogPrompter : public Prompter {
public:
    bool alert(QWidget* parent, const QString& message, const QString& defaultButton,
               const QString& alternateButton, const QString& informativeText) override;
    QString saveFolderPath(QWidget* parent, const QString& directory, const QString& proposedName,
                           ExportFormats& formats) override;
    QString chooseFolder(QWidget* parent, const QString& directory) override;
    bool revealFolder(const QString& path) override;
    bool openPage(const QUrl& url) override;
};

}  // namespace marlowen::gui
