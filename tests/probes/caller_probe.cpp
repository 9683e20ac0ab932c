// Calls into the built Veldane.dll made the way hosts built with other
// compilers make them. A 32-bit Windows caller promises only 4-byte stack
// alignment, and a host's floating-point modes are its own. One session that
// uses every callback is played with the stack pointer at each alignment and
// under foreign floating-point modes, each in a fresh load of the library
// (so every run draws the same random sequence): it must answer exactly as
// with aligned calls (under the foreign modes: finite, and close to it), and
// every call must hand the caller's floating-point control back unchanged.
#include <windows.h>
#include <xmmintrin.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <type_traits>
#include <vector>

#include "framework/vst2.h"
#include "synth/parameters.h"
#include "tests/midi_block.h"
#include "tests/probes/probe_host.h"

#if defined(__i386__)
// veldane_call_shifted(fn, words, count, shift) calls the cdecl function fn
// with `count` 32-bit argument words, the stack pointer at the call
// instruction `shift` bytes past a 16-byte boundary (GCC's own calls keep it
// at 0). eax:edx and st(0) come back untouched, so one body serves functions
// answering integers, pointers or floats. veldane_stack_at_call answers the
// stack pointer at the instruction that called it.
asm(R"(
    .text
    .p2align 4
    .globl veldane_call_shifted
    .globl veldane_call_shifted_float
veldane_call_shifted:
veldane_call_shifted_float:
    pushl %ebp
    movl %esp, %ebp
    pushl %esi
    pushl %edi
    movl 16(%ebp), %ecx
    leal 16(,%ecx,4), %eax
    movl %esp, %edi
    subl %eax, %edi
    andl $-16, %edi
    addl 20(%ebp), %edi
    movl %edi, %esp
    movl 12(%ebp), %esi
    cld
    rep movsl
    call *8(%ebp)
    leal -8(%ebp), %esp
    popl %edi
    popl %esi
    popl %ebp
    ret

    .globl veldane_stack_at_call
veldane_stack_at_call:
    leal 4(%esp), %eax
    ret
)");
extern "C" std::uint64_t callShifted(const void* fn, const std::uint32_t* words, std::uint32_t count,
                                     std::uint32_t shift) asm("veldane_call_shifted");
extern "C" float callShiftedFloat(const void* fn, const std::uint32_t* words, std::uint32_t count,
                                  std::uint32_t shift) asm("veldane_call_shifted_float");
extern "C" std::uint32_t stackAtCall() asm("veldane_stack_at_call");
#endif

namespace {

// --- The caller's floating-point control -------------------------------------

// MXCSR without its sticky exception flags (which any arithmetic may set), and
// the x87 control word.
struct FpControl {
    unsigned mxcsr;
    unsigned short x87;
    bool operator==(const FpControl& other) const { return mxcsr == other.mxcsr && x87 == other.x87; }
};

constexpr unsigned kMxcsrFlags = 0x003F;
constexpr unsigned kFlushToZero = 0x8000;
constexpr unsigned kDenormalsAreZero = 0x0040;
constexpr unsigned short kX87PrecisionBits = 0x0300; // 00: 24-bit mantissa

FpControl fpControl() {
    FpControl c{_mm_getcsr() & ~kMxcsrFlags, 0};
    asm volatile("fnstcw %0" : "=m"(c.x87));
    return c;
}

void setFpControl(const FpControl& c) {
    _mm_setcsr(c.mxcsr | (_mm_getcsr() & kMxcsrFlags));
    asm volatile("fldcw %0" : : "m"(c.x87));
}

// --- Calls ------------------------------------------------------------------

template <class T>
std::uint32_t word(T value) {
    if constexpr (std::is_pointer_v<T>) {
        return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(value));
    } else if constexpr (std::is_same_v<T, float>) {
        std::uint32_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        return bits;
    } else {
        return static_cast<std::uint32_t>(value);
    }
}

// Makes every call into the library: on 32-bit Windows through the thunk,
// `shift` bytes off alignment, elsewhere directly (x86-64 callers keep the
// stack aligned by rule). Notes every call after which the caller's
// floating-point control differs, and puts it back.
class Caller {
public:
    explicit Caller(unsigned shift = 0) : shift_(shift) {}

    std::vector<std::string> fpChanged;

    template <class R, class... P, class... A>
    R operator()(const std::string& what, R(ZEM_VSTCALL* fn)(P...), A... args) {
        const FpControl before = fpControl();
        if constexpr (std::is_void_v<R>) {
            invoke(fn, static_cast<P>(args)...);
            check(what, before);
        } else {
            const R result = invoke(fn, static_cast<P>(args)...);
            check(what, before);
            return result;
        }
    }

private:
    void check(const std::string& what, const FpControl& before) {
        if (fpControl() == before) return;
        fpChanged.push_back(what);
        setFpControl(before);
    }

    template <class R, class... P>
    R invoke(R(ZEM_VSTCALL* fn)(P...), P... args) {
#if defined(__i386__)
        const std::uint32_t words[] = {word(args)...};
        const void* target = reinterpret_cast<const void*>(fn);
        const auto count = static_cast<std::uint32_t>(sizeof...(P));
        if constexpr (std::is_same_v<R, float>) {
            return callShiftedFloat(target, words, count, shift_);
        } else if constexpr (std::is_void_v<R>) {
            callShifted(target, words, count, shift_);
        } else {
            const auto eax = static_cast<std::uint32_t>(callShifted(target, words, count, shift_));
            if constexpr (std::is_pointer_v<R>)
                return reinterpret_cast<R>(static_cast<std::uintptr_t>(eax));
            else
                return static_cast<R>(static_cast<std::int32_t>(eax));
        }
#else
        return fn(args...);
#endif
    }

    unsigned shift_;
};

// --- The session --------------------------------------------------------------

VstIntPtr ZEM_VSTCALL quietHost(AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float) { return 0; }

// Everything the instance answered, in order.
struct Transcript {
    std::vector<double> answers; // return values, parameter values, the editor's rectangle
    std::string texts;           // every text written
    std::vector<double> samples; // every sample rendered
};

// A patch with every part of the voice at work: both oscillators (pulse
// shaped by the LFO, sawtooth synced), resonant two-pole filter swept by the
// envelope, square LFO on the pitch, glide, poly.
struct Setting {
    int index;
    float value;
};
constexpr Setting kPatch[] = {
    {Veldane::kOsc1Waveform, 0.5f},   {Veldane::kOsc1ShapeMod, 0.6f},  {Veldane::kOsc1ShapeModSrc, 1.0f},
    {Veldane::kOsc2Waveform, 1.0f},   {Veldane::kOsc2Detune, 0.55f},   {Veldane::kOsc2Sync, 1.0f},
    {Veldane::kOsc2Volume, 0.9f},     {Veldane::kPitchModSrc, 1.0f},   {Veldane::kPitchModDepth, 0.3f},
    {Veldane::kFilterType, 0.5f},     {Veldane::kFilterCutoff, 0.55f}, {Veldane::kFilterQ, 0.6f},
    {Veldane::kFilterMod, 0.4f},      {Veldane::kLfoWaveform, 1.0f},   {Veldane::kLfoFrequency, 0.6f},
    {Veldane::kGlideTime, 0.3f},
};
constexpr int kCutoff = Veldane::kFilterCutoff;
constexpr int kBlock = 256;

// One host's whole session with an instance: creation, the dispatcher's
// opcodes (rate, block size, processing on and off, texts, the editor opened
// in the host's window and closed), parameters written and read, events, all
// three audio callbacks, effClose.
Transcript playSession(veldane_dll::PluginMain entry, Caller& call) {
    Transcript t;
    AEffect* e = call("VSTPluginMain", entry, &quietHost);
    if (!e) {
        ADD_FAILURE() << "no instance";
        return t;
    }
    auto dispatch = [&](VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                        float opt = 0.0f) {
        const VstIntPtr answer = call("dispatcher " + std::to_string(opcode), e->dispatcher, e, opcode, index,
                                      value, ptr, opt);
        t.answers.push_back(static_cast<double>(answer));
    };
    auto text = [&](VstInt32 opcode, VstInt32 index = 0) {
        char buffer[256] = {};
        dispatch(opcode, index, 0, buffer);
        t.texts += buffer;
        t.texts += '\n';
    };
    auto set = [&](int index, float value) { call("setParameter", e->setParameter, e, index, value); };
    std::vector<float> single(kBlock);
    std::vector<double> wide(kBlock);
    auto render = [&](AEffectProcessProc process, int frames) {
        float* outs[1] = {single.data()};
        call("process", process, e, static_cast<float**>(nullptr), outs, frames);
        t.samples.insert(t.samples.end(), single.begin(), single.begin() + frames);
    };
    auto renderDouble = [&](int frames) {
        double* outs[1] = {wide.data()};
        call("processDoubleReplacing", e->processDoubleReplacing, e, static_cast<double**>(nullptr), outs, frames);
        t.samples.insert(t.samples.end(), wide.begin(), wide.begin() + frames);
    };
    auto events = [&](MidiBlock& block) { dispatch(effProcessEvents, 0, 0, block.events()); };

    dispatch(effOpen);
    dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
    dispatch(effSetBlockSize, 0, kBlock);
    dispatch(effMainsChanged, 0, 1);
    text(effGetEffectName);
    text(effGetVendorString);
    text(effGetProductString);
    dispatch(effGetVstVersion);
    char canDo[] = "receiveVstMidiEvent";
    dispatch(effCanDo, 0, 0, canDo);
    ERect* rect = nullptr;
    dispatch(effEditGetRect, 0, 0, &rect);
    if (rect) {
        for (VstInt16 edge : {rect->top, rect->left, rect->bottom, rect->right}) t.answers.push_back(edge);
    }

    for (const Setting& s : kPatch) set(s.index, s.value);
    for (int i = 0; i < e->numParams; ++i) {
        t.answers.push_back(call("getParameter", e->getParameter, e, i));
        text(effGetParamName, i);
        text(effGetParamLabel, i);
        text(effGetParamDisplay, i);
    }

    dispatch(effEditOpen, 0, 0, probe::frame());
    probe::pump();
    dispatch(effEditIdle);
    set(kCutoff, 0.5f); // reaches the open editor too
    probe::pump();
    dispatch(effEditClose);

    MidiBlock chord;
    chord.add(0, 0x90, 48, 100);
    chord.add(17, 0x90, 55, 90);
    chord.add(100, 0x91, 60, 80);
    chord.add(130, 0xE0, 0, 80);
    chord.add(200, 0xB0, 64, 127);
    events(chord);
    for (int b = 0; b < 3; ++b) {
        render(e->processReplacing, kBlock);
        set(kCutoff, 0.5f + 0.05f * static_cast<float>(b));
    }
    renderDouble(kBlock);
    renderDouble(kBlock);
    MidiBlock change;
    change.add(5, 0x80, 48, 0);
    change.add(60, 0xB0, 64, 0);
    change.add(80, 0x90, 67, 100);
    events(change);
    render(e->process, kBlock);
    render(e->processReplacing, 100);
    render(e->processReplacing, 0);
    MidiBlock release;
    for (int note : {55, 60, 67}) release.add(3, 0x80, note, 0);
    events(release);
    render(e->processReplacing, kBlock);
    renderDouble(kBlock);
    dispatch(effMainsChanged, 0, 0);
    dispatch(effClose);
    return t;
}

Transcript playInFreshLoad(Caller& call) {
    probe::LoadedDll dll;
    veldane_dll::PluginMain entry = dll.entry();
    if (!entry) {
        ADD_FAILURE() << "cannot load " << veldane_dll::path();
        return {};
    }
    return playSession(entry, call);
}

// Index of the first sample where a and b differ, or -1. Only the 32-bit
// build has misaligned callers to compare.
[[maybe_unused]] long firstDifference(const std::vector<double>& a, const std::vector<double>& b) {
    if (a.size() != b.size()) return 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::memcmp(&a[i], &b[i], sizeof(double)) != 0) return static_cast<long>(i);
    return -1;
}

// --- Tests --------------------------------------------------------------------

TEST(CallerProbe, MisalignedStackAnswersExactlyAsAligned) {
#if defined(__i386__)
    ASSERT_NE(probe::frame(), nullptr) << "needs a display: run under scripts/wine-window-run.sh";
    Caller aligned(0);
    const Transcript reference = playInFreshLoad(aligned);
    ASSERT_FALSE(reference.samples.empty());
    EXPECT_TRUE(aligned.fpChanged.empty()) << aligned.fpChanged.front();
    for (unsigned shift : {4u, 8u, 12u}) {
        // The thunk really calls that far off alignment.
        ASSERT_EQ(callShifted(reinterpret_cast<const void*>(&stackAtCall), nullptr, 0, shift) % 16u, shift);
        Caller misaligned(shift);
        const Transcript t = playInFreshLoad(misaligned);
        EXPECT_EQ(t.answers, reference.answers) << shift;
        EXPECT_EQ(t.texts, reference.texts) << shift;
        EXPECT_EQ(firstDifference(t.samples, reference.samples), -1) << shift;
        EXPECT_TRUE(misaligned.fpChanged.empty()) << shift << ": " << misaligned.fpChanged.front();
    }
#else
    GTEST_SKIP() << "x86-64 callers keep the stack 16-byte aligned by rule";
#endif
}

// Flush-to-zero with denormals-are-zero (hosts set them against denormal
// slowdowns), and on 32-bit Windows x87 precision at 24 bits (Direct3D once
// set it for the whole process, and some hosts still do): the DLL's
// arithmetic is SSE2 and so unaffected, but the C library's x87 functions
// (logarithms, powers, sines) round to 24 bits there.
TEST(CallerProbe, ForeignFloatingPointModesStayTheCallersAndTheSoundStaysClose) {
    ASSERT_NE(probe::frame(), nullptr) << "needs a display: run under scripts/wine-window-run.sh";
    const FpControl usual = fpControl();
    Caller plain;
    const Transcript reference = playInFreshLoad(plain);
    ASSERT_FALSE(reference.samples.empty());
    EXPECT_TRUE(plain.fpChanged.empty()) << plain.fpChanged.front();
    double peak = 0.0;
    for (double s : reference.samples) peak = std::max(peak, std::fabs(s));
    ASSERT_GT(peak, 0.05);

    struct Mode {
        const char* name;
        FpControl control;
    };
    std::vector<Mode> modes = {{"FTZ+DAZ", {usual.mxcsr | kFlushToZero | kDenormalsAreZero, usual.x87}}};
#if defined(__i386__)
    modes.push_back({"x87 24-bit", {usual.mxcsr, static_cast<unsigned short>(usual.x87 & ~kX87PrecisionBits)}});
#endif
    for (const Mode& mode : modes) {
        Caller call;
        setFpControl(mode.control);
        const Transcript t = playInFreshLoad(call);
        const FpControl after = fpControl();
        setFpControl(usual);
        EXPECT_TRUE(after == mode.control) << mode.name;
        EXPECT_TRUE(call.fpChanged.empty()) << mode.name << ": " << call.fpChanged.front();
        ASSERT_EQ(t.samples.size(), reference.samples.size()) << mode.name;
        double worst = 0.0;
        for (std::size_t i = 0; i < t.samples.size(); ++i) {
            ASSERT_TRUE(std::isfinite(t.samples[i])) << mode.name << " " << i;
            worst = std::max(worst, std::fabs(t.samples[i] - reference.samples[i]));
        }
        EXPECT_LT(worst, 1e-3 * peak) << mode.name;
    }
}

} // namespace
