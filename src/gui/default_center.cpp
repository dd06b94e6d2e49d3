#include "gui/default_center.h"

namespace marlowen::gui {

NotificationCenter& defaultCenter() {
    static NotificationCenter center;
    return center;
}

}  // namespace marlowen::gui
