// Registers the pictures and the built-in help pages of the program (safe
// to call more than once).
#pragma once

namespace marlowen::gui {
void initResources();
}
