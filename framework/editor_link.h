#pragma once
// A plug-in's open editor and the safe route of parameter changes to it from
// any thread, for every format that has an editor (through
// framework/editor_owner.h the VST 2.4 and CLAP bases; the VST 3 plug-in).
// EditorT is built from (module handle, IEditController*, parent window),
// offers updateControl(int index), windowHandle(), idle() (the host's idle
// call, in which an X11 editor reads its events and repaints) and static
// wake(NativeWindow): any thread, never blocking, wakes the thread of the
// editor with that window, which then calls applyPendingEditorUpdates;
// answers whether the wake-up was delivered (it fails harmlessly for a
// window that is gone).
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

namespace zem {

template <class EditorT, int N>
class EditorLink {
public:
    EditorLink() = default;
    EditorLink(const EditorLink&) = delete;
    EditorLink& operator=(const EditorLink&) = delete;

    // UI thread. Opens the editor inside parent, showing every parameter's
    // current value; false when one is open already, the parent is null, or
    // the window system refuses the window (no display, a parent it does not
    // know), which is no editor a host could show.
    bool open(NativeModule module, IEditController* controller, NativeWindow parent) {
        if (editor || parent == nullptr) return false;
        pending.clear();
        editorThread.store(std::this_thread::get_id());
        editor.reset(new (std::nothrow) EditorT(module, controller, parent));
        if (!editor) return false;
        if (editor->windowHandle() == nullptr) {
            editor.reset();
            return false;
        }
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
    // The open editor; null while none is open. UI thread only.
    std::unique_ptr<EditorT> editor;
    // Indices changed on other threads, waiting for the editor's thread.
    PendingControlUpdates<N> pending;
    // The open editor's window, for foreign threads; null while none is open.
    std::atomic<NativeWindow> editorWindow{nullptr};
    // The user-interface thread, on which the editor was opened.
    std::atomic<std::thread::id> editorThread{};
};

} // namespace zem
