#include "store/engine/RowMemory.h"

#include <cstdlib>
#include <new>

#include <sys/mman.h>

namespace {

// Blocks from this size on get pages of their own: the size of a large page,
// so that every block of its own can be held in large pages.
constexpr size_t MappedFrom = size_t(2) << 20;

} // namespace

namespace RowMemory {

void *Grow(void *old, size_t oldBytes, bool oldMapped, size_t kept, size_t bytes, bool &mapped)
{
    if (bytes < MappedFrom) {
        void *block = std::realloc(old, bytes);
        if (!block)
            throw std::bad_alloc();
        mapped = false;
        return block;
    }
    if (oldMapped) {
        void *block = ::mremap(old, oldBytes, bytes, MREMAP_MAYMOVE);
        if (block == MAP_FAILED)
            throw std::bad_alloc();
        mapped = true;
        return block;
    }
    void *block = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED)
        throw std::bad_alloc();
    // Large pages where the system has them: a long list then costs a few
    // hundred page faults instead of thousands.
    ::madvise(block, bytes, MADV_HUGEPAGE);
    if (kept)
        std::memcpy(block, old, kept);
    std::free(old);
    mapped = true;
    return block;
}

void Release(void *block, size_t bytes, bool mapped)
{
    if (mapped)
        ::munmap(block, bytes);
    else
        std::free(block);
}

} // namespace RowMemory
