// Platforms whose editors have no window of their own to wake: marked
// changes wait until the editor's thread drains them itself.
#include "framework/editor.h"

namespace zem {

bool wakeEditorWindow(NativeWindow) { return false; }

} // namespace zem
