// The guard-page calls a test uses (mmap, mprotect, munmap), for the Windows build of the tests:
// anonymous private mappings only, on VirtualAlloc.
#pragma once
#include <cstddef>
#include <windows.h>

#define PROT_NONE 0
#define PROT_READ 1
#define PROT_WRITE 2
#define MAP_PRIVATE 2
#define MAP_ANONYMOUS 0x20
#define MAP_FAILED ((void *)-1)

inline void *mmap(void *, size_t length, int, int, int, long) {
    void *memory = VirtualAlloc(nullptr, length, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    return memory ? memory : MAP_FAILED;
}
inline int mprotect(void *address, size_t length, int protection) {
    DWORD previous;
    const DWORD mode = protection == PROT_NONE ? PAGE_NOACCESS : PAGE_READWRITE;
    return VirtualProtect(address, length, mode, &previous) ? 0 : -1;
}
inline int munmap(void *address, size_t) { return VirtualFree(address, 0, MEM_RELEASE) ? 0 : -1; }
