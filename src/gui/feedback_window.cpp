#include "gui/feedback_window.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "core/feedback/feedback_mail.h"
#include "gui/feedback_settings.h"
#include "gui/quillon_app_delegate.h"
#include "gui/result_view_style.h"
#include "gui/zn_controls.h"

namespace marlowen::gui {

FeedbackWindow::FeedbackWindow(QWidget* parent) : QDialog(parent, Qt::Dialog) {
    setObjectName(QStringLiteral("feedbackWindow"));
    setWindowTitle(tr("Feedback"));
    resize(420, 330);
    auto* layout = new QVBoxLayout(this);

    auto* feedbackThanklab = new QLabel(tr("Thank you for using Marlowen!"), this);
    feedbackThanklab->setObjectName(QStringLiteral("feedbackThanklab"));
    feedbackThanklab->setFont(lucida(16));
    auto* feedbackinfolab = new QLabel(tr("Tell us what you think; we read every message."), this);
    feedbackinfolab->setObjectName(QStringLiteral("feedbackinfolab"));
    feedbackinfolab->setWordWrap(true);
    auto* feedbackEmaillab = new QLabel(tr("Your e-mail:"), this);
    feedbackEmaillab->setObjectName(QStringLiteral("feedbackEmaillab"));
    feedbackEmailVaule_ = new QLineEdit(this);
    feedbackEmailVaule_->setObjectName(QStringLiteral("feedbackEmailVaule"));
    auto* feedbackTiplab = new QLabel(tr("Your suggestion:"), this);
    feedbackTiplab->setObjectName(QStringLiteral("feedbackTiplab"));
    feedbackView_ = new ZNFeedBackView(this);
    feedbackView_->setObjectName(QStringLiteral("feedbackView"));
    for (QLabel* l : {feedbackinfolab, feedbackEmaillab, feedbackTiplab}) l->setFont(lucida(12));

    auto* emailRow = new QHBoxLayout;
    emailRow->addWidget(feedbackEmaillab);
    emailRow->addWidget(feedbackEmailVaule_, 1);
    auto* buttons = new QHBoxLayout;
    auto* cancelBtn = new QPushButton(tr("Cancel"), this);
    cancelBtn->setObjectName(QStringLiteral("feedbackCancelBtn"));
    auto* sendBtn = new QPushButton(tr("Send"), this);
    sendBtn->setObjectName(QStringLiteral("feedbackSendBtn"));
    sendBtn->setDefault(true);
    buttons->addStretch(1);
    buttons->addWidget(cancelBtn);
    buttons->addWidget(sendBtn);

    layout->addWidget(feedbackThanklab);
    layout->addWidget(feedbackinfolab);
    layout->addLayout(emailRow);
    layout->addWidget(feedbackTiplab);
    layout->addWidget(feedbackView_, 1);
    layout->addLayout(buttons);

    connect(sendBtn, &QPushButton::clicked, this, [this] { send(); });
    connect(cancelBtn, &QPushButton::clicked, this, [this] { hide(); });
}

FeedbackWindow::~FeedbackWindow() {
    for (std::thread& t : sendEmailThreaders_)
        if (t.joinable()) t.join();
}

void FeedbackWindow::showEmpty() {
    feedbackView_->showPlaceholder(ZNFeedBackView::windowPlaceholder());
    feedbackEmailVaule_->clear();
    if (isVisible()) return;
    show();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

void FeedbackWindow::send() {
    if (QuillonAppDelegate* app = QuillonAppDelegate::GetAppControllor()) app->setBFeedBack(true);
    hide();
    sendEmailThreaders_.emplace_back([config = feedbackSmtpConfig(),
                                      email = feedbackEmailVaule_->text().toStdString(),
                                      suggestion = feedbackView_->toPlainText().toStdString()] {
        marlowen::sendFeedBackEmailHandle(config, email, suggestion);
    });
}

QString FeedbackWindow::mailBody() const {
    return QString::fromStdString(marlowen::getFeedBackInfo(
        feedbackEmailVaule_->text().toStdString(), feedbackView_->toPlainText().toStdString()));
}

}  // namespace marlowen::gui
