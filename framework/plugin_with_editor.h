#pragma once
// Adds the editor window to the plug-in base: the editor opcodes of the
// dispatcher (effEditGetRect, effEditOpen, effEditClose, effEditIdle), the ownership of
// the open editor, the editor's view of the plug-in (IEditController) and the
// safe route of parameter changes to it from any thread. EditorT is built
// from (module handle, IEditController*, parent window), offers
// updateControl(int index), windowHandle(), idle() (the host's idle call,
// in which an X11 editor reads its events and repaints), its fixed size as
// static `width` and `height` in pixels, and static wake(NativeWindow): any thread, never
// blocking, wakes the thread of the editor with that window, which then calls
// applyPendingEditorUpdates; answers whether the wake-up was delivered (it
// fails harmlessly for a window that is gone). zem::NoEditor stands for "no editor on this
// platform": the host then sees no editor flag and no rectangle.
//
// Threads. The editor opcodes come from the host's user-interface thread (the
// one that pumps the parent window's messages, or on Linux calls effEditIdle
// from its event loop); the editor object lives and
// is used on that thread only. Parameter changes arrive on any host thread.
// updateEditorControl (below) is the only way they reach the editor: on the
// editor's own thread it updates the control at once; on any other thread it
// marks the index in pendingEditorUpdates and wakes the window
// (EditorT::wake), whose thread then applies the marks. A foreign thread
// thus reads only atomics of this object and hands a window handle to the
// window system, which fails harmlessly once the window is gone: no
// interleaving of effEditClose with setParameter can reach a freed editor.

#include <atomic>
#include <memory>
#include <new>
#include <thread>
#include <type_traits>

#include "base/platform.h"
#include "framework/editor.h"
#include "framework/plugin.h"

namespace zem {

// The editor type of a platform without an editor window.
struct NoEditor {
    NoEditor(NativeModule, IEditController*, NativeWindow) {}
    void updateControl(int) {}
    void idle() {}
    NativeWindow windowHandle() const { return nullptr; }
    static bool wake(NativeWindow) { return false; }
};

template <class Derived, int N, class EditorT>
class PluginWithEditor : public Plugin<Derived, N>, public IEditController {
    using Base = Plugin<Derived, N>;
    static constexpr bool kHasEditor = !std::is_same_v<EditorT, NoEditor>;

public:
    // The open editor; null while no editor window is open. Read and written
    // on the user-interface thread only (see above).
    std::unique_ptr<EditorT> editor;
    // This library's module handle, from which the editor loads its images.
    NativeModule moduleHandle;

    // Host's UI thread. Editor opcodes here, all others to the base.
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
        switch (opcode) {
        case effEditGetRect:
            if constexpr (kHasEditor) return answerRect(ptr);
            return 0;
        case effEditOpen:
            if constexpr (kHasEditor) return openEditor(ptr);
            return 0;
        case effEditClose:
            closeEditor();
            return 1;
        case effEditIdle:
            if (!editor) return 0;
            editor->idle();
            return 1;
        case effClose:
            // An editor left open by the host goes first: its window must not
            // outlive the instance and call the host with a closed record.
            closeEditor();
            return Base::dispatch(opcode, index, value, ptr, opt);
        default:
            return Base::dispatch(opcode, index, value, ptr, opt);
        }
    }

    // Any thread: the host changed parameter `index`. The open editor's
    // control shows it; the sound follows through the parameter set.
    void parameterChanged(int index) override { updateEditorControl(index); }

    // --- The editor's view of the plug-in (its UI thread) --------------------

    Parameter* parameter(int index) override { return this->derived().parameters().at(index); }

    // Stores the value, has the engine take it at the next block even if it
    // did not move, shows it and tells the host (audioMasterAutomate with the
    // stored normalized value).
    void edit(int index, float normalized) override {
        auto& parameters = this->derived().parameters();
        Parameter* p = parameters.at(index);
        if (p == nullptr) return;
        parameters.set(index, normalized);
        parameters.touch(index);
        updateEditorControl(index);
        if (this->hostCallback != nullptr)
            this->hostCallback(&this->effect, audioMasterAutomate, index, 0, nullptr, p->normalized());
    }

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
    PluginWithEditor(AEffect& record, HostCallback host, NativeModule module) noexcept
        : Base(record, host), moduleHandle(module) {
        if (kHasEditor) this->effect.flags |= effFlagsHasEditor;
    }
    ~PluginWithEditor() = default;

private:
    VstIntPtr answerRect(void* ptr) {
        // The panel has one fixed size, so the rectangle is known whether or
        // not the window is open. It is shared by all instances and never
        // written after its initialisation.
        static ERect rect{0, 0, static_cast<VstInt16>(EditorT::height), static_cast<VstInt16>(EditorT::width)};
        if (!ptr) return 0;
        *static_cast<ERect**>(ptr) = &rect;
        return 1;
    }

    VstIntPtr openEditor(void* parent) {
        // One window per instance: a second open leaves the first alone.
        if (editor || !parent) return 0;
        pendingEditorUpdates.clear();
        editorThread.store(std::this_thread::get_id());
        auto* created = new (std::nothrow) EditorT(moduleHandle, this, static_cast<NativeWindow>(parent));
        if (!created) return 0;
        editor.reset(created);
        // A window the system refused (no display, a parent it does not
        // know) is no editor the host could show: say so.
        if (editor->windowHandle() == nullptr) {
            editor.reset();
            return 0;
        }
        // Published before the controls read their values: a change on
        // another thread from here on is marked and the window woken, one
        // before it is read below.
        editorWindow.store(editor->windowHandle());
        // A fresh window shows the current value of every parameter.
        for (int i = 0; i < N; ++i) editor->updateControl(i);
        return 1;
    }

    void closeEditor() {
        // Foreign threads stop waking the window before it goes.
        editorWindow.store(nullptr);
        // The pointer is cleared before the editor is destroyed, so that
        // nothing reaches a half-destroyed editor through it.
        editor.reset();
        pendingEditorUpdates.clear();
    }

    // Indices changed on other threads, waiting for the editor's thread.
    PendingControlUpdates<N> pendingEditorUpdates;
    // The open editor's window, for foreign threads; null while none is open.
    std::atomic<NativeWindow> editorWindow{nullptr};
    // The user-interface thread, on which the editor was opened.
    std::atomic<std::thread::id> editorThread{};
};

} // namespace zem
