#include "platform/Memory.h"

#include <malloc.h>

namespace platform {

namespace {
// Covers an A4 colour page at 600 dpi (about 100 MiB) and anything smaller.
constexpr int kReuseLimit = 128 * 1024 * 1024;
} // namespace

bool KeepPageBuffersForReuse() {
    if (mallopt(M_MMAP_THRESHOLD, kReuseLimit) != 1) return false;
    // Freed page buffers at the top of the heap stay for the next page; the end of a
    // scan returns them (ReturnFreeMemory).
    return mallopt(M_TRIM_THRESHOLD, 2 * kReuseLimit) == 1;
}

void ReturnFreeMemory() { malloc_trim(0); }

} // namespace platform
