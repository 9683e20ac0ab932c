#pragma once
// Adds the editor window to the plug-in base: the editor opcodes of the
// dispatcher (effEditGetRect, effEditOpen, effEditClose, effEditIdle) and the
// report of the editor's edits to the host (audioMasterAutomate). The open
// editor, the editor's view of the plug-in and the route of parameter changes
// to it from any thread are zem::EditorOwner's (framework/editor_owner.h, over
// framework/editor_link.h, which says what EditorT offers). VST 2.4 offers
// no agreed way for a plug-in to ask its host for another editor size, and
// hosts stretch the windows of plug-ins that do not scale themselves: the
// panel has its one size, EditorT's static `width` and `height` in pixels,
// and no zoom menu.
// zem::NoEditor stands for "no editor on this platform": the host then sees
// no editor flag and no rectangle.
//
// Threads. The editor opcodes come from the host's user-interface thread (the
// one that pumps the parent window's messages, or on Linux calls effEditIdle
// from its event loop); the editor object lives and is used on that thread
// only. Parameter changes arrive on any host thread and reach the editor
// through updateEditorControl alone (see EditorLink::update), so no
// interleaving of effEditClose with setParameter can reach a freed editor.

#include <type_traits>

#include "base/platform.h"
#include "framework/editor.h"
#include "framework/editor_owner.h"
#include "framework/plugin.h"

namespace zem {

// The editor type of a platform without an editor window.
struct NoEditor {
    static constexpr int width = 0;
    static constexpr int height = 0;
    static constexpr const char* scaleVariable = nullptr;
    NoEditor(NativeModule, IEditController*, NativeWindow, Scale, bool) {}
    void updateControl(int) {}
    void idle() {}
    NativeWindow windowHandle() const { return nullptr; }
    Scale scale() const { return Scale(); }
    bool setScale(Scale) { return false; }
    static double screenFactor(NativeWindow) { return 0.0; }
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
            return this->idleEditor() ? 1 : 0;
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
