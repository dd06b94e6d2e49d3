#include "gui/resources.h"

#include <QtGlobal>

// The resource initialiser lives in this static library; call it by name so
// the linker keeps it.
static void registerMarlowenResources() { Q_INIT_RESOURCE(marlowen); }

namespace marlowen::gui {

void initResources() {
    static const bool done = [] {
        registerMarlowenResources();
        return true;
    }();
    (void)done;
}

}  // namespace marlowen::gui
