// The real-time probe's record (probe.h) and its operators new and delete; the
// C library's functions are interposed in interpose.c.
#include "tests/realtime/probe.h"

#include <dlfcn.h>
#include <execinfo.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <new>
#include <sstream>
#include <vector>

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
void __libc_free(void* pointer);
}

namespace {

// Backtraces kept: the first calls tell where to look; the rest only count.
constexpr int kTraces = 8;
// Frames per backtrace: enough to reach from the probed call up through a
// plug-in's block loop into the host.
constexpr int kFrames = 24;
// Frames of the probe itself on top of every backtrace (record, rtprobe_note).
constexpr int kProbeFrames = 2;
// Characters of a function's name shown: a lambda's name in a template spells
// out every enclosing type, and the head says enough.
constexpr std::size_t kLongestName = 160;
// Distinct functions one reset can list (there are fewer probed functions).
constexpr int kMaxCounted = 128;

struct Trace {
    const rtprobe_function* function;
    int depth;
    void* frames[kFrames];
};

// Whether this thread is inside an audio call. Constant-initialized in the
// executable, so reading it never allocates, even before main.
thread_local bool inAudioCall = false;

std::array<Trace, kTraces> traces;
std::atomic<int> traceCount{0};
std::array<std::atomic<rtprobe_function*>, kMaxCounted> counted;
std::atomic<int> countedCount{0};

// Keeps the backtrace of a counted call, if it is among the first kTraces.
// The thread counts nothing meanwhile: the unwinder may lock.
__attribute__((noinline)) void record(const rtprobe_function* function) {
    const int slot = traceCount.fetch_add(1, std::memory_order_relaxed);
    if (slot >= kTraces) return;
    inAudioCall = false;
    Trace& t = traces[static_cast<std::size_t>(slot)];
    t.function = function;
    t.depth = backtrace(t.frames, kFrames);
    inAudioCall = true;
}

rtprobe_function operatorNew{"operator new", nullptr, 0}, operatorNewArray{"operator new[]", nullptr, 0},
    operatorDelete{"operator delete", nullptr, 0}, operatorDeleteArray{"operator delete[]", nullptr, 0};

void* allocate(rtprobe_function& function, std::size_t size, std::size_t alignment) noexcept {
    rtprobe_note(&function);
    if (size == 0) size = 1;
    return alignment > __STDCPP_DEFAULT_NEW_ALIGNMENT__ ? __libc_memalign(alignment, size) : __libc_malloc(size);
}

void* allocateOrThrow(rtprobe_function& function, std::size_t size, std::size_t alignment) {
    void* p = allocate(function, size, alignment);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}

void release(rtprobe_function& function, void* p) noexcept {
    if (p != nullptr) rtprobe_note(&function);
    __libc_free(p);
}

} // namespace

extern "C" __attribute__((noinline)) void rtprobe_note(rtprobe_function* function) {
    if (!inAudioCall) return;
    if (__atomic_fetch_add(&function->calls, 1, __ATOMIC_RELAXED) == 0) {
        const int index = countedCount.fetch_add(1, std::memory_order_relaxed);
        if (index < kMaxCounted) counted[static_cast<std::size_t>(index)].store(function, std::memory_order_relaxed);
    }
    record(function);
    // Code after the call, so it is no tail call: the backtrace then holds
    // exactly kProbeFrames frames of the probe above the probed function.
    __asm__ volatile("" ::: "memory");
}

namespace rtprobe {

void prepare() {
    void* frame[1];
    backtrace(frame, 1);
}

void enter() noexcept { inAudioCall = true; }
void leave() noexcept { inAudioCall = false; }

namespace {

// The functions counted since the last reset, in the order of their first call.
std::vector<rtprobe_function*> countedFunctions() {
    std::vector<rtprobe_function*> list;
    const int n = std::min(countedCount.load(), kMaxCounted);
    for (int i = 0; i < n; ++i) list.push_back(counted[static_cast<std::size_t>(i)].load());
    return list;
}

// Names each frame "function (module+offset)": addr2line reads the function
// from the module's symbol table, where a plug-in keeps the names it does not
// export; where that fails, the nearest exported symbol dladdr knows.
std::string named(void* frame) {
    Dl_info info{};
    if (dladdr(frame, &info) == 0 || info.dli_fname == nullptr) return "?";
    // A return address points after its call: look up the call itself.
    const auto offset = reinterpret_cast<std::uintptr_t>(frame) - reinterpret_cast<std::uintptr_t>(info.dli_fbase) - 1;
    char command[1024];
    std::snprintf(command, sizeof command, "addr2line -C -f -e '%s' 0x%zx 2>/dev/null", info.dli_fname,
                  static_cast<std::size_t>(offset));
    std::string function;
    if (FILE* pipe = popen(command, "r")) {
        char line[512] = {};
        if (std::fgets(line, sizeof line, pipe) != nullptr) function = line;
        pclose(pipe);
    }
    while (!function.empty() && function.back() == '\n') function.pop_back();
    if (function.size() > kLongestName) function = function.substr(0, kLongestName) + "...";
    if ((function.empty() || function == "??") && info.dli_sname != nullptr) function = info.dli_sname;
    std::ostringstream out;
    out << (function.empty() ? "??" : function) << " (" << info.dli_fname << "+0x" << std::hex << offset << ")";
    return out.str();
}

} // namespace

void reset() {
    for (rtprobe_function* f : countedFunctions()) __atomic_store_n(&f->calls, 0, __ATOMIC_RELAXED);
    countedCount.store(0);
    traceCount.store(0);
}

unsigned long calls(const std::string& name) {
    for (rtprobe_function* f : countedFunctions())
        if (name == f->name) return __atomic_load_n(&f->calls, __ATOMIC_RELAXED);
    return 0;
}

std::string report() {
    const std::vector<rtprobe_function*> functions = countedFunctions();
    if (functions.empty()) return "";
    std::ostringstream out;
    out << "calls made inside audio calls:\n";
    for (const rtprobe_function* f : functions) out << "  " << f->name << ": " << f->calls << "\n";
    const int kept = std::min(traceCount.load(), kTraces);
    std::map<void*, std::string> names; // a frame's name, looked up once
    for (int i = 0; i < kept; ++i) {
        const Trace& t = traces[static_cast<std::size_t>(i)];
        out << "backtrace of call " << i + 1 << ", " << t.function->name;
        // A call made from where an earlier one was made: said once.
        const auto same = [&t](const Trace& earlier) {
            return earlier.depth == t.depth && std::equal(t.frames, t.frames + t.depth, earlier.frames);
        };
        const auto earlier = std::find_if(traces.begin(), traces.begin() + i, same);
        if (earlier != traces.begin() + i) {
            out << ": as call " << earlier - traces.begin() + 1 << "\n";
            continue;
        }
        out << ":\n";
        for (int k = kProbeFrames; k < t.depth; ++k) {
            auto found = names.find(t.frames[k]);
            if (found == names.end()) found = names.emplace(t.frames[k], named(t.frames[k])).first;
            out << "  #" << k - kProbeFrames << " " << found->second << "\n";
        }
    }
    return out.str();
}

} // namespace rtprobe

// --- Every operator new and delete ---------------------------------------------------

void* operator new(std::size_t size) { return allocateOrThrow(operatorNew, size, 0); }
void* operator new[](std::size_t size) { return allocateOrThrow(operatorNewArray, size, 0); }
void* operator new(std::size_t size, std::align_val_t a) {
    return allocateOrThrow(operatorNew, size, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t size, std::align_val_t a) {
    return allocateOrThrow(operatorNewArray, size, static_cast<std::size_t>(a));
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(operatorNew, size, 0); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(operatorNewArray, size, 0); }
void* operator new(std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
    return allocate(operatorNew, size, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
    return allocate(operatorNewArray, size, static_cast<std::size_t>(a));
}

void operator delete(void* p) noexcept { release(operatorDelete, p); }
void operator delete[](void* p) noexcept { release(operatorDeleteArray, p); }
void operator delete(void* p, std::size_t) noexcept { release(operatorDelete, p); }
void operator delete[](void* p, std::size_t) noexcept { release(operatorDeleteArray, p); }
void operator delete(void* p, std::align_val_t) noexcept { release(operatorDelete, p); }
void operator delete[](void* p, std::align_val_t) noexcept { release(operatorDeleteArray, p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { release(operatorDelete, p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { release(operatorDeleteArray, p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { release(operatorDelete, p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { release(operatorDeleteArray, p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { release(operatorDelete, p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { release(operatorDeleteArray, p); }
