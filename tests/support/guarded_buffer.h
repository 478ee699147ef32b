// A buffer whose last byte sits right before an inaccessible page, so a read one byte past it
// crashes the test instead of passing silently.
#pragma once
#include <cstddef>
#include <sys/mman.h>
#include <unistd.h>

struct GuardedBuffer {
    explicit GuardedBuffer(size_t size) : page(static_cast<size_t>(sysconf(_SC_PAGESIZE))) {
        base = static_cast<char *>(mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        mprotect(base + page, page, PROT_NONE);
        data = base + page - size;
    }
    ~GuardedBuffer() { munmap(base, 2 * page); }
    size_t page;
    char *base;
    char *data;
};
