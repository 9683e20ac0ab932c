#pragma once
// Adds the editor window to the plug-in base: the editor opcodes of the
// dispatcher (effEditGetRect, effEditOpen, effEditClose, effEditIdle), the
// report of the editor's edits to the host, and through zem::EditorOwner
// (framework/editor_owner.h) the ownership of the open editor, the editor's
// view of the plug-in (IEditController) and the safe route of parameter
// changes to it from any thread. EditorT is built
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
#include "framework/editor_owner.h"
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
class PluginWithEditor : public Plugin<Derived, N>, public EditorOwner<Derived, N, EditorT> {
    using Base = Plugin<Derived, N>;
    using Owner = EditorOwner<Derived, N, EditorT>;
    static constexpr bool kHasEditor = !std::is_same_v<EditorT, NoEditor>;

public:
    using Owner::editor;
    using Owner::updateEditorControl;

    // Host's UI thread. Editor opcodes here, all others to the base.
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
        switch (opcode) {
        case effEditGetRect:
            if constexpr (kHasEditor) return answerRect(ptr);
            return 0;
        case effEditOpen:
            if constexpr (kHasEditor) return this->openEditor(static_cast<NativeWindow>(ptr)) ? 1 : 0;
            return 0;
        case effEditClose:
            this->closeEditor();
            return 1;
        case effEditIdle:
            if (!editor) return 0;
            editor->idle();
            return 1;
        case effClose:
            // An editor left open by the host goes first: its window must not
            // outlive the instance and call the host with a closed record.
            this->closeEditor();
            return Base::dispatch(opcode, index, value, ptr, opt);
        default:
            return Base::dispatch(opcode, index, value, ptr, opt);
        }
    }

    // Any thread: the host changed parameter `index`. The open editor's
    // control shows it; the sound follows through the parameter set.
    void parameterChanged(int index) override { updateEditorControl(index); }

    // --- The editor's view of the plug-in (its UI thread) --------------------

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

protected:
    PluginWithEditor(AEffect& record, HostCallback host, NativeModule module) noexcept
        : Base(record, host), Owner(module) {
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
};

} // namespace zem
