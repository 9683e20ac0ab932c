#pragma once
// Double-clicks for window systems that report only presses (X11), told from
// two clicks the way Windows tells them, so a control sees the same gestures
// on every platform: a press is the second press of a double-click when it
// comes within doubleClickMs of the previous left-button press and no more
// than doubleClickSlop pixels away from it in either direction. The press
// after a double-click starts over, as on Windows: three quick presses are a
// double-click and a press.

#include <cstdint>
#include <cstdlib>

namespace zem {

// Windows' default double-click time.
constexpr std::uint32_t doubleClickMs = 500;
// Windows' default double-click rectangle is 4 x 4 pixels around the first
// press: 2 pixels either way.
constexpr int doubleClickSlop = 2;

class DoubleClickDetector {
public:
    // A left-button press at (x, y) at timeMs, a millisecond clock that may
    // wrap around (X11's server time does, after 49.7 days). Answers whether
    // it completes a double-click.
    bool press(std::uint32_t timeMs, int x, int y) {
        const bool isDouble = armed && static_cast<std::uint32_t>(timeMs - lastTime) <= doubleClickMs &&
                              std::abs(x - lastX) <= doubleClickSlop && std::abs(y - lastY) <= doubleClickSlop;
        armed = !isDouble;
        lastTime = timeMs;
        lastX = x;
        lastY = y;
        return isDouble;
    }

    // Another button was pressed: the next left press is a single one.
    void reset() { armed = false; }

private:
    bool armed = false; // the last press may begin a double-click
    std::uint32_t lastTime = 0;
    int lastX = 0;
    int lastY = 0;
};

} // namespace zem
