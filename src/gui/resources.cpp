#include "gui/resources.h"

#include <QtGlobal>

// The resource initialisers live in this static library; call them by name so
// the linker keeps it.
static void registerMarlowenResources() {
    Q_INIT_RESOURCE(marlowen);
    Q_INIT_RESOURCE(marlowen_help);
}

namespace marlowen::gui {

void initResources() {
    static const bool done = [] {
        registerMarlowenResources();
        return true;
    }();
    (void)done;
}

}  // namespace marlowen::gui
