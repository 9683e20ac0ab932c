/*
 * A probe preloaded into Ardour's processes (LD_PRELOAD) that watches the
 * routines Ardour mixes, scales and copies audio buffers with. Ardour picks
 * them once at start-up from the CPU's features, and takes their addresses
 * through its global offset table, so the definitions here are the ones it
 * calls. Each wrapper counts the call and runs the real routine on a copy of
 * the destination that keeps its address modulo 64 (the routines' paths
 * depend on alignment) and is followed by guard samples; a guard that changed
 * is a write past the end of the buffer, counted as an overrun. The copy then
 * goes back, so the process sees what the routine computed and nothing else.
 *
 * At exit a process that called any of them appends one line to the file
 * named by VELDANE_MIX_PROBE_REPORT:
 *   PROGRAM PID avx512 CALLS OVERRUNS sse CALLS OVERRUNS
 * "avx512" counts Ardour 7's AVX-512 routines, "sse" its SSE ones.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdatomic.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

enum { kFamilies = 2, kAvx512 = 0, kSse = 1 };
/* Guard samples after the copy: the overrun seen in Ardour 7.3 is at most 4. */
enum { kGuard = 16 };
/* Largest buffer checked through a copy; bigger ones are passed through
   unchecked (Ardour's buffers are a few thousand samples at most). */
enum { kMaxFrames = 16384 };

static atomic_ulong calls[kFamilies];
static atomic_ulong overruns[kFamilies];
static const float kGuardValue = -12345.5f;

/* Per thread: Ardour mixes on several threads at once. */
static _Thread_local float scratch[kMaxFrames + kGuard + 16] __attribute__((aligned(64)));
/* Set while a wrapped routine runs: the AVX-512 routines hand some buffers on
   to the SSE ones, which then work on the copy already made. */
static _Thread_local int inside;

static void* real(const char* name)
{
    void* fn = dlsym(RTLD_NEXT, name);
    if (!fn) {
        fprintf(stderr, "mix probe: %s not found\n", name);
        abort();
    }
    return fn;
}

/* A copy of dst[0..n) at the same address modulo 64, guards behind it; NULL
   when the buffer is too large to copy or a copy is already being worked on. */
static float* guarded_copy(const float* dst, uint32_t n)
{
    if (n > kMaxFrames || inside) return NULL;
    inside = 1;
    float* copy = scratch + ((uintptr_t)dst % 64) / sizeof(float);
    memcpy(copy, dst, n * sizeof(float));
    for (int i = 0; i < kGuard; ++i) copy[n + i] = kGuardValue;
    return copy;
}

static void give_back(int family, float* dst, const float* copy, uint32_t n)
{
    for (int i = 0; i < kGuard; ++i) {
        if (memcmp(&copy[n + i], &kGuardValue, sizeof(float)) != 0) {
            atomic_fetch_add(&overruns[family], 1);
            break;
        }
    }
    memcpy(dst, copy, n * sizeof(float));
    inside = 0;
}

typedef void (*MixFn)(float*, const float*, uint32_t);
typedef void (*MixGainFn)(float*, const float*, uint32_t, float);
typedef void (*GainFn)(float*, uint32_t, float);

static void mix(int family, const char* name, float* dst, const float* src, uint32_t n)
{
    MixFn fn = (MixFn)real(name);
    atomic_fetch_add(&calls[family], 1);
    float* copy = guarded_copy(dst, n);
    if (!copy) return fn(dst, src, n);
    fn(copy, src, n);
    give_back(family, dst, copy, n);
}

static void mix_gain(int family, const char* name, float* dst, const float* src, uint32_t n, float gain)
{
    MixGainFn fn = (MixGainFn)real(name);
    atomic_fetch_add(&calls[family], 1);
    float* copy = guarded_copy(dst, n);
    if (!copy) return fn(dst, src, n, gain);
    fn(copy, src, n, gain);
    give_back(family, dst, copy, n);
}

static void gain(int family, const char* name, float* dst, uint32_t n, float g)
{
    GainFn fn = (GainFn)real(name);
    atomic_fetch_add(&calls[family], 1);
    float* copy = guarded_copy(dst, n);
    if (!copy) return fn(dst, n, g);
    fn(copy, n, g);
    give_back(family, dst, copy, n);
}

/* Ardour 7's AVX-512 routines (C++ names). */
void _Z31x86_avx512f_mix_buffers_no_gainPfPKfj(float* dst, const float* src, uint32_t n)
{
    mix(kAvx512, "_Z31x86_avx512f_mix_buffers_no_gainPfPKfj", dst, src, n);
}
void _Z33x86_avx512f_mix_buffers_with_gainPfPKfjf(float* dst, const float* src, uint32_t n, float g)
{
    mix_gain(kAvx512, "_Z33x86_avx512f_mix_buffers_with_gainPfPKfjf", dst, src, n, g);
}
void _Z32x86_avx512f_apply_gain_to_bufferPfjf(float* dst, uint32_t n, float g)
{
    gain(kAvx512, "_Z32x86_avx512f_apply_gain_to_bufferPfjf", dst, n, g);
}
void _Z23x86_avx512f_copy_vectorPfPKfj(float* dst, const float* src, uint32_t n)
{
    mix(kAvx512, "_Z23x86_avx512f_copy_vectorPfPKfj", dst, src, n);
}

/* Its SSE routines (assembly, C names). */
void x86_sse_mix_buffers_no_gain(float* dst, const float* src, uint32_t n)
{
    mix(kSse, "x86_sse_mix_buffers_no_gain", dst, src, n);
}
void x86_sse_mix_buffers_with_gain(float* dst, const float* src, uint32_t n, float g)
{
    mix_gain(kSse, "x86_sse_mix_buffers_with_gain", dst, src, n, g);
}
void x86_sse_apply_gain_to_buffer(float* dst, uint32_t n, float g)
{
    gain(kSse, "x86_sse_apply_gain_to_buffer", dst, n, g);
}

__attribute__((destructor)) static void report(void)
{
    const char* path = getenv("VELDANE_MIX_PROBE_REPORT");
    if (!path || atomic_load(&calls[kAvx512]) + atomic_load(&calls[kSse]) == 0) return;
    FILE* f = fopen(path, "a");
    if (!f) return;
    fprintf(f, "%s %ld avx512 %lu %lu sse %lu %lu\n", program_invocation_short_name, (long)getpid(), atomic_load(&calls[kAvx512]),
            atomic_load(&overruns[kAvx512]), atomic_load(&calls[kSse]), atomic_load(&overruns[kSse]));
    fclose(f);
}
