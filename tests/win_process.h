#pragma once
// What this Windows process holds, for tests that check an instance or an
// editor leaves nothing behind: heap bytes, committed memory, GDI objects
// and windows. Windows only; measure from one thread while no other
// allocates.
#include <windows.h>
#include <psapi.h>

#include <cstddef>
#include <cstdint>

namespace win_process {

// Bytes in use in every heap of the process (the C runtime's among them),
// to the byte: what the blocks were asked for, not what the heap committed.
inline std::size_t heapBytes() {
    HANDLE heaps[64];
    const DWORD count = GetProcessHeaps(64, heaps);
    std::size_t total = 0;
    for (DWORD i = 0; i < count && i < 64; ++i) {
        HeapLock(heaps[i]);
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heaps[i], &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) total += entry.cbData;
        HeapUnlock(heaps[i]);
    }
    return total;
}

// Memory committed by the process (what wine reports of it too).
inline std::size_t committedBytes() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    return counters.PagefileUsage;
}

// GDI objects of the process. Where the system does not count them
// (GetGuiResources answers 0 under wine), the live handles are counted by
// asking the type of every handle slot.
inline DWORD gdiObjects() {
    const DWORD counted = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (counted != 0) return counted;
    DWORD live = 0;
    for (std::uintptr_t slot = 1; slot < 0x10000; ++slot)
        if (GetObjectType(reinterpret_cast<HGDIOBJ>(slot)) != 0) ++live;
    return live;
}

// Windows of this process, top-level ones and all their descendants.
inline int windowCount() {
    struct Counter {
        static BOOL CALLBACK child(HWND, LPARAM count) {
            ++*reinterpret_cast<int*>(count);
            return TRUE;
        }
        static BOOL CALLBACK topLevel(HWND w, LPARAM count) {
            DWORD process = 0;
            GetWindowThreadProcessId(w, &process);
            if (process != GetCurrentProcessId()) return TRUE;
            ++*reinterpret_cast<int*>(count);
            EnumChildWindows(w, &child, count);
            return TRUE;
        }
    };
    int count = 0;
    EnumWindows(&Counter::topLevel, reinterpret_cast<LPARAM>(&count));
    return count;
}

} // namespace win_process
