// Registers the pictures of the program (safe to call more than once).
#pragma once

namespace marlowen::gui {
void initResources();
}
