#pragma once
// A progress bar as the comparison drives it. The window binds these to
// QProgressBar; the command line and tests keep plain values.
#include <algorithm>
#include <functional>

namespace dex {

class ProgressBar {
public:
    // Maximum is never below 1 so that a bar with minimum 0 stays valid even
    // when a pass begins with no rows.
    void setMaximum(int m) {
        max_ = std::max(1, m);
        value_ = std::min(value_, max_);
        changed();
    }
    void setValue(int v) {
        value_ = std::clamp(v, 0, max_);
        changed();
    }
    void step() { setValue(value_ + 1); }
    int maximum() const { return max_; }
    int value() const { return value_; }
    void setVisible(bool v) {
        visible_ = v;
        changed();
    }
    bool visible() const { return visible_; }
    std::function<void()> onChange;

private:
    void changed() {
        if (onChange) onChange();
    }
    int max_ = 100;
    int value_ = 0;
    bool visible_ = false;
};

}  // namespace dex
