#include "framework/vst3/editor_view.h"

#include <cstring>

namespace zem::vst3 {

namespace {

#ifdef _WIN32
constexpr const char* kPlatformType = kPlatformTypeHWND;
#else
constexpr const char* kPlatformType = kPlatformTypeX11EmbedWindowID;
#endif
// How often the run loop calls the editor's idle: about 60 times a second,
// the rate at which a drag looks smooth.
constexpr uint64 kIdleMilliseconds = 16;

} // namespace

EditorView::EditorView(EditorHost& host) noexcept : host(host) {
    host.hostObject()->addRef();
}

EditorView::~EditorView() {
    removed();
    setFrame(nullptr);
    host.hostObject()->release();
}

tresult ZEM_VST3_CALL EditorView::queryInterface(const TUID iid, void** obj) {
    if (obj == nullptr) return kInvalidArgument;
    void* found = nullptr;
    if (sameUid(iid, FUnknown::iid) || sameUid(iid, IPlugView::iid))
        found = static_cast<IPlugView*>(this);
    else if (sameUid(iid, IPlugViewContentScaleSupport::iid))
        found = static_cast<IPlugViewContentScaleSupport*>(this);
    else if (sameUid(iid, ITimerHandler::iid))
        found = static_cast<ITimerHandler*>(this);
    *obj = found;
    if (found == nullptr) return kNoInterface;
    addRef();
    return kResultOk;
}

uint32 ZEM_VST3_CALL EditorView::addRef() { return ++references; }

uint32 ZEM_VST3_CALL EditorView::release() {
    const uint32 left = --references;
    if (left == 0) delete this;
    return left;
}

tresult ZEM_VST3_CALL EditorView::isPlatformTypeSupported(FIDString type) {
    if (type == nullptr) return kInvalidArgument;
    return std::strcmp(type, kPlatformType) == 0 ? kResultTrue : kResultFalse;
}

tresult ZEM_VST3_CALL EditorView::attached(void* parent, FIDString type) {
    if (parent == nullptr || type == nullptr) return kInvalidArgument;
    if (isAttached || std::strcmp(type, kPlatformType) != 0) return kResultFalse;
    if (!host.openEditor(static_cast<NativeWindow>(parent), *this)) return kResultFalse;
    isAttached = true;
    startTimer();
    return kResultOk;
}

tresult ZEM_VST3_CALL EditorView::removed() {
    if (!isAttached) return kResultFalse;
    stopTimer();
    host.closeEditor();
    isAttached = false;
    return kResultOk;
}

tresult ZEM_VST3_CALL EditorView::onWheel(float) { return kResultFalse; }

tresult ZEM_VST3_CALL EditorView::onKeyDown(char16, int16, int16) { return kResultFalse; }

tresult ZEM_VST3_CALL EditorView::onKeyUp(char16, int16, int16) { return kResultFalse; }

tresult ZEM_VST3_CALL EditorView::getSize(ViewRect* size) {
    if (size == nullptr) return kInvalidArgument;
    *size = host.editorSize();
    return kResultOk;
}

tresult ZEM_VST3_CALL EditorView::onSize(ViewRect* newSize) {
    if (newSize == nullptr) return kInvalidArgument;
    const ViewRect size = host.editorSize();
    const bool same = newSize->right - newSize->left == size.right && newSize->bottom - newSize->top == size.bottom;
    return same ? kResultOk : kResultFalse;
}

tresult ZEM_VST3_CALL EditorView::onFocus(TBool) { return kResultOk; }

tresult ZEM_VST3_CALL EditorView::setFrame(IPlugFrame* newFrame) {
    if (newFrame == frame) return kResultOk;
    if (newFrame != nullptr) newFrame->addRef();
    // The timer belongs to the old frame's run loop.
    stopTimer();
    if (frame != nullptr) frame->release();
    frame = newFrame;
    if (isAttached) startTimer();
    return kResultOk;
}

tresult ZEM_VST3_CALL EditorView::canResize() { return kResultFalse; }

tresult ZEM_VST3_CALL EditorView::checkSizeConstraint(ViewRect* rect) {
    if (rect == nullptr) return kInvalidArgument;
    const ViewRect size = host.editorSize();
    rect->right = rect->left + size.right;
    rect->bottom = rect->top + size.bottom;
    return kResultTrue;
}

tresult ZEM_VST3_CALL EditorView::setContentScaleFactor(ScaleFactor factor) {
    if (!zem::isPlausibleFactor(factor)) return kResultFalse;
    host.setEditorHostFactor(factor);
    return kResultTrue;
}

bool EditorView::resizeEditor(int width, int height) {
    if (frame == nullptr) return false;
    ViewRect size{0, 0, width, height};
    return frame->resizeView(this, &size) == kResultTrue;
}

void ZEM_VST3_CALL EditorView::onTimer() {
    if (isAttached) host.idleEditor();
}

void EditorView::startTimer() {
#ifndef _WIN32
    // Windows delivers the window's messages through the host's own loop.
    if (runLoop != nullptr || frame == nullptr) return;
    void* found = nullptr;
    if (frame->queryInterface(IRunLoop::iid.bytes, &found) != kResultOk || found == nullptr) return;
    runLoop = static_cast<IRunLoop*>(found);
    if (runLoop->registerTimer(this, kIdleMilliseconds) != kResultOk) {
        runLoop->release();
        runLoop = nullptr;
    }
#endif
}

void EditorView::stopTimer() {
    if (runLoop == nullptr) return;
    runLoop->unregisterTimer(this);
    runLoop->release();
    runLoop = nullptr;
}

} // namespace zem::vst3
