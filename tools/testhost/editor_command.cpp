#include "tools/testhost/editor_command.h"

#include <cstdint>
#include <cstdio>
#include <string>

#include "tools/testhost/png_file.h"
#include "tools/testhost/script.h"

namespace testhost {

namespace {

// Script times become frames at this rate; only the order of the parameter
// changes matters to the picture.
constexpr double kScriptRate = 44100.0;
// Asked of a plug-in that answers no editor rectangle before its editor opens;
// the frame grows to the editor's window afterwards anyway.
constexpr int kFallbackEditorWidth = 640;
constexpr int kFallbackEditorHeight = 480;

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
    LICE_MemBitmap picture;
    const bool captured = captureEditor(plugin, width, height, picture);
    unload(plugin);
    if (!captured) return 1;
    if (!png_file::writePng(outPath, picture)) {
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
