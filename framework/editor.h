#pragma once
// The editor framework: what a control sees of its editor (IEditor), the
// mouse routing shared by every editor, the hand-over of parameter changes
// from foreign threads to the window's thread, and (Windows only) the window
// itself: zem::Editor<PluginT, N>, which owns the window, the back buffer, the
// mouse routing and the list of controls and knows nothing of a particular
// synthesizer.

#include <atomic>
#include <cstdint>

#include "framework/control.h"
#include "framework/platform.h"

namespace zem {

// The editor as its controls see it. Every operation runs on the editor's
// user-interface thread.
class IEditor {
public:
    virtual ~IEditor() = default;
    // Asks for a repaint of r (window client coordinates); the repaint comes
    // later, with the next WM_PAINT.
    virtual void invalidateRect(const RECT& r) = 0;
    // Sends all further mouse input to c, wherever the pointer is, until
    // releaseMouse.
    virtual void captureMouse(Control* c) = 0;
    virtual void releaseMouse() = 0;
    // The control bound to parameterIndex has a new state: the editor writes
    // it into the parameter, tells the plug-in and the host.
    virtual void controlChanged(int parameterIndex) = 0;
};

// Delivers one mouse event: to the control holding the capture alone, wherever
// the pointer is; otherwise to every control whose bounds contain the point
// (edges included), in list order, without stopping at the first hit. The
// position handed on is relative to the receiving control's top-left corner.
// send(control, x, y) performs the event; null slots are skipped.
template <int N, class Send>
void routeMouse(Control* const (&controls)[N], Control* captured, int x, int y, Send&& send)
{
    if (captured != nullptr) {
        send(*captured, x - captured->bounds.left, y - captured->bounds.top);
        return;
    }
    for (Control* c : controls) {
        if (c != nullptr && containsPoint(c->bounds, x, y))
            send(*c, x - c->bounds.left, y - c->bounds.top);
    }
}

// Indices of controls whose parameter changed on a thread other than the
// editor's: any thread marks, the window's thread drains. Lock-free and
// allocation-free, so a host's automation thread is never held up. The set
// lives in the plug-in, not in the editor, so that marking never touches an
// editor that may be closing at that moment.
template <int N>
class PendingControlUpdates {
public:
    // Any thread. Marks index (ignored outside 0..N-1) and answers whether the
    // caller must wake the window's thread: true only for the first mark since
    // the last drain began, so a burst of automation posts one message, not
    // one per value.
    bool mark(int index)
    {
        if (index < 0 || index >= N)
            return false;
        words[index / bitsPerWord].fetch_or(uint32_t(1) << (index % bitsPerWord));
        return !wakeRequested.exchange(true);
    }
    // Any thread. The wake-up could not be delivered: let the next mark try.
    void wakeFailed() { wakeRequested.store(false); }
    // Window thread. Calls apply(index) for every marked index, lowest first,
    // and unmarks them. A mark that lands while draining is either applied now
    // or asks for another wake-up: wakeRequested is cleared before the words
    // are read.
    template <class Apply>
    void drain(Apply&& apply)
    {
        wakeRequested.store(false);
        for (int w = 0; w < wordCount; ++w) {
            uint32_t bits = words[w].exchange(0);
            for (int b = 0; bits != 0; ++b, bits >>= 1)
                if (bits & 1u)
                    apply(w * bitsPerWord + b);
        }
    }
    // Window thread, while no editor is open: forget every mark.
    void clear()
    {
        for (auto& w : words)
            w.store(0);
        wakeRequested.store(false);
    }

private:
    // 32-bit words: lock-free atomics on every target, the i686 build included.
    static constexpr int bitsPerWord = 32;
    static constexpr int wordCount = (N + bitsPerWord - 1) / bitsPerWord;
    std::atomic<uint32_t> words[wordCount] = {};
    std::atomic<bool> wakeRequested{false};
};

} // namespace zem

#ifdef _WIN32
#include "framework/editor_window.h"
#endif
