// Page memory: blocks of their own for large page buffers, kept for the next page while
// other pages are in use and given back to the system once none is.
#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cerrno>
#include <cstdint>
#include <vector>

#include "scancontrol/PageImage.h"

namespace {

using scancontrol::AllocatePageMemory;
using scancontrol::FreePageMemory;

constexpr std::size_t kPage = 25u << 20; // an A4 300-dpi colour page, about

bool Mapped(void* block) {
    unsigned char in;
    return ::mincore(block, 4096, &in) == 0 || errno != ENOMEM;
}

void* Used(std::size_t bytes) {
    auto* block = static_cast<std::uint8_t*>(AllocatePageMemory(bytes));
    block[0] = 1;
    block[bytes - 1] = 2; // all of it is there
    return block;
}

TEST(PageMemory, TheNextPageTakesTheBlockOfOneThatWent) {
    scancontrol::PageMemoryMostInUse(true);
    void* first = Used(kPage);
    void* second = Used(kPage);
    FreePageMemory(first, kPage);
    EXPECT_TRUE(Mapped(first)) << "kept while the second page is in use";
    void* third = Used(kPage);
    EXPECT_EQ(third, first);
    void* other = Used(kPage / 3); // another size takes a block of its own
    EXPECT_NE(other, first);
    EXPECT_EQ(scancontrol::PageMemoryMostInUse(), 3);
    for (void* block : {second, third}) FreePageMemory(block, kPage);
    FreePageMemory(other, kPage / 3);
    for (void* block : {first, second, other}) EXPECT_FALSE(Mapped(block)) << "given back once no page is in use";
}

TEST(PageMemory, APageAloneIsGivenBackAtOnceAndAtMostTwoAreKept) {
    void* alone = Used(kPage);
    FreePageMemory(alone, kPage);
    EXPECT_FALSE(Mapped(alone));

    std::vector<void*> blocks;
    for (int i = 0; i < 4; ++i) blocks.push_back(Used(kPage));
    for (int i = 0; i < 3; ++i) FreePageMemory(blocks[static_cast<std::size_t>(i)], kPage);
    EXPECT_TRUE(Mapped(blocks[0]));
    EXPECT_TRUE(Mapped(blocks[1]));
    EXPECT_FALSE(Mapped(blocks[2])) << "a third block is not kept";
    FreePageMemory(blocks[3], kPage);
    for (void* block : blocks) EXPECT_FALSE(Mapped(block));
}

// A copy of a page has its rows; the JPEG data in the making stays with the original.
TEST(PageMemory, ACopiedPageHasTheRowsOnly) {
    struct Made : scancontrol::PageJpeg {
        const codec::JpegData* Data() const override { return nullptr; }
    };
    scancontrol::PageImage page = scancontrol::PageImage::Blank(2000, 800, 8, 300); // 1.6 MB: page memory
    page.jpeg = std::make_unique<Made>();
    const scancontrol::PageImage copy = page;
    EXPECT_EQ(copy.pixels, page.pixels);
    EXPECT_NE(copy.pixels.data(), page.pixels.data());
    EXPECT_EQ(copy.jpeg, nullptr);
    scancontrol::PageImage moved = std::move(page);
    EXPECT_NE(moved.jpeg, nullptr);
    EXPECT_EQ(moved.pixels, copy.pixels);
}

} // namespace
