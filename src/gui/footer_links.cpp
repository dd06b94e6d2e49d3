#include "gui/footer_links.h"

#include <QPushButton>
#include <any>

#include "gui/default_center.h"
#include "gui/help_pages.h"
#include "gui/result_view_style.h"
#include "gui/zn_controls.h"
#include "ui_ResulutView.h"

namespace marlowen::gui {

namespace {

ZNButton* senderButton(const Notification& note) {
    if (const auto* b = std::any_cast<ZNButton*>(&note.object)) return *b;
    return nullptr;
}

}  // namespace

FooterLinks::FooterLinks(Ui::ResulutView& ui, NotificationCenter& nc, Prompter& prompter,
                         QObject* context, std::function<void()> feedback)
    : ui_(ui), prompter_(prompter) {
    // Borderless and never focused, as links are; Support blue and
    // underlined always, the others only under the pointer.
    for (ZNButton* b : {ui_.supprotBtn, ui_.facebookBtn, ui_.twitterBtn, ui_.feedBackBtn}) {
        b->setFlat(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setStyleSheet(QStringLiteral("QPushButton { border: none; padding: 2px 6px; }"));
    }
    ui_.supprotBtn->setText(QObject::tr("Support"));
    QFont link = lucida(11);
    link.setUnderline(true);
    ui_.supprotBtn->setFont(link);
    ui_.supprotBtn->setStyleSheet(
        QStringLiteral("QPushButton { border: none; padding: 2px 6px; color: blue; }"));
    for (ZNButton* b : {ui_.facebookBtn, ui_.twitterBtn, ui_.feedBackBtn}) setLook(b, false);

    hoverObservers_.emplace_back(nc, kZNbuttonMouseEntered,
                                 [this](const Notification& n) { hovered(n, true); });
    hoverObservers_.emplace_back(nc, kZNbuttonMouseExited,
                                 [this](const Notification& n) { hovered(n, false); });
    QObject::connect(ui_.supprotBtn, &QPushButton::clicked, context, [this] { openSupport(); });
    QObject::connect(ui_.facebookBtn, &QPushButton::clicked, context, [this] { openHome(); });
    QObject::connect(ui_.twitterBtn, &QPushButton::clicked, context, [this] { openHome(); });
    QObject::connect(ui_.feedBackBtn, &QPushButton::clicked, context, std::move(feedback));
}

void FooterLinks::openHome() {
    openHelpPage(prompter_, HelpPage::Home);
}

void FooterLinks::openSupport() {
    openHelpPage(prompter_, HelpPage::Support);
}

void FooterLinks::hovered(const Notification& note, bool on) {
    ZNButton* button = senderButton(note);
    if (button && isPlainLink(button)) setLook(button, on);
}

bool FooterLinks::isPlainLink(const ZNButton* button) const {
    return button == ui_.facebookBtn || button == ui_.twitterBtn || button == ui_.feedBackBtn;
}

void FooterLinks::setLook(ZNButton* button, bool hovered) {
    QFont f = lucida(11);
    f.setUnderline(hovered);
    button->setFont(f);
    button->setCursor(hovered ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

}  // namespace marlowen::gui
