// A VST 2.4 instrument of the tests' own that does in its audio calls what no
// plug-in may: the real-time probe must count each of these calls, once per
// audio call. Every processReplacing allocates and frees with malloc and with
// new[] and delete[], locks a mutex and waits on a condition variable (for a
// deadline long past, so it returns at once), and writes a byte to a file;
// every effProcessEvents grows a list with realloc. Its activation
// (effMainsChanged), which hosts make outside the audio calls, allocates
// too, and must not count. It plays silence.
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>

#include "framework/vst2.h"

namespace {

struct BadPlugin {
    AEffect effect{};
    int file = -1;             // /dev/null, opened with the instance
    void* list = nullptr;      // grown by every effProcessEvents
    std::size_t listSize = 0;  // bytes
    void* activation = nullptr; // what effMainsChanged allocates
};

pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;
pthread_cond_t condition = PTHREAD_COND_INITIALIZER;
// Where each allocation goes before it is freed, so the compiler cannot drop the pair.
void* volatile sink = nullptr;

BadPlugin& self(AEffect* effect) { return *static_cast<BadPlugin*>(effect->object); }

VstIntPtr dispatcher(AEffect* effect, VstInt32 opcode, VstInt32, VstIntPtr value, void*, float) {
    BadPlugin& bad = self(effect);
    switch (opcode) {
    case effOpen:
        bad.file = open("/dev/null", O_WRONLY);
        return 0;
    case effClose:
        close(bad.file);
        std::free(bad.list);
        std::free(bad.activation);
        delete &bad;
        return 0;
    case effMainsChanged:
        std::free(bad.activation);
        bad.activation = value != 0 ? std::malloc(4096) : nullptr;
        return 0;
    case effProcessEvents:
        bad.listSize += 64;
        bad.list = std::realloc(bad.list, bad.listSize);
        return 1;
    default:
        return 0;
    }
}

void processReplacing(AEffect* effect, float**, float** outputs, VstInt32 frames) {
    sink = std::malloc(sizeof(float) * static_cast<std::size_t>(frames + 1));
    std::free(sink);
    sink = new float[static_cast<std::size_t>(frames + 1)];
    delete[] static_cast<float*>(sink);
    pthread_mutex_lock(&mutex);
    const timespec past{0, 0};
    pthread_cond_timedwait(&condition, &mutex, &past);
    pthread_mutex_unlock(&mutex);
    const char zero = 0;
    const ssize_t written = write(self(effect).file, &zero, 1);
    static_cast<void>(written);
    std::fill(outputs[0], outputs[0] + frames, 0.0f);
}

} // namespace

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback) {
    auto* bad = new BadPlugin;
    AEffect& e = bad->effect;
    e.magic = kEffectMagic;
    e.dispatcher = &dispatcher;
    e.setParameter = [](AEffect*, VstInt32, float) {};
    e.getParameter = [](AEffect*, VstInt32) { return 0.0f; };
    e.numOutputs = 1;
    e.flags = effFlagsCanReplacing | effFlagsIsSynth;
    e.ioRatio = 1.0f;
    e.object = bad;
    e.processReplacing = &processReplacing;
    return &e;
}
