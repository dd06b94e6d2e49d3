// A prompter that answers from a script and records what was asked.
#pragma once

#include <QStringList>
#include <deque>
#include <optional>
#include <vector>

#include "gui/prompter.h"

namespace marlowen::gui::test {

class FakePrompter : public Prompter {
public:
    struct Alert {
        QString message, defaultButton, alternateButton, informativeText;
    };

    bool alert(QWidget*, const QString& message, const QString& defaultButton,
               const QString& alternateButton, const QString& informativeText) override {
        alerts.push_back({message, defaultButton, alternateButton, informativeText});
        if (answers.empty()) return true;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    QString saveFolderPath(QWidget*, const QString& directory, const QString& proposedName,
                           ExportFormats& formats) override {
        saveDirectory = directory;
        proposedNames.append(proposedName);
        offeredFormats.push_back(formats);
        if (chosenFormats && !savePath.isEmpty()) formats = *chosenFormats;
        return savePath;
    }
    QString chooseFolder(QWidget*, const QString&) override { return chosenFolder; }
    bool revealFolder(const QString& path) override {
        revealed.append(path);
        return revealSucceeds;
    }
    bool openPage(const QUrl& url) override {
        pages.append(url.toString());
        return openPageSucceeds;
    }

    QStringList messages() const {
        QStringList out;
        for (const Alert& a : alerts) out.append(a.message);
        return out;
    }

    std::vector<Alert> alerts;
    std::deque<bool> answers;  // true = default button; empty queue answers true
    QString savePath;          // "" = cancel
    QString saveDirectory;
    QStringList proposedNames;
    std::vector<ExportFormats> offeredFormats;   // the ticks each save dialog showed
    std::optional<ExportFormats> chosenFormats;  // the ticks to accept with; unset keeps them
    QString chosenFolder;
    QStringList revealed;
    bool revealSucceeds = true;
    QStringList pages;
    bool openPageSucceeds = true;  // false: no viewer could be started
};

}  // namespace marlowen::gui::test
