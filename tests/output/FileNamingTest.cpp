#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>

#include "output/FileNaming.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "support/TempFolder.h"

namespace {

using testsupport::TempFolder;

const platform::FixedClock kDec7({2026, 12, 7, 10, 0, 0});

std::string Next(const TempFolder& dir, const char* base = "Scan", const char* ext = ".JPEG",
                 const platform::IClock& clock = kDec7) {
    platform::PosixFileSystem fs;
    return output::MakeSequencedFileName(dir.path(), base, ext, clock, fs);
}

TEST(MakeSequencedFileName, EmptyOrMissingFolderStartsAt0001) {
    TempFolder dir;
    EXPECT_EQ(Next(dir), dir / "Scan(2026-12-7)0001.JPEG");
    platform::PosixFileSystem fs;
    EXPECT_EQ(output::MakeSequencedFileName(dir / "missing/", "Scan", ".PDF", kDec7, fs),
              dir / "missing/Scan(2026-12-7)0001.PDF");
}

TEST(MakeSequencedFileName, CaseIgnoredAndGapsNotReused) {
    TempFolder dir;
    dir.Write("Scan(2026-12-7)0001.JPEG", "");
    dir.Write("scan(2026-12-7)0003.jpeg", "");
    EXPECT_EQ(Next(dir), dir / "Scan(2026-12-7)0004.JPEG");
}

TEST(MakeSequencedFileName, OtherDaysExtensionsBasesAndFormsIgnored) {
    TempFolder dir;
    for (const char* name : {"Scan(2026-12-8)0009.JPEG", "Scan(2026-12-7)0008.PDF", "Other(2026-12-7)0007.JPEG",
                             "Scan(2026-12-7)12345.JPEG", "Scan(2026-12-7)0007 copy.JPEG", "Scan(2026-12-7)00a6.JPEG"})
        dir.Write(name, "");
    EXPECT_EQ(Next(dir), dir / "Scan(2026-12-7)0001.JPEG");
    platform::FixedClock dec8({2026, 12, 8, 0, 0, 1});
    EXPECT_EQ(Next(dir, "Scan", ".JPEG", dec8), dir / "Scan(2026-12-8)0010.JPEG");
}

TEST(MakeSequencedFileName, OnlyDigitsBeforeFirstDotCount) {
    TempFolder dir;
    dir.Write("Scan(2026-12-7)12.4.JPEG", "");
    EXPECT_EQ(Next(dir), dir / "Scan(2026-12-7)0013.JPEG");
}

TEST(MakeSequencedFileName, FoldersCountLikeFiles) {
    TempFolder dir;
    platform::PosixFileSystem fs;
    fs.CreateFolder(dir / "Scan(2026-12-7)0041.JPEG");
    EXPECT_EQ(Next(dir), dir / "Scan(2026-12-7)0042.JPEG");
}

TEST(MakeSequencedFileName, DateIsUnpadded) {
    TempFolder dir;
    platform::FixedClock jan5({2027, 1, 5, 0, 0, 0});
    EXPECT_EQ(Next(dir, "Doc", ".PDF", jan5), dir / "Doc(2027-1-5)0001.PDF");
    platform::FixedClock dec25({2026, 12, 25, 0, 0, 0});
    EXPECT_EQ(Next(dir, "Doc", ".TIFF", dec25), dir / "Doc(2026-12-25)0001.TIFF");
}

TEST(MakeSequencedFileName, FullSeriesRaises) {
    TempFolder dir;
    dir.Write("Scan(2026-12-7)9998.JPEG", "");
    EXPECT_EQ(Next(dir), dir / "Scan(2026-12-7)9999.JPEG");
    dir.Write("Scan(2026-12-7)9999.JPEG", "");
    try {
        Next(dir);
        FAIL() << "no range error";
    } catch (const std::range_error& e) {
        EXPECT_STREQ(e.what(), "The number bigger than 9999");
    }
}

TEST(MakeSequencedFileName, ExtensionWithoutDotAndLongDigitRuns) {
    TempFolder dir;
    // With a digit-only extension every character is read as the number: such a series is full.
    dir.Write("Scan(2026-12-7)000100000000000", "");
    EXPECT_THROW(Next(dir, "Scan", "00000000000"), std::range_error);
}

} // namespace
