#pragma once
// The open editor of a plug-in instance, as every plug-in format holds it:
// its ownership, the editor's view of the plug-in (IEditController, but for
// edit(), whose report to the host is the format's) and the safe route of
// parameter changes to it from any thread. zem::PluginWithEditor (VST 2.4)
// and the CLAP base build on it. EditorT is built from (module handle,
// IEditController*, parent window) and offers updateControl(int index),
// windowHandle() and static wake(NativeWindow) (see plugin_with_editor.h).
// Derived provides parameters(): its zem::ParameterSet<N>.
//
// Threads. openEditor and closeEditor run on the host's user-interface
// thread; the editor object lives and is used on that thread only.
// Parameter changes arrive on any host thread. updateEditorControl is the
// only way they reach the editor: on the editor's own thread it updates the
// control at once; on any other thread it marks the index in
// pendingEditorUpdates and wakes the window (EditorT::wake), whose thread
// then applies the marks. A foreign thread thus reads only atomics of this
// object and hands a window handle to the window system, which fails
// harmlessly once the window is gone: no interleaving of a close with a
// parameter change can reach a freed editor.

#include <atomic>
#include <memory>
#include <new>
#include <thread>

#include "base/platform.h"
#include "framework/editor.h"

namespace zem {

template <class Derived, int N, class EditorT>
class EditorOwner : public IEditController {
public:
    // The open editor; null while no editor window is open. Read and written
    // on the user-interface thread only (see above).
    std::unique_ptr<EditorT> editor;
    // This library's module handle, from which the editor loads its images.
    NativeModule moduleHandle;

    Parameter* parameter(int index) override { return static_cast<Derived&>(*this).parameters().at(index); }

    // Editor's UI thread (its window procedure): applies the changes other
    // threads marked.
    void applyPendingEditorUpdates() override {
        pendingEditorUpdates.drain([this](int index) {
            if (editor) editor->updateControl(index);
        });
    }

    // Any thread: makes the open editor's control of parameter `index` show
    // the parameter's value; nothing when no editor is open. Never blocks,
    // allocates or touches the editor from a thread other than its own.
    void updateEditorControl(int index) {
        NativeWindow window = editorWindow.load();
        if (window == nullptr) return;
        if (std::this_thread::get_id() == editorThread.load()) {
            if (editor) editor->updateControl(index);
            return;
        }
        if (pendingEditorUpdates.mark(index) && !EditorT::wake(window)) pendingEditorUpdates.wakeFailed();
    }

protected:
    explicit EditorOwner(NativeModule module) noexcept : moduleHandle(module) {}
    ~EditorOwner() = default;

    // User-interface thread. Opens the editor in `parent`; false when one is
    // open already, the parent is null or the window system refused the window.
    bool openEditor(NativeWindow parent) {
        // One window per instance: a second open leaves the first alone.
        if (editor || !parent) return false;
        pendingEditorUpdates.clear();
        editorThread.store(std::this_thread::get_id());
        auto* created = new (std::nothrow) EditorT(moduleHandle, this, static_cast<NativeWindow>(parent));
        if (!created) return false;
        editor.reset(created);
        // A window the system refused (no display, a parent it does not
        // know) is no editor the host could show: say so.
        if (editor->windowHandle() == nullptr) {
            editor.reset();
            return false;
        }
        // Published before the controls read their values: a change on
        // another thread from here on is marked and the window woken, one
        // before it is read below.
        editorWindow.store(editor->windowHandle());
        // A fresh window shows the current value of every parameter.
        for (int i = 0; i < N; ++i) editor->updateControl(i);
        return true;
    }

    // User-interface thread. Closes the open editor, if any.
    void closeEditor() {
        // Foreign threads stop waking the window before it goes.
        editorWindow.store(nullptr);
        // The pointer is cleared before the editor is destroyed, so that
        // nothing reaches a half-destroyed editor through it.
        editor.reset();
        pendingEditorUpdates.clear();
    }

private:
    // Indices changed on other threads, waiting for the editor's thread.
    PendingControlUpdates<N> pendingEditorUpdates;
    // The open editor's window, for foreign threads; null while none is open.
    std::atomic<NativeWindow> editorWindow{nullptr};
    // The user-interface thread, on which the editor was opened.
    std::atomic<std::thread::id> editorThread{};
};

} // namespace zem
