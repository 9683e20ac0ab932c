// Replaces the global allocation functions of the native test program with
// counting ones, so a test can prove that a stretch of code allocates nothing.
// Every form is replaced, the nothrow and aligned ones too: what one form
// allocates, another may free (a nothrow new[] is released by the plain
// delete[]), and all of them must take their memory from the same allocator.
#include "tests/alloc_counter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<std::size_t> count{0};

void* tryAllocate(std::size_t size) noexcept
{
    count.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size == 0 ? 1 : size);
}

void* tryAllocateAligned(std::size_t size, std::align_val_t alignment) noexcept
{
    count.fetch_add(1, std::memory_order_relaxed);
    const std::size_t a = static_cast<std::size_t>(alignment);
    // aligned_alloc wants a size that is a multiple of the alignment.
    return std::aligned_alloc(a, (size + a - 1) / a * a + (size == 0 ? a : 0));
}

void* allocate(std::size_t size)
{
    if (void* p = tryAllocate(size)) return p;
    throw std::bad_alloc();
}

void* allocateAligned(std::size_t size, std::align_val_t alignment)
{
    if (void* p = tryAllocateAligned(size, alignment)) return p;
    throw std::bad_alloc();
}
} // namespace

namespace test {
std::size_t allocationCount() { return count.load(std::memory_order_relaxed); }
} // namespace test

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return tryAllocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return tryAllocate(size); }
void* operator new(std::size_t size, std::align_val_t a) { return allocateAligned(size, a); }
void* operator new[](std::size_t size, std::align_val_t a) { return allocateAligned(size, a); }
void* operator new(std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept
{
    return tryAllocateAligned(size, a);
}
void* operator new[](std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept
{
    return tryAllocateAligned(size, a);
}

void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
