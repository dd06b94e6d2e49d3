#pragma once

#include <iosfwd>

namespace marlowen::cli {

// A one-line progress bar redrawn in place ("\r") on an interactive stderr.
class ProgressBar {
public:
    ProgressBar(std::ostream& out, bool enabled) : out_(out), enabled_(enabled) {}
    ~ProgressBar() { finish(); }
    void update(int percent);
    // Ends the line once, if anything was drawn.
    void finish();

private:
    std::ostream& out_;
    bool enabled_;
    bool drawn_ = false;
};

}  // namespace marlowen::cli
