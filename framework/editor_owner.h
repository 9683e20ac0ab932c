#pragma once
// The open editor of a plug-in instance as a plug-in base holds it: the
// editor's view of the plug-in (IEditController, but for edit(), whose report
// to the host is the format's) over the editor link (framework/editor_link.h:
// ownership, and the safe route of parameter changes from any thread, with
// what EditorT must offer). zem::PluginWithEditor (VST 2.4) and the CLAP base
// build on it. Derived provides parameters(): its zem::ParameterSet<N>.
// The editor's scale and zoom menu are the link's: a base whose format lets
// the editor change its size (CLAP) enables them and hands the link the
// host's word and the instance's saved zoom.
// Threads as in editor_link.h: opening, closing, idling and the editor's
// calls on the host's user-interface thread; updateEditorControl from any.

#include "base/platform.h"
#include "framework/editor.h"
#include "framework/editor_link.h"

namespace zem {

template <class Derived, int N, class EditorT>
class EditorOwner : public IEditController {
public:
    // UI thread. The open editor; null while no editor window is open.
    EditorT* editor() const { return link.current(); }
    // This library's module handle, from which the editor loads its images.
    NativeModule moduleHandle;

    Parameter* parameter(int index) override { return static_cast<Derived&>(*this).parameters().at(index); }

    // Editor's UI thread: applies the changes other threads marked.
    void applyPendingEditorUpdates() override { link.applyPending(); }
    // Editor's UI thread: the zoom menu's pick and the screen's new scale go
    // to the link, which ignores them unless scaling is enabled.
    void zoomChosen(int percent) override { link.chooseZoom(percent); }
    void screenFactorChanged(double factor) override { link.screenChanged(factor); }

    // Any thread: makes the open editor's control of parameter `index` show
    // the parameter's value; nothing when no editor is open.
    void updateEditorControl(int index) { link.update(index); }

protected:
    explicit EditorOwner(NativeModule module) noexcept : moduleHandle(module) {}
    ~EditorOwner() = default;

    // UI thread. Opens the editor in `parent` (inside the host's `frame`, if
    // it can be asked for another size); false when one is open already, the
    // parent is null or the window system refused the window.
    bool openEditor(NativeWindow parent, IEditorFrame* frame = nullptr) {
        return link.open(moduleHandle, this, parent, frame);
    }
    // UI thread. Closes the open editor, if any.
    void closeEditor() { link.close(); }
    // UI thread: the host's idle call; false when no editor is open.
    bool idleEditor() {
        if (!link.isOpen()) return false;
        link.idle();
        return true;
    }
    // UI thread: the editor's scale and zoom (framework/editor_link.h).
    EditorLink<EditorT, N>& editorLink() { return link; }
    const EditorLink<EditorT, N>& editorLink() const { return link; }

private:
    EditorLink<EditorT, N> link;
};

} // namespace zem
