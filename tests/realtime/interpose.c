// The C library's functions the real-time probe watches (listed in probe.h),
// each defined again here: it notes the call (rtprobe_note) and forwards it.
// The allocation functions forward to glibc's own allocator entry points
// (__libc_malloc and the like), which need no look-up; the others to the next
// definition of their name, the C library's, looked up with dlsym(RTLD_NEXT)
// at start-up, so no audio call ever waits for the dynamic linker (glibc's
// dlsym answers a name's default version, e.g. the current condition
// variables). A function called before its constructor ran (by the C++
// runtime's own start-up) looks its forward up then.
// Written in C: the C++ declarations of these functions differ in their
// exception specifications from one function to the next.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <semaphore.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/epoll.h>
#include <sys/mman.h>
#include <sys/select.h>
#include <sys/uio.h>
#include <time.h>
#include <unistd.h>

#include "tests/realtime/probe.h"

void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pointer, size_t size);
void __libc_free(void* pointer);
void* __libc_memalign(size_t alignment, size_t size);
void* __libc_valloc(size_t size);
void* __libc_pvalloc(size_t size);

static void* forward_of(struct rtprobe_function* f) {
    void* next = __atomic_load_n(&f->forward, __ATOMIC_RELAXED);
    if (next == NULL) {
        next = dlsym(RTLD_NEXT, f->name);
        __atomic_store_n(&f->forward, next, __ATOMIC_RELAXED);
    }
    return next;
}

// PROBED(type, name, (parameters), (arguments)) defines `name`: it notes the
// call and forwards it to the C library's `name`.
#define PROBED(type, name, parameters, arguments)                                             \
    static struct rtprobe_function probed_##name = {#name, NULL, 0};                          \
    __attribute__((constructor)) static void resolve_##name(void) { forward_of(&probed_##name); } \
    type name parameters {                                                                    \
        rtprobe_note(&probed_##name);                                                         \
        return ((__typeof__(&name))forward_of(&probed_##name))arguments;                      \
    }

// --- Memory ------------------------------------------------------------------------

static struct rtprobe_function probed_malloc = {"malloc", NULL, 0}, probed_calloc = {"calloc", NULL, 0},
                               probed_realloc = {"realloc", NULL, 0}, probed_reallocarray = {"reallocarray", NULL, 0},
                               probed_free = {"free", NULL, 0}, probed_posix_memalign = {"posix_memalign", NULL, 0},
                               probed_aligned_alloc = {"aligned_alloc", NULL, 0},
                               probed_memalign = {"memalign", NULL, 0}, probed_valloc = {"valloc", NULL, 0},
                               probed_pvalloc = {"pvalloc", NULL, 0};

void* malloc(size_t size) {
    rtprobe_note(&probed_malloc);
    return __libc_malloc(size);
}

void* calloc(size_t count, size_t size) {
    rtprobe_note(&probed_calloc);
    return __libc_calloc(count, size);
}

void* realloc(void* pointer, size_t size) {
    rtprobe_note(&probed_realloc);
    return __libc_realloc(pointer, size);
}

void* reallocarray(void* pointer, size_t count, size_t size) {
    rtprobe_note(&probed_reallocarray);
    if (size != 0 && count > SIZE_MAX / size) {
        errno = ENOMEM;
        return NULL;
    }
    return __libc_realloc(pointer, count * size);
}

// Freeing a null pointer does nothing, and is no fault.
void free(void* pointer) {
    if (pointer != NULL) rtprobe_note(&probed_free);
    __libc_free(pointer);
}

int posix_memalign(void** out, size_t alignment, size_t size) {
    rtprobe_note(&probed_posix_memalign);
    if (alignment % sizeof(void*) != 0 || (alignment & (alignment - 1)) != 0) return EINVAL;
    void* pointer = __libc_memalign(alignment, size);
    if (pointer == NULL) return ENOMEM;
    *out = pointer;
    return 0;
}

void* aligned_alloc(size_t alignment, size_t size) {
    rtprobe_note(&probed_aligned_alloc);
    return __libc_memalign(alignment, size);
}

void* memalign(size_t alignment, size_t size) {
    rtprobe_note(&probed_memalign);
    return __libc_memalign(alignment, size);
}

void* valloc(size_t size) {
    rtprobe_note(&probed_valloc);
    return __libc_valloc(size);
}

void* pvalloc(size_t size) {
    rtprobe_note(&probed_pvalloc);
    return __libc_pvalloc(size);
}

// --- Locks and waits ------------------------------------------------------------------

PROBED(int, pthread_mutex_lock, (pthread_mutex_t * m), (m))
PROBED(int, pthread_mutex_timedlock, (pthread_mutex_t * m, const struct timespec* t), (m, t))
PROBED(int, pthread_mutex_clocklock, (pthread_mutex_t * m, clockid_t c, const struct timespec* t), (m, c, t))
PROBED(int, pthread_cond_wait, (pthread_cond_t * c, pthread_mutex_t* m), (c, m))
PROBED(int, pthread_cond_timedwait, (pthread_cond_t * c, pthread_mutex_t* m, const struct timespec* t), (c, m, t))
PROBED(int, pthread_cond_clockwait,
       (pthread_cond_t * c, pthread_mutex_t* m, clockid_t clock, const struct timespec* t), (c, m, clock, t))
PROBED(int, pthread_rwlock_rdlock, (pthread_rwlock_t * l), (l))
PROBED(int, pthread_rwlock_wrlock, (pthread_rwlock_t * l), (l))
PROBED(int, pthread_rwlock_timedrdlock, (pthread_rwlock_t * l, const struct timespec* t), (l, t))
PROBED(int, pthread_rwlock_timedwrlock, (pthread_rwlock_t * l, const struct timespec* t), (l, t))
PROBED(int, pthread_spin_lock, (pthread_spinlock_t * l), (l))
PROBED(int, pthread_barrier_wait, (pthread_barrier_t * b), (b))
PROBED(int, pthread_join, (pthread_t t, void** result), (t, result))
PROBED(int, sem_wait, (sem_t * s), (s))
PROBED(int, sem_timedwait, (sem_t * s, const struct timespec* t), (s, t))
PROBED(int, sem_clockwait, (sem_t * s, clockid_t c, const struct timespec* t), (s, c, t))

// --- System calls ------------------------------------------------------------------

PROBED(ssize_t, read, (int fd, void* buffer, size_t size), (fd, buffer, size))
PROBED(ssize_t, write, (int fd, const void* buffer, size_t size), (fd, buffer, size))
PROBED(ssize_t, pread, (int fd, void* buffer, size_t size, off_t at), (fd, buffer, size, at))
PROBED(ssize_t, pwrite, (int fd, const void* buffer, size_t size, off_t at), (fd, buffer, size, at))
PROBED(ssize_t, readv, (int fd, const struct iovec* v, int count), (fd, v, count))
PROBED(ssize_t, writev, (int fd, const struct iovec* v, int count), (fd, v, count))
PROBED(int, creat, (const char* path, mode_t mode), (path, mode))
PROBED(int, close, (int fd), (fd))
PROBED(int, fsync, (int fd), (fd))
PROBED(int, fdatasync, (int fd), (fd))
PROBED(int, nanosleep, (const struct timespec* t, struct timespec* rest), (t, rest))
PROBED(int, clock_nanosleep, (clockid_t c, int flags, const struct timespec* t, struct timespec* rest),
       (c, flags, t, rest))
PROBED(int, usleep, (useconds_t microseconds), (microseconds))
PROBED(unsigned, sleep, (unsigned seconds), (seconds))
PROBED(int, poll, (struct pollfd * fds, nfds_t count, int timeout), (fds, count, timeout))
PROBED(int, ppoll, (struct pollfd * fds, nfds_t count, const struct timespec* t, const sigset_t* mask),
       (fds, count, t, mask))
PROBED(int, select, (int n, fd_set* r, fd_set* w, fd_set* e, struct timeval* t), (n, r, w, e, t))
PROBED(int, pselect, (int n, fd_set* r, fd_set* w, fd_set* e, const struct timespec* t, const sigset_t* mask),
       (n, r, w, e, t, mask))
PROBED(int, epoll_wait, (int fd, struct epoll_event* events, int count, int timeout), (fd, events, count, timeout))
PROBED(int, epoll_pwait, (int fd, struct epoll_event* events, int count, int timeout, const sigset_t* mask),
       (fd, events, count, timeout, mask))
PROBED(int, sched_yield, (void), ())
PROBED(void*, mmap, (void* at, size_t size, int protection, int flags, int fd, off_t offset),
       (at, size, protection, flags, fd, offset))
PROBED(int, munmap, (void* at, size_t size), (at, size))
PROBED(FILE*, fopen, (const char* path, const char* mode), (path, mode))
PROBED(int, fclose, (FILE * f), (f))
PROBED(size_t, fread, (void* buffer, size_t size, size_t count, FILE* f), (buffer, size, count, f))
PROBED(size_t, fwrite, (const void* buffer, size_t size, size_t count, FILE* f), (buffer, size, count, f))
PROBED(int, fputs, (const char* text, FILE* f), (text, f))
PROBED(int, puts, (const char* text), (text))
PROBED(int, fflush, (FILE * f), (f))
PROBED(int, vfprintf, (FILE * f, const char* format, va_list arguments), (f, format, arguments))

// The functions that take a variable list of arguments, by hand.
static struct rtprobe_function probed_open = {"open", NULL, 0}, probed_openat = {"openat", NULL, 0},
                               probed_mremap = {"mremap", NULL, 0}, probed_syscall = {"syscall", NULL, 0},
                               probed_printf = {"printf", NULL, 0}, probed_fprintf = {"fprintf", NULL, 0};

__attribute__((constructor)) static void resolve_by_hand(void) {
    forward_of(&probed_openat);
    forward_of(&probed_mremap);
    forward_of(&probed_syscall);
}

// Both opens go on to the C library's openat (open is openat in the current
// directory); the mode comes only with flags that may create the file.
static int open_file(struct rtprobe_function* f, int directory, const char* path, int flags, va_list more) {
    rtprobe_note(f);
    const int creates = (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE;
    const mode_t mode = creates ? va_arg(more, mode_t) : 0;
    return ((int (*)(int, const char*, int, ...))forward_of(&probed_openat))(directory, path, flags, mode);
}

int open(const char* path, int flags, ...) {
    va_list more;
    va_start(more, flags);
    const int fd = open_file(&probed_open, AT_FDCWD, path, flags, more);
    va_end(more);
    return fd;
}

int openat(int directory, const char* path, int flags, ...) {
    va_list more;
    va_start(more, flags);
    const int fd = open_file(&probed_openat, directory, path, flags, more);
    va_end(more);
    return fd;
}

// mremap takes the new address only with MREMAP_FIXED.
void* mremap(void* at, size_t size, size_t new_size, int flags, ...) {
    rtprobe_note(&probed_mremap);
    va_list more;
    va_start(more, flags);
    void* new_at = (flags & MREMAP_FIXED) != 0 ? va_arg(more, void*) : NULL;
    va_end(more);
    return ((void* (*)(void*, size_t, size_t, int, ...))forward_of(&probed_mremap))(at, size, new_size, flags, new_at);
}

// A system call by number: up to six word-sized arguments, all passed on
// (the kernel reads as many as the call has).
long syscall(long number, ...) {
    rtprobe_note(&probed_syscall);
    va_list more;
    va_start(more, number);
    long a[6];
    for (int i = 0; i < 6; ++i) a[i] = va_arg(more, long);
    va_end(more);
    return ((long (*)(long, ...))forward_of(&probed_syscall))(number, a[0], a[1], a[2], a[3], a[4], a[5]);
}

// printf and fprintf go on to the C library's vfprintf (they count as
// themselves, not as vfprintf).
int printf(const char* format, ...) {
    rtprobe_note(&probed_printf);
    va_list arguments;
    va_start(arguments, format);
    const int written = ((__typeof__(&vfprintf))forward_of(&probed_vfprintf))(stdout, format, arguments);
    va_end(arguments);
    return written;
}

int fprintf(FILE* f, const char* format, ...) {
    rtprobe_note(&probed_fprintf);
    va_list arguments;
    va_start(arguments, format);
    const int written = ((__typeof__(&vfprintf))forward_of(&probed_vfprintf))(f, format, arguments);
    va_end(arguments);
    return written;
}

// The 64 forms that code built for large files calls: on a 64-bit system
// the same calls, counted under the plain names.
__typeof__(open) open64 __attribute__((alias("open")));
__typeof__(openat) openat64 __attribute__((alias("openat")));
__typeof__(creat) creat64 __attribute__((alias("creat")));
__typeof__(pread) pread64 __attribute__((alias("pread")));
__typeof__(pwrite) pwrite64 __attribute__((alias("pwrite")));
__typeof__(mmap) mmap64 __attribute__((alias("mmap")));
__typeof__(fopen) fopen64 __attribute__((alias("fopen")));
