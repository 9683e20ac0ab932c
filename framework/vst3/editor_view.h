#pragma once
// A plug-in's editor as a VST 3 view: attached to the host's window (an HWND
// on Windows, an X11 window id on Linux), it opens the plug-in's editor
// inside it, and removed, it closes it. Its size is the editor's at its
// scale: the host's content scale factor is the editor's host word
// (framework/editor_scale.h), and when the editor's size changes while open
// the view asks the frame to resize it (IPlugFrame::resizeView). The host
// cannot drag it to another size. On Linux the editor
// lives on the host's run loop: the view asks the frame for IRunLoop and
// registers a timer whose calls are the editor's idle calls (it reads its
// window's events and repaints in them). The view knows the plug-in only as
// an EditorHost and holds a reference to it, so the plug-in outlives every
// view it made.
//
// Threads: every call, the host's and the timer's, comes on the host's
// user-interface thread; addRef and release from any thread.

#include <atomic>

#include "base/platform.h"
#include "framework/editor.h"
#include "framework/vst3/view.h"

namespace zem::vst3 {

// What the view asks of its plug-in, on the user-interface thread.
class EditorHost {
public:
    // The plug-in object, kept alive while a view exists.
    virtual FUnknown* hostObject() = 0;
    // Opens the editor inside `parent`, whose host window `frame` is asked
    // for another size when the editor's changes; false when the window
    // system refuses it or an editor is open already.
    virtual bool openEditor(NativeWindow parent, zem::IEditorFrame& frame) = 0;
    virtual void closeEditor() = 0;
    // The editor's idle call.
    virtual void idleEditor() = 0;
    // The editor's size in window pixels, open or not.
    virtual ViewRect editorSize() = 0;
    // The host's scale for the editor (2 = 200 %).
    virtual void setEditorHostFactor(double factor) = 0;

protected:
    ~EditorHost() = default;
};

class EditorView final : public IPlugView,
                         public IPlugViewContentScaleSupport,
                         public ITimerHandler,
                         private zem::IEditorFrame {
public:
    // The view of `host`'s editor; one reference, the creator's.
    explicit EditorView(EditorHost& host) noexcept;
    EditorView(const EditorView&) = delete;
    EditorView& operator=(const EditorView&) = delete;

    tresult ZEM_VST3_CALL queryInterface(const TUID iid, void** obj) override;
    uint32 ZEM_VST3_CALL addRef() override;
    uint32 ZEM_VST3_CALL release() override;

    // This platform's window type only.
    tresult ZEM_VST3_CALL isPlatformTypeSupported(FIDString type) override;
    // Refused while attached, for another platform's type, a null parent or
    // a window the editor cannot open in.
    tresult ZEM_VST3_CALL attached(void* parent, FIDString type) override;
    tresult ZEM_VST3_CALL removed() override;
    // Keys and the wheel reach the editor's window directly; not taken here.
    tresult ZEM_VST3_CALL onWheel(float distance) override;
    tresult ZEM_VST3_CALL onKeyDown(char16 key, int16 keyCode, int16 modifiers) override;
    tresult ZEM_VST3_CALL onKeyUp(char16 key, int16 keyCode, int16 modifiers) override;
    // The editor's size; onSize and checkSizeConstraint hold a host to it.
    tresult ZEM_VST3_CALL getSize(ViewRect* size) override;
    tresult ZEM_VST3_CALL onSize(ViewRect* newSize) override;
    tresult ZEM_VST3_CALL onFocus(TBool state) override;
    // Kept (one reference) until replaced or the view goes.
    tresult ZEM_VST3_CALL setFrame(IPlugFrame* frame) override;
    tresult ZEM_VST3_CALL canResize() override;
    tresult ZEM_VST3_CALL checkSizeConstraint(ViewRect* rect) override;

    // Refused for a factor that is no plausible scale.
    tresult ZEM_VST3_CALL setContentScaleFactor(ScaleFactor factor) override;

    // The run loop's timer: the editor's idle call.
    void ZEM_VST3_CALL onTimer() override;

private:
    ~EditorView();
    // The editor's new size: the frame is asked to resize the view.
    bool resizeEditor(int width, int height) override;
    // Registers or unregisters the idle timer with the frame's run loop.
    void startTimer();
    void stopTimer();

    EditorHost& host;
    std::atomic<uint32> references{1};
    IPlugFrame* frame = nullptr;   // the host's frame; one reference held
    IRunLoop* runLoop = nullptr;   // the frame's run loop while the timer runs; one reference held
    bool isAttached = false;
};

} // namespace zem::vst3
