// Waking an editor's window on Windows: a message posted to it, which its
// window procedure handles on the window's own thread.
#include "framework/editor.h"
#include "framework/editor_window.h"

namespace zem {

bool wakeEditorWindow(NativeWindow window) {
    return window != nullptr && PostMessageA(static_cast<HWND>(window), editorUpdateMessage(), 0, 0) != 0;
}

} // namespace zem
