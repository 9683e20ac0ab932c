#include "tools/testhost/editor_command.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

#include "tools/testhost/plugin_library.h"
#include "tools/testhost/script.h"
#include "tools/testhost/window_capture.h"

namespace testhost {

namespace {

// Script times become frames at this rate; only the order of the parameter
// changes matters to the picture.
constexpr double kScriptRate = 44100.0;
// Asked of a plug-in that answers no editor rectangle before its editor opens;
// the frame grows to the editor's window afterwards anyway.
constexpr int kFallbackEditorWidth = 640;
constexpr int kFallbackEditorHeight = 480;
// A host calls effEditIdle from a timer while the editor is open, and an
// editor may draw in it: the picture is taken after a few of them.
constexpr int kIdleCalls = 3;

// Grows the frame until its client area holds the whole editor window, which
// would otherwise be clipped, and its hidden part missing from the picture.
void fitFrame(HWND frame, HWND editor) {
    RECT inner{};
    GetWindowRect(editor, &inner);
    MapWindowPoints(nullptr, frame, reinterpret_cast<POINT*>(&inner), 2);
    RECT client{};
    GetClientRect(frame, &client);
    if (inner.right <= client.right && inner.bottom <= client.bottom) return;
    RECT outer{0, 0, std::max(inner.right, client.right), std::max(inner.bottom, client.bottom)};
    AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongA(frame, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongA(frame, GWL_EXSTYLE)));
    SetWindowPos(frame, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool singleColour(LICE_IBitmap& image) {
    const uint32_t first = image.pixels()[0] & 0x00FFFFFFu;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixels()[y * image.rowSpan() + x] & 0x00FFFFFFu) != first) return false;
    return true;
}

} // namespace

int editorCommand(const char* path, const char* outPath, const char* scriptPath) {
    Script script;
    std::string error;
    if (scriptPath && !readScript(scriptPath, kScriptRate, script, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    LoadedPlugin plugin;
    if (!load(path, plugin)) return 1;
    AEffect* e = plugin.effect;
    if (!(e->flags & effFlagsHasEditor)) {
        std::fprintf(stderr, "%s has no editor\n", path);
        unload(plugin);
        return 1;
    }
    if (!resolveNames(e, script, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        unload(plugin);
        return 1;
    }
    int applied = 0, ignored = 0;
    for (const Command& c : script.commands) {
        if (!c.isParameter) {
            ++ignored;
            continue;
        }
        e->setParameter(e, c.index, c.value);
        ++applied;
    }

    int width = kFallbackEditorWidth, height = kFallbackEditorHeight;
    ERect* rect = nullptr;
    if (plugin.dispatch(effEditGetRect, 0, 0, &rect) && rect && rect->right > rect->left && rect->bottom > rect->top) {
        width = rect->right - rect->left;
        height = rect->bottom - rect->top;
    }
    HWND frame = window_capture::createFrame("testhost editor", width, height);
    if (!frame) {
        std::fprintf(stderr, "cannot create a window (error %lu); is there a display?\n", GetLastError());
        unload(plugin);
        return 1;
    }
    // The answer of effEditOpen varies between plug-ins; the window it puts
    // into the frame is what counts.
    plugin.dispatch(effEditOpen, 0, 0, frame);
    HWND editorWindow = GetWindow(frame, GW_CHILD);
    LICE_SysBitmap picture;
    bool captured = false;
    if (editorWindow) {
        fitFrame(frame, editorWindow);
        for (int i = 0; i < kIdleCalls; ++i) {
            plugin.dispatch(effEditIdle);
            window_capture::paintPending(editorWindow);
        }
        captured = window_capture::grab(editorWindow, picture);
    }
    plugin.dispatch(effEditClose);
    DestroyWindow(frame);
    window_capture::pump();
    unload(plugin);
    if (!editorWindow) {
        std::fprintf(stderr, "effEditOpen put no window into the host's frame\n");
        return 1;
    }
    if (!captured) {
        std::fprintf(stderr, "cannot read the editor window's pixels back\n");
        return 1;
    }
    if (!window_capture::writePng(outPath, picture)) {
        std::fprintf(stderr, "cannot write %s\n", outPath);
        return 1;
    }
    if (scriptPath)
        std::printf("applied %d parameter changes from %s (%d MIDI commands ignored)\n", applied, scriptPath, ignored);
    std::printf("editor window %d x %d captured to %s\n", picture.width(), picture.height(), outPath);
    if (singleColour(picture)) {
        std::fprintf(stderr, "the editor window shows a single colour: it painted nothing\n");
        return 2;
    }
    return 0;
}

} // namespace testhost
