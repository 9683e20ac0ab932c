#pragma once
// The real-time probe. A test program that links it (probe.cpp and
// interpose.c) replaces the C library's allocation, locking, waiting and
// system-call functions and every C++ operator new and delete with its own:
// each forwards to the original and, when the calling thread is inside a
// plug-in's audio call (between enter() and leave()), counts the call and
// keeps the backtrace of the first few. Definitions in an executable win over
// the C library's for every module the process loads, dlopen'ed plug-ins
// included, once the executable exports them (ENABLE_EXPORTS in CMake).
//
// Probed (a call of any of these on the audio thread is a fault):
//   memory:  malloc, calloc, realloc, reallocarray, free (of a non-null
//            pointer), posix_memalign, aligned_alloc, memalign, valloc,
//            pvalloc, and operator new, new[], delete and delete[] in all
//            their forms (sized, aligned, nothrow), which go straight to the
//            C library's allocator and count once;
//   locks:   pthread_mutex_lock, _timedlock and _clocklock, pthread_cond_wait,
//            _timedwait and _clockwait, pthread_rwlock_rdlock, _wrlock and
//            their timed forms, pthread_spin_lock, pthread_barrier_wait,
//            pthread_join, sem_wait, sem_timedwait, sem_clockwait (a try-lock
//            never waits and is not counted, nor is a signal or an unlock,
//            which follows a counted lock);
//   system:  read, write, pread, pwrite, readv, writev, open, openat, creat
//            (their 64 forms counted as they), close, fsync, fdatasync, nanosleep,
//            clock_nanosleep, usleep, sleep, poll, ppoll, select, pselect,
//            epoll_wait, epoll_pwait, sched_yield, mmap, munmap, mremap,
//            syscall, and stdio's fopen, fclose, fread, fwrite, fputs, puts,
//            fflush, printf, fprintf and vfprintf (the C library calls the
//            system inside stdio without passing through its public names).
// A sanitizer that replaces malloc itself leaves no room for the probe: the
// sanitizer trees do not build it.

#ifdef __cplusplus
extern "C" {
#endif

// One probed function: its name, the definition it forwards to (the next one
// after ours, the C library's; null where the probe calls the allocator
// directly) and its calls counted since the last reset.
struct rtprobe_function {
    const char* name;
    void* forward;
    unsigned long calls;
};

// Every probed function calls this first: counts the call when the calling
// thread is inside an audio call, and keeps its backtrace if it is among the
// first few. Never allocates; safe before main.
void rtprobe_note(struct rtprobe_function* function);

#ifdef __cplusplus
} // extern "C"

#include <string>

namespace rtprobe {

// Readies the probe before the first audio call: backtrace() loads its
// unwinder (allocating) the first time it runs.
void prepare();

// On the calling thread: an audio call begins (calls are counted from now),
// or ends. The hooks of tools/testhost/audio_call.h.
void enter() noexcept;
void leave() noexcept;

// Forgets every count and backtrace; while no audio call runs.
void reset();

// Calls of the function `name` counted since the last reset ("malloc",
// "operator new", "write").
unsigned long calls(const std::string& name);

// What was counted since the last reset: each function with its calls, then
// the backtraces of the first few calls, their frames named through
// addr2line where it can. Empty when nothing was counted.
std::string report();

} // namespace rtprobe
#endif
