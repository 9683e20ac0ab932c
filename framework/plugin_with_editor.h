#pragma once
// Adds the editor window to the plug-in base: the editor opcodes of the
// dispatcher (effEditGetRect, effEditOpen, effEditClose, effEditIdle) and
// the editor's view of the plug-in (IEditController); the open editor and the
// route of parameter changes to it from any thread are the editor link's
// (framework/editor_link.h, which also says what EditorT offers; here it
// also gives its fixed size as static `width` and `height` in pixels).
// zem::NoEditor stands for "no editor on this platform": the host then sees
// no editor flag and no rectangle.
//
// Threads. The editor opcodes come from the host's user-interface thread (the
// one that pumps the parent window's messages, or on Linux calls effEditIdle
// from its event loop). Parameter changes arrive on any host thread and reach
// the editor through updateEditorControl alone (see EditorLink::update).

#include <atomic>
#include <memory>
#include <new>
#include <thread>
#include <type_traits>

#include "base/platform.h"
#include "framework/editor.h"
#include "framework/editor_link.h"
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
    // UI thread. The open editor; null while no editor window is open.
    EditorT* editor() const { return link.current(); }
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
            if (!link.isOpen()) return 0;
            link.idle();
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
    void applyPendingEditorUpdates() override { link.applyPending(); }

    // Any thread: makes the open editor's control of parameter `index` show
    // the parameter's value; nothing when no editor is open. Never blocks,
    // allocates or touches the editor from a thread other than its own.
    void updateEditorControl(int index) { link.update(index); }

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

    // One window per instance: a second open leaves the first alone.
    VstIntPtr openEditor(void* parent) {
        return link.open(moduleHandle, this, static_cast<NativeWindow>(parent)) ? 1 : 0;
    }

    void closeEditor() { link.close(); }

    EditorLink<EditorT, N> link;
};

} // namespace zem
