#pragma once
// The editor framework: what a control sees of its editor (IEditor), what an
// editor sees of its plug-in (IEditController), the mouse routing shared by
// every editor, the hand-over of parameter changes from foreign threads to the
// window's thread. The editor in its window, zem::Editor<N>, is
// framework/editor_window.h.

#include <atomic>
#include <cstdint>

#include "base/platform.h"
#include "framework/control.h"
#include "framework/index_set.h"

namespace zem {

// The editor as its controls see it. Every operation runs on the editor's
// user-interface thread.
class IEditor {
public:
    virtual ~IEditor() = default;
    // Asks for a repaint of r (window client coordinates); the repaint comes
    // later, when the window system asks the window to paint.
    virtual void invalidateRect(const PixelRect& r) = 0;
    // Sends all further mouse input to c, wherever the pointer is, until
    // releaseMouse.
    virtual void captureMouse(Control* c) = 0;
    virtual void releaseMouse() = 0;
    // The control bound to parameterIndex has a new state: the editor writes
    // it into the parameter, tells the plug-in and the host.
    virtual void controlChanged(int parameterIndex) = 0;
};

class Parameter;

// The plug-in as its editor sees it: the parameters it shows and where the
// user's edits go. Every operation runs on the editor's user-interface thread.
class IEditController {
public:
    // The parameter with index `index`, or null for an index it does not have.
    virtual Parameter* parameter(int index) = 0;
    // The user set parameter `index` to `normalized` in the editor: store it,
    // have the sound follow and tell the host. Called for every edit, also one
    // that leaves the value where it was.
    virtual void edit(int index, float normalized) = 0;
    // The editor's window was woken for changes other threads made: bring its
    // controls up to date with them.
    virtual void applyPendingEditorUpdates() = 0;
    // The user picked a size in the editor's zoom menu (percent, one of
    // zem::Scale::kPercents). A format whose host can give the editor
    // another size keeps the choice with the instance and shows the panel at
    // it; the default, for one that cannot, ignores it.
    virtual void zoomChosen(int percent) { (void)percent; }
    // The screen under the editor's window changed its scale (factor 1 is
    // 96 DPI). A format whose editor follows the screen shows the panel at
    // the new scale; the default ignores it.
    virtual void screenFactorChanged(double factor) { (void)factor; }

protected:
    // Never deleted through this interface.
    ~IEditController() = default;
};

// The host's window around an open editor, as the editor's owner asks it for
// another size (CLAP's request_resize, VST 3's resizeView, LV2's ui:resize).
// UI thread.
class IEditorFrame {
public:
    // The editor now is width x height window pixels: make room for it.
    // Answers whether the host agreed.
    virtual bool resizeEditor(int width, int height) = 0;

protected:
    ~IEditorFrame() = default;
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
// editor's: any thread marks, the window's thread drains. The set lives in the
// plug-in, not in the editor, so that marking never touches an editor that may
// be closing at that moment.
template <int N>
class PendingControlUpdates {
public:
    // Any thread. Marks index (ignored outside 0..N-1) and answers whether the
    // caller must wake the window's thread: true only for the first mark since
    // the last drain began, so a burst of automation posts one message, not
    // one per value.
    bool mark(int index) {
        if (index < 0 || index >= N) return false;
        indices.mark(index);
        return !wakeRequested.exchange(true);
    }
    // Any thread. The wake-up could not be delivered: let the next mark try.
    void wakeFailed() { wakeRequested.store(false); }
    // Window thread. Calls apply(index) for every marked index, lowest first,
    // and unmarks them. A mark that lands while draining is either applied now
    // or asks for another wake-up: wakeRequested is cleared before the indices
    // are read.
    template <class Apply>
    void drain(Apply&& apply) {
        wakeRequested.store(false);
        indices.drain(apply);
    }
    // Window thread, while no editor is open: forget every mark.
    void clear() {
        indices.clear();
        wakeRequested.store(false);
    }

private:
    AtomicIndexSet<N> indices;
    std::atomic<bool> wakeRequested{false};
};

} // namespace zem
