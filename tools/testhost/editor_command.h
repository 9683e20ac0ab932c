#pragma once
// The test host's `editor` command (Windows only: it needs windows to put
// the editor in): opens the plug-in's editor in a frame of the host's, as a
// host does, and saves the editor window's pixels as PNG once it has
// painted; see the usage at the top of testhost.cpp. Answers the process's
// exit status.
namespace testhost {

int editorCommand(const char* path, const char* outPath, const char* scriptPath);

} // namespace testhost
