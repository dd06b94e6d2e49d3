// The sheet that asks for an encrypted backup's password before its scan.
//
// Checking a password is the backup's own key derivation, seconds long by
// design, so it runs on a thread of its own while the sheet shows a busy
// bar. The keys it answers go to the scan, which then derives nothing
// again. A wrong password leaves the sheet open for another try; Cancel
// (or Escape) goes back to the backup page, also while a check runs.
#pragma once

#include <QDialog>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/backup/backup_keys.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace marlowen::gui {

class PasswordSheet : public QDialog {
    Q_OBJECT
public:
    explicit PasswordSheet(QWidget* window);
    ~PasswordSheet() override;

    // Opens the sheet for the backup folder `backupFolder` of the device
    // shown as `deviceName`, with an empty field.
    void ask(const QString& deviceName, const std::string& backupFolder);
    // True while a password is being checked.
    bool isChecking() const { return checking_; }

signals:
    // The password opened the backup; the sheet has closed.
    void unlocked(std::shared_ptr<const marlowen::BackupKeys> keys);
    // The user went back without unlocking; the sheet has closed.
    void cancelled();

protected:
    void reject() override;

private:
    void unlock();
    void finishCheck(unsigned generation, marlowen::UnlockResult result);
    void showChecking(bool checking);

    QLabel* title_ = nullptr;
    QLabel* message_ = nullptr;
    QLineEdit* field_ = nullptr;
    QLabel* problem_ = nullptr;
    QLabel* busyText_ = nullptr;
    QProgressBar* busy_ = nullptr;
    QPushButton* unlockBtn_ = nullptr;
    QPushButton* cancelBtn_ = nullptr;

    std::string backupFolder_;
    // Every check started; a cancelled one runs to its end unseen, and all
    // are joined when the sheet goes.
    std::vector<std::thread> checks_;
    bool checking_ = false;
    // Counts the checks started; a check's answer counts only while its
    // number is the latest (a cancelled check's answer is dropped).
    unsigned generation_ = 0;
};

}  // namespace marlowen::gui
