#pragma once
// The test host's `editor` command: opens the plug-in's editor in a frame of
// the host's, as a host does, and saves the editor window's pixels as PNG
// once it has painted; see the usage at the top of testhost.cpp. The command
// itself is portable (editor_command.cpp); putting the editor in a window
// and reading it back is the platform's half (editor_frame_win32.cpp: a
// Win32 frame; editor_frame_x11.cpp: an X11 frame on the display DISPLAY
// names).

#include "gfx/bitmap.h"
#include "tools/testhost/plugin_library.h"

namespace testhost {

// Answers the process's exit status.
int editorCommand(const char* path, const char* outPath, const char* scriptPath);

// A host calls effEditIdle from a timer while the editor is open, and an
// editor may draw in it (an X11 editor does all its painting there): the
// picture is taken after a few of them.
constexpr int kEditorIdleCalls = 3;

// The platform's half: opens the plug-in's editor in a new frame whose
// client area is width x height pixels (grown to the editor's window if that
// is larger), sends kEditorIdleCalls idle calls, lets everything paint, reads
// the editor window's pixels into `picture`, then closes the editor and the
// frame. On failure says why on stderr and answers false.
bool captureEditor(LoadedPlugin& plugin, int width, int height, LICE_MemBitmap& picture);

} // namespace testhost
