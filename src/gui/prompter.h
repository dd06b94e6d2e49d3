// Everything that waits for the user or leaves the program: alerts, the
// save and folder dialogs, opening pages and folders, and quitting. The
// controllers ask through this interface only, so tests answer without a
// blocking dialog.
#pragma once

#include <QString>
#include <QUrl>

class QWidget;

namespace marlowen::gui {

class Prompter {
public:
    virtual ~Prompter() = default;

    // A modal alert. True when the default button was chosen; an empty
    // alternate button shows the default button alone.
    virtual bool alert(QWidget* parent, const QString& message, const QString& defaultButton,
                       const QString& alternateButton, const QString& informativeText) = 0;
    // A save dialog for a new folder name; "" when cancelled.
    virtual QString saveFolderPath(QWidget* parent, const QString& directory,
                                   const QString& proposedName) = 0;
    // An existing folder; "" when cancelled.
    virtual QString chooseFolder(QWidget* parent, const QString& directory) = 0;
    // Shows a folder in the file viewer.
    virtual void revealFolder(const QString& path) = 0;
    virtual void openPage(const QUrl& url) = 0;
    virtual void terminate() = 0;
};

// The real dialogs of the platform.
class DialogPrompter : public Prompter {
public:
    bool alert(QWidget* parent, const QString& message, const QString& defaultButton,
               const QString& alternateButton, const QString& informativeText) override;
    QString saveFolderPath(QWidget* parent, const QString& directory,
                           const QString& proposedName) override;
    QString chooseFolder(QWidget* parent, const QString& directory) override;
    void revealFolder(const QString& path) override;
    void openPage(const QUrl& url) override;
    void terminate() override;
};

}  // namespace marlowen::gui
