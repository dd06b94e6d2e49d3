// The footer of the results page: the support link, the two links to the
// home page and the feedback button, their look (underlined under the
// pointer) and where each leads.
#pragma once

#include <functional>
#include <vector>

#include "core/notify/notification_center.h"

class QObject;

namespace Ui {
class ResulutView;
}

namespace marlowen::gui {

class Prompter;
class ZNButton;

class FooterLinks {
public:
    // The buttons are the page's own; `feedback` opens the feedback window.
    // Hover notifications of `nc` for the three plain links change their
    // look; `context` owns the click connections.
    FooterLinks(Ui::ResulutView& ui, NotificationCenter& nc, Prompter& prompter, QObject* context,
                std::function<void()> feedback);

    // The product keeps no pages of its own on social networks: those two
    // links lead to its home page, which says where to turn; Support to
    // the support page. All are the help shipped with the program.
    void openHome();
    void openSupport();
    // The look of the button a hover notification names, under the pointer
    // or not; buttons other than the three plain links are left as they are.
    void hovered(const Notification& note, bool on);

private:
    bool isPlainLink(const ZNButton* button) const;
    static void setLook(ZNButton* button, bool hovered);

    Ui::ResulutView& ui_;
    Prompter& prompter_;
    std::vector<ScopedObserver> hoverObservers_;
};

}  // namespace marlowen::gui
