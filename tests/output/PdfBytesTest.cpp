#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "Pages.h"
#include "output/ImageCompressioner.h"
#include "output/OutputHost.h"
#include "platform/Services.h"
#include "support/TempFolder.h"

namespace {

// FNV-1a, 64 bits: a fingerprint of a whole file.
uint64_t Fingerprint(const std::string& bytes) {
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : bytes) hash = (hash ^ c) * 1099511628211ull;
    return hash;
}

struct BytesRow {
    int colourMode, kind;
    uint64_t fingerprint; // of the document the encoder wrote before searchable PDFs existed
};
void PrintTo(const BytesRow& r, std::ostream* os) { *os << "mode" << r.colourMode << "_kind" << r.kind; }

class PdfWithoutRecognition : public ::testing::TestWithParam<BytesRow> {
protected:
    void SetUp() override {
        output::SetWorkingFolderProvider([this] { return dir_ / "work/"; });
        platform::FileSystem().CreateFolder(dir_ / "work");
        platform::FileSystem().CreateFolder(dir_ / "temp");
    }
    void TearDown() override { output::SetWorkingFolderProvider(nullptr); }
    testsupport::TempFolder dir_;
};

// Without recognition every document is byte for byte the one written before the option
// existed (fingerprints taken from that writer on the same pages).
TEST_P(PdfWithoutRecognition, DocumentIsByteIdenticalToTheImageOnlyWriter) {
    const BytesRow& row = GetParam();
    const codec::PixelFormat format = row.colourMode == 0   ? codec::PixelFormat::Bgr24
                                      : row.colourMode == 1 ? codec::PixelFormat::Gray8
                                                            : codec::PixelFormat::Bilevel1;
    output::CompressionRequest r;
    r.tempFolder = dir_ / "temp/";
    r.saveFolder = dir_ / "out/";
    r.fileName = "Scan";
    r.tempExtension = ".BMP";
    r.colourMode = row.colourMode;
    r.compressionKind = row.kind;
    r.compressionLevel = 30;
    auto e = output::CreateImageCompressioner("Multi-page PDF");
    ASSERT_EQ(e->Begin(r), 0);
    const int widths[2] = {640, 333}, heights[2] = {480, 517};
    for (unsigned i = 0; i < 2; ++i) {
        testpages::WriteBmpPage(e->TempPageName(), widths[i], heights[i], format, 200, i + 7);
        ASSERT_EQ(e->AddPage(e->TempPageName()), 0);
    }
    ASSERT_EQ(e->Finish(), 0);
    const std::string bytes = testpages::ReadFile(e->OutputName());
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(Fingerprint(bytes), row.fingerprint) << "0x" << std::hex << Fingerprint(bytes);
}

INSTANTIATE_TEST_SUITE_P(Modes, PdfWithoutRecognition,
                         ::testing::Values(BytesRow{0, 0, 0xa25f2e5f89dec701ull}, BytesRow{0, 1, 0x33c110547f3eaaabull},
                                           BytesRow{0, 2, 0xcac75bdae20286aaull}, BytesRow{1, 0, 0x7478d31e7c99c1dfull},
                                           BytesRow{1, 1, 0xfcd9e6774cf43846ull}, BytesRow{1, 2, 0xaba2063e4d589da5ull},
                                           BytesRow{2, 0, 0xa09e9c0141709b82ull}, BytesRow{2, 1, 0x4589c4ad499ae1f1ull},
                                           BytesRow{2, 2, 0xe7be5919e2c85717ull}));

} // namespace
