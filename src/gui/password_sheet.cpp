#include "gui/password_sheet.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "core/scan/scan_controller.h"
#include "gui/sheet_placement.h"

namespace marlowen::gui {

namespace {
const QColor kAccent = QColor::fromRgbF(217 / 255.0f, 81 / 255.0f, 30 / 255.0f, 1.0f);
}  // namespace

PasswordSheet::PasswordSheet(QWidget* window) : QDialog(window) {
    setObjectName(QStringLiteral("passwordSheet"));
    setWindowTitle(tr("Encrypted Backup"));
    setWindowModality(Qt::WindowModal);
    setMinimumWidth(460);

    title_ = new QLabel(this);
    title_->setObjectName(QStringLiteral("passwordTitle"));
    QFont bold = title_->font();
    bold.setBold(true);
    bold.setPointSize(bold.pointSize() + 2);
    title_->setFont(bold);
    message_ = new QLabel(this);
    message_->setObjectName(QStringLiteral("passwordMessage"));
    message_->setWordWrap(true);
    message_->setText(tr(kEncryptedBackupMessage) + QLatin1Char(' ') +
                      tr("It is the password that was chosen when encrypted backups were turned "
                         "on for this device."));

    field_ = new QLineEdit(this);
    field_->setObjectName(QStringLiteral("passwordField"));
    field_->setEchoMode(QLineEdit::Password);
    field_->setPlaceholderText(tr("Backup password"));
    field_->setAccessibleName(tr("Backup password"));

    problem_ = new QLabel(this);
    problem_->setObjectName(QStringLiteral("passwordProblem"));
    problem_->setWordWrap(true);
    QPalette accent = problem_->palette();
    accent.setColor(QPalette::WindowText, kAccent);
    problem_->setPalette(accent);
    problem_->hide();

    busyText_ = new QLabel(tr("Checking the password. This takes a few seconds..."), this);
    busyText_->setObjectName(QStringLiteral("passwordBusyText"));
    busy_ = new QProgressBar(this);
    busy_->setObjectName(QStringLiteral("passwordBusy"));
    busy_->setRange(0, 0);  // no end known: a busy bar
    busy_->setTextVisible(false);
    busyText_->hide();
    busy_->hide();

    cancelBtn_ = new QPushButton(tr("Cancel"), this);
    cancelBtn_->setObjectName(QStringLiteral("passwordCancelBtn"));
    cancelBtn_->setAutoDefault(false);
    unlockBtn_ = new QPushButton(tr("Unlock"), this);
    unlockBtn_->setObjectName(QStringLiteral("unlockBtn"));
    unlockBtn_->setDefault(true);
    unlockBtn_->setEnabled(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cancelBtn_);
    buttons->addWidget(unlockBtn_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title_);
    layout->addWidget(message_);
    layout->addSpacing(6);
    layout->addWidget(field_);
    layout->addWidget(problem_);
    layout->addWidget(busyText_);
    layout->addWidget(busy_);
    layout->addSpacing(6);
    layout->addLayout(buttons);

    connect(field_, &QLineEdit::textChanged, this,
            [this](const QString& text) { unlockBtn_->setEnabled(!checking_ && !text.isEmpty()); });
    connect(field_, &QLineEdit::returnPressed, this, [this] {
        if (unlockBtn_->isEnabled()) unlock();
    });
    connect(unlockBtn_, &QPushButton::clicked, this, [this] { unlock(); });
    connect(cancelBtn_, &QPushButton::clicked, this, [this] { reject(); });
    keepSheetPlaced(this, window);
}

PasswordSheet::~PasswordSheet() {
    // A check cannot be interrupted; it ends within the derivation's time.
    for (std::thread& check : checks_)
        if (check.joinable()) check.join();
}

void PasswordSheet::ask(const QString& deviceName, const std::string& backupFolder) {
    backupFolder_ = backupFolder;
    ++generation_;  // an earlier check still running no longer counts
    showChecking(false);
    title_->setText(deviceName.isEmpty() ? tr("This backup is encrypted")
                                         : tr("\u201c%1\u201d is encrypted").arg(deviceName));
    field_->clear();
    problem_->hide();
    adjustSize();
    open();
    field_->setFocus();
}

void PasswordSheet::unlock() {
    if (checking_ || field_->text().isEmpty()) return;
    problem_->hide();
    showChecking(true);
    const unsigned generation = ++generation_;
    std::string password = field_->text().toStdString();
    field_->clear();
    checks_.emplace_back(
        [this, generation, folder = backupFolder_, password = std::move(password)]() mutable {
            UnlockResult result = unlockBackup(folder, password);
            std::fill(password.begin(), password.end(), '\0');
            // The widgets belong to the main thread; the sheet outlives this
            // thread (its destructor joins it), so `this` is valid here.
            QMetaObject::invokeMethod(
                this,
                [this, generation, result = std::move(result)]() mutable {
                    finishCheck(generation, std::move(result));
                },
                Qt::QueuedConnection);
        });
}

void PasswordSheet::finishCheck(unsigned generation, UnlockResult result) {
    if (generation != generation_) return;
    showChecking(false);
    if (result.status == UnlockStatus::Ok) {
        accept();
        emit unlocked(std::move(result.keys));
        return;
    }
    QString text = QString::fromStdString(unlockStatusMessage(result.status));
    if (result.status == UnlockStatus::WrongPassword)
        text += QLatin1Char(' ') + tr("Check the password and try again.");
    problem_->setText(text);
    problem_->show();
    adjustSize();
    field_->setFocus();
}

void PasswordSheet::reject() {
    ++generation_;  // drops the answer of a check still running
    showChecking(false);
    field_->clear();
    QDialog::reject();
    emit cancelled();
}

void PasswordSheet::showChecking(bool checking) {
    checking_ = checking;
    busyText_->setVisible(checking);
    busy_->setVisible(checking);
    field_->setEnabled(!checking);
    unlockBtn_->setEnabled(!checking && !field_->text().isEmpty());
    adjustSize();
}

}  // namespace marlowen::gui
