#pragma once
// The VST 3 editor interfaces: the plug-in's view in a window of the host's
// (IPlugView), the scale the host asks of it (IPlugViewContentScaleSupport),
// the host's frame around it (IPlugFrame) and, on Linux, where
// there is no system event loop for a plug-in to use, the host's run loop
// (IRunLoop), which calls a plug-in's timer and file handlers on the
// user-interface thread. See framework/vst3/base.h for how these are
// declared.

#include "framework/vst3/base.h"

namespace zem::vst3 {

// The window types a view is attached to, by name.
inline constexpr const char* kPlatformTypeHWND = "HWND";                         // a Win32 HWND
inline constexpr const char* kPlatformTypeX11EmbedWindowID = "X11EmbedWindowID"; // an X11 window id
// The one view an edit controller's createView is asked for.
inline constexpr const char* kEditorViewType = "editor";

struct ViewRect {
    int32 left;
    int32 top;
    int32 right;
    int32 bottom;
};

class IPlugFrame;

// The plug-in's view, on the host's user-interface thread: attached to the
// host's window, told about size, focus and keys, removed again.
class IPlugView : public FUnknown {
public:
    virtual tresult ZEM_VST3_CALL isPlatformTypeSupported(FIDString type) = 0;
    // `parent` is the host's window of platform type `type`.
    virtual tresult ZEM_VST3_CALL attached(void* parent, FIDString type) = 0;
    virtual tresult ZEM_VST3_CALL removed() = 0;
    virtual tresult ZEM_VST3_CALL onWheel(float distance) = 0;
    virtual tresult ZEM_VST3_CALL onKeyDown(char16 key, int16 keyCode, int16 modifiers) = 0;
    virtual tresult ZEM_VST3_CALL onKeyUp(char16 key, int16 keyCode, int16 modifiers) = 0;
    virtual tresult ZEM_VST3_CALL getSize(ViewRect* size) = 0;
    virtual tresult ZEM_VST3_CALL onSize(ViewRect* newSize) = 0;
    virtual tresult ZEM_VST3_CALL onFocus(TBool state) = 0;
    virtual tresult ZEM_VST3_CALL setFrame(IPlugFrame* frame) = 0;
    virtual tresult ZEM_VST3_CALL canResize() = 0;
    virtual tresult ZEM_VST3_CALL checkSizeConstraint(ViewRect* rect) = 0;
    static constexpr Uid iid = makeUid(0x5BC32507, 0xD06049EA, 0xA6151B52, 0x2B755B29);
};

// Asked of a view by hosts that tell it the scale of its content (where the
// system does not tell the plug-in, as on Windows, or to zoom it): 2 for
// 200 %. Host's user-interface thread, before or after attached.
class IPlugViewContentScaleSupport : public FUnknown {
public:
    using ScaleFactor = float;
    virtual tresult ZEM_VST3_CALL setContentScaleFactor(ScaleFactor factor) = 0;
    static constexpr Uid iid = makeUid(0x65ED9690, 0x8AC44525, 0x8AADEF7A, 0x72EA703F);
};

// The host's window around a view. resizeView asks it for the view's new
// size; the host answers with the view's onSize.
class IPlugFrame : public FUnknown {
public:
    virtual tresult ZEM_VST3_CALL resizeView(IPlugView* view, ViewRect* newSize) = 0;
    static constexpr Uid iid = makeUid(0x367FAF01, 0xAFA94693, 0x8D4DA2A0, 0xED0882A3);
};

// --- Linux: the host's run loop (asked of the frame) -------------------------

// Called when file descriptor `fd` is ready.
class IEventHandler : public FUnknown {
public:
    virtual void ZEM_VST3_CALL onFDIsSet(int fd) = 0;
    static constexpr Uid iid = makeUid(0x561E65C9, 0x13A0496F, 0x813A2C35, 0x654D7983);
};

// Called every interval of a registered timer.
class ITimerHandler : public FUnknown {
public:
    virtual void ZEM_VST3_CALL onTimer() = 0;
    static constexpr Uid iid = makeUid(0x10BDD94F, 0x41424774, 0x821FAD8F, 0xECA72CA9);
};

class IRunLoop : public FUnknown {
public:
    virtual tresult ZEM_VST3_CALL registerEventHandler(IEventHandler* handler, int fd) = 0;
    virtual tresult ZEM_VST3_CALL unregisterEventHandler(IEventHandler* handler) = 0;
    virtual tresult ZEM_VST3_CALL registerTimer(ITimerHandler* handler, uint64 milliseconds) = 0;
    virtual tresult ZEM_VST3_CALL unregisterTimer(ITimerHandler* handler) = 0;
    static constexpr Uid iid = makeUid(0x18C35366, 0x97764F1A, 0x9C5B8385, 0x7A871389);
};

static_assert(sizeof(ViewRect) == 16, "four 32-bit edges");

} // namespace zem::vst3
