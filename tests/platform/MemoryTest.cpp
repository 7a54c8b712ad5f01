// Page-sized buffers under the heap settings that scanning programs use: one page's
// buffer is reused by the next page instead of being mapped afresh, and the memory goes
// back to the system at the end of a scan. Checked through the C library's own counts.
#include <gtest/gtest.h>

#include <malloc.h>

#include <cstdlib>
#include <cstring>

#include "platform/Memory.h"

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kOwnAllocator = true; // the sanitizer's allocator ignores these settings
#else
constexpr bool kOwnAllocator = false;
#endif

void* volatile keep; // keeps the compiler from eliding the allocations

void* Page(std::size_t bytes) {
    void* p = std::malloc(bytes);
    if (p) std::memset(p, 0x5A, bytes); // as a scan fills it
    keep = p;
    return p;
}

// Colour pages as a scanner delivers them: A4 at 300 dpi, A3 at 300 dpi, A4 at 600 dpi.
class PageBufferMemory : public ::testing::TestWithParam<std::size_t> {};

TEST_P(PageBufferMemory, TheNextPageReusesTheBlockAndTheEndOfAScanGivesItBack) {
    if (kOwnAllocator) GTEST_SKIP() << "the C library's allocator is replaced in this build";
    ASSERT_TRUE(platform::KeepPageBuffersForReuse());
    const std::size_t kPageBytes = GetParam();

    const std::size_t mappedBefore = mallinfo2().hblkhd;
    void* first = Page(kPageBytes);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(mallinfo2().hblkhd, mappedBefore) << "the page was mapped on its own, not taken from the heap";
    std::free(first);

    void* second = Page(kPageBytes);
    EXPECT_EQ(second, first) << "the next page did not reuse the freed block";
    std::free(second);

    const std::size_t heapBefore = mallinfo2().arena;
    ASSERT_GE(heapBefore, kPageBytes);
    platform::ReturnFreeMemory();
    EXPECT_LT(mallinfo2().arena, heapBefore - kPageBytes / 2) << "the freed page stayed in the process";
}

INSTANTIATE_TEST_SUITE_P(ColourPages, PageBufferMemory,
                         ::testing::Values(std::size_t(2480) * 3507 * 3, std::size_t(3507) * 4960 * 3,
                                           std::size_t(4960) * 7015 * 3));

} // namespace
