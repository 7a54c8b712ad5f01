// Memory of large page buffers: mapped directly, in huge pages where the system has
// them, and handed back to the system when the page goes, except for the one block
// kept for the next page of a running feeder run.
//
// Through malloc, a page of tens of megabytes freed while the next one was being read
// came back a little further along in the heap, with small blocks settled between:
// each page then touched memory its predecessor had not, and a ten-page run held up
// to twice the memory its two live pages needed.
#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <new>

#include "scancontrol/PageImage.h"

namespace scancontrol {
namespace {

constexpr std::size_t kHuge = std::size_t{2} << 20;

std::size_t Rounded(std::size_t bytes) { return (bytes + kHuge - 1) & ~(kHuge - 1); }

// A mapping of `length` bytes (a multiple of kHuge) that begins on a huge-page boundary.
void* MapAligned(std::size_t length) {
    const std::size_t span = length + kHuge;
    void* raw = ::mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    const std::uintptr_t begin = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = (begin + kHuge - 1) & ~(kHuge - 1);
    if (aligned > begin) ::munmap(raw, aligned - begin);
    const std::uintptr_t end = begin + span, used = aligned + length;
    if (end > used) ::munmap(reinterpret_cast<void*>(used), end - used);
    void* block = reinterpret_cast<void*>(aligned);
    ::madvise(block, length, MADV_HUGEPAGE); // a hint: without huge pages it still works
    return block;
}

// Blocks given back while other pages are still in use are kept for the next pages (a
// feeder run frees one page while the next ones are read, sometimes two at once); once
// no page is in use any more they go back to the system.
constexpr int kKept = 2;

struct Blocks {
    std::mutex mutex;
    int live = 0; // blocks handed out and not given back
    int most = 0; // the most live at once since the count was last reset
    int kept = 0;
    void* keptBlock[kKept] = {};
    std::size_t keptLength[kKept] = {};
};

Blocks& TheBlocks() {
    static Blocks* blocks = new Blocks; // never ends: pages may go after static destruction
    return *blocks;
}

} // namespace

void* AllocatePageMemory(std::size_t bytes) {
    const std::size_t length = Rounded(bytes);
    Blocks& b = TheBlocks();
    void* block = nullptr;
    {
        std::lock_guard<std::mutex> lock(b.mutex);
        for (int i = 0; i < b.kept; ++i) {
            if (b.keptLength[i] != length) continue;
            block = b.keptBlock[i];
            --b.kept;
            b.keptBlock[i] = b.keptBlock[b.kept];
            b.keptLength[i] = b.keptLength[b.kept];
            break;
        }
        ++b.live;
        b.most = std::max(b.most, b.live);
    }
    if (!block) block = MapAligned(length);
    if (!block) {
        std::lock_guard<std::mutex> lock(b.mutex);
        --b.live;
        throw std::bad_alloc();
    }
    return block;
}

void FreePageMemory(void* block, std::size_t bytes) {
    const std::size_t length = Rounded(bytes);
    Blocks& b = TheBlocks();
    void* drop[kKept + 1] = {block};
    std::size_t dropLength[kKept + 1] = {length};
    int drops = 1;
    {
        std::lock_guard<std::mutex> lock(b.mutex);
        --b.live;
        if (b.live > 0 && b.kept < kKept) {
            b.keptBlock[b.kept] = block; // the next page takes it as it is, already in memory
            b.keptLength[b.kept] = length;
            ++b.kept;
            drops = 0;
        } else if (b.live == 0) {
            for (int i = 0; i < b.kept; ++i) { // the run is over
                drop[drops] = b.keptBlock[i];
                dropLength[drops] = b.keptLength[i];
                ++drops;
            }
            b.kept = 0;
        }
    }
    for (int i = 0; i < drops; ++i) ::munmap(drop[i], dropLength[i]);
}

int PageMemoryMostInUse(bool reset) {
    Blocks& b = TheBlocks();
    std::lock_guard<std::mutex> lock(b.mutex);
    const int most = b.most;
    if (reset) b.most = b.live;
    return most;
}

} // namespace scancontrol
