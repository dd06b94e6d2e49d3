#include "cli/progress_bar.h"

#include <algorithm>
#include <ostream>
#include <string>

namespace marlowen::cli {

void ProgressBar::update(int percent) {
    if (!enabled_) return;
    constexpr int kWidth = 40;
    const int p = std::clamp(percent, 0, 100);
    const int filled = p * kWidth / 100;
    out_ << "\r[" << std::string(filled, '#') << std::string(kWidth - filled, ' ') << "] " << p
         << "%" << std::flush;
    drawn_ = true;
}

void ProgressBar::finish() {
    if (drawn_) out_ << "\n" << std::flush;
    drawn_ = false;
}

}  // namespace marlowen::cli
