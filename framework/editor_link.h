#pragma once
// A plug-in's open editor and the safe route of parameter changes to it from
// any thread, for every format that has an editor (through
// framework/editor_owner.h the VST 2.4 and CLAP bases; the VST 3 base directly).
// EditorT is built from (module handle, IEditController*, parent window,
// zem::Scale, whether it offers its zoom menu), offers updateControl(int
// index), windowHandle(), idle() (the host's idle call, in which an X11
// editor reads its events and repaints), scale() and setScale(Scale) (false
// when it cannot take that scale), static width and height (its size at
// 100 %), static screenFactor(NativeWindow parent) (the platform window's,
// framework/platform_window.h), static scaleVariable (the environment
// variable that sets the scale, or null) and static wake(NativeWindow): any
// thread, never blocking, wakes the thread of the editor with that window,
// which then calls applyPendingEditorUpdates; answers whether the wake-up
// was delivered (it fails harmlessly for a window that is gone).
//
// Scale. A format whose host can give the editor another size (CLAP, VST 3,
// LV2) calls enableScaling: the editor then opens at the scale its sources
// give (framework/editor_scale.h: the user's zoom, the host's word, the
// environment, the screen), follows them while open, offers its zoom menu,
// and asks the host's window (IEditorFrame) for room when its size changes.
// Without it (VST 2.4) the panel has its one size at 100 %.
//
// Threads. open, close, idle and applyPending run on the host's
// user-interface thread (the one that pumps the parent window's messages, or
// on Linux calls the editor's idle from its event loop); the editor object
// lives and is used on that thread only. update is the only way a parameter
// change reaches the editor: on the editor's own thread it updates the
// control at once; on any other thread it marks the index and wakes the
// window, whose thread then applies the marks. A foreign thread thus reads
// only atomics of this object and hands a window handle to the window
// system, which fails harmlessly once the window is gone: no interleaving of
// a close with a host's parameter change can reach a freed editor.

#include <atomic>
#include <memory>
#include <new>
#include <thread>

#include "base/platform.h"
#include "framework/editor.h"
#include "framework/editor_scale.h"

namespace zem {

template <class EditorT, int N>
class EditorLink {
public:
    EditorLink() { sources.variable = EditorT::scaleVariable; }
    EditorLink(const EditorLink&) = delete;
    EditorLink& operator=(const EditorLink&) = delete;

    // UI thread, before the first open: the editor scales (see the top).
    void enableScaling() { scaling = true; }

    // UI thread. Opens the editor inside parent, showing every parameter's
    // current value; false when one is open already, the parent is null, or
    // the window system refuses the window (no display, a parent it does not
    // know), which is no editor a host could show. `frame` is the host's
    // window around it, asked for room when the editor's size changes (null
    // where the host cannot be asked); it must outlive the open editor.
    bool open(NativeModule module, IEditController* controller, NativeWindow parent, IEditorFrame* frame = nullptr) {
        if (editor || parent == nullptr) return false;
        // What the host was told before the window existed (get_size).
        const Scale promised = scale();
        pending.clear();
        editorThread.store(std::this_thread::get_id());
        parentWindow = parent;
        screen = -1.0;
        editor.reset(new (std::nothrow) EditorT(module, controller, parent, scaleIn(parent), scaling));
        if (!editor) return false;
        if (editor->windowHandle() == nullptr) {
            editor.reset();
            return false;
        }
        hostFrame = frame;
        // The host's window is on a screen of another scale than the one it
        // was told of: it needs another size.
        if (hostFrame != nullptr && editor->scale() != promised) hostFrame->resizeEditor(width(), height());
        // Published before the controls read their values: a change on
        // another thread from here on is marked and the window woken, one
        // before it is read below.
        editorWindow.store(editor->windowHandle());
        for (int i = 0; i < N; ++i) editor->updateControl(i);
        return true;
    }

    // UI thread. Closes the editor, if one is open.
    void close() {
        // Foreign threads stop waking the window before it goes.
        editorWindow.store(nullptr);
        // The pointer is cleared before the editor is destroyed, so that
        // nothing reaches a half-destroyed editor through it.
        editor.reset();
        pending.clear();
        hostFrame = nullptr;
        parentWindow = nullptr;
    }

    // --- Scale (UI thread) -------------------------------------------------------

    // The scale the open editor is shown at, or, while none is open, the one
    // it would open at on the screen the host's windows open on.
    Scale scale() const {
        if (editor) return editor->scale();
        return scaling ? sources.resolve([] { return EditorT::screenFactor(nullptr); }) : Scale();
    }
    // The editor's size in window pixels at scale().
    int width() const { return scale().pixels(EditorT::width); }
    int height() const { return scale().pixels(EditorT::height); }

    // The host's word on the scale (a factor; 0 or an implausible one: no
    // word), followed by an open editor.
    void setHostFactor(double factor) {
        sources.hostFactor = isPlausibleFactor(factor) ? factor : 0.0;
        follow();
    }
    // The user's zoom in percent, 0 while none was chosen: what the
    // instance's state keeps.
    int zoom() const { return sources.zoomPercent; }
    // A zoom from a loaded state (0 or a size the panel has none of: none),
    // followed by an open editor.
    void setZoom(int percent) {
        sources.zoomPercent = Scale::isPercent(percent) ? percent : 0;
        follow();
    }
    // The user's pick in the zoom menu: kept and shown, unless the host
    // refuses the editor that size; then the panel and the kept zoom stay
    // as they were.
    void chooseZoom(int percent) {
        if (!scaling || !Scale::isPercent(percent)) return;
        const int before = sources.zoomPercent;
        sources.zoomPercent = percent;
        if (!follow()) {
            sources.zoomPercent = before;
            follow();
        }
    }
    // The screen under the open editor changed its scale.
    void screenChanged(double factor) {
        screen = factor;
        follow();
    }

    // UI thread. The open editor; null while none is open.
    EditorT* current() const { return editor.get(); }
    bool isOpen() const { return editor != nullptr; }
    // UI thread: the host's idle call, for the open editor.
    void idle() {
        if (editor) editor->idle();
    }

    // Any thread: makes the open editor's control of parameter `index` show
    // the parameter's value; nothing when no editor is open. Never blocks,
    // allocates or touches the editor from a thread other than its own.
    void update(int index) {
        NativeWindow window = editorWindow.load();
        if (window == nullptr) return;
        if (std::this_thread::get_id() == editorThread.load()) {
            if (editor) editor->updateControl(index);
            return;
        }
        if (pending.mark(index) && !EditorT::wake(window)) pending.wakeFailed();
    }

    // Editor's UI thread (its window procedure or idle call): applies the
    // changes other threads marked.
    void applyPending() {
        pending.drain([this](int index) {
            if (editor) editor->updateControl(index);
        });
    }

private:
    // The scale for an editor inside `parent`: the screen is measured once
    // per open editor, and again only when it reports a change.
    Scale scaleIn(NativeWindow parent) {
        if (!scaling) return Scale();
        return sources.resolve([this, parent] {
            if (screen < 0.0) screen = EditorT::screenFactor(parent);
            return screen;
        });
    }

    // Brings an open editor to the scale its sources give and, when its size
    // changed, asks the host's window for room. False only when the host
    // refused the new size (the editor has it anyway; the caller decides).
    bool follow() {
        if (!editor || !scaling) return true;
        const Scale wanted = scaleIn(parentWindow);
        if (wanted == editor->scale() || !editor->setScale(wanted)) return true;
        return hostFrame == nullptr || hostFrame->resizeEditor(width(), height());
    }

    // The open editor; null while none is open. UI thread only.
    std::unique_ptr<EditorT> editor;
    // Indices changed on other threads, waiting for the editor's thread.
    PendingControlUpdates<N> pending;
    // The open editor's window, for foreign threads; null while none is open.
    std::atomic<NativeWindow> editorWindow{nullptr};
    // The user-interface thread, on which the editor was opened.
    std::atomic<std::thread::id> editorThread{};
    // Whether the editor scales (enableScaling), and where its scale comes
    // from. UI thread only, as everything below.
    bool scaling = false;
    ScaleSources sources;
    // The screen's factor for the open editor; negative until measured.
    double screen = -1.0;
    // The open editor's parent and the host's window around it, if any.
    NativeWindow parentWindow = nullptr;
    IEditorFrame* hostFrame = nullptr;
};

} // namespace zem
