#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "Pages.h"
#include "core/Ids.h"
#include "output/PdfPageWriter.h"
#include "support/Locales.h"
#include "support/TempFolder.h"

namespace {

using output::PdfPageWriter;
using testsupport::TempFolder;

// Where "N 0 obj" starts, found by searching the file (independently of the writer's
// own counting).
long long OffsetOf(const std::string& pdf, int number) {
    const std::string marker = std::to_string(number) + " 0 obj\r\n";
    size_t at = pdf.find("\n" + marker);
    return at == std::string::npos ? -1 : static_cast<long long>(at + 1);
}

// Checks the table and trailer against the file itself: subsection "0 N", 20-byte
// entries pointing at their objects, the trailer's size and startxref.
void ExpectTableMatchesFile(const std::string& pdf, int entries) {
    const size_t line = pdf.rfind("\r\nxref\r\n");
    ASSERT_NE(line, std::string::npos);
    const size_t xref = line + 2;
    std::string expected = "xref\r\n0 " + std::to_string(entries) + "\r\n0000000000 65535 f\r\n";
    for (int i = 1; i < entries; ++i) {
        char entry[32];
        std::snprintf(entry, sizeof entry, "%010lld 00000 n\r\n", OffsetOf(pdf, i));
        ASSERT_EQ(std::string(entry).size(), 20u);
        ASSERT_GT(OffsetOf(pdf, i), 0) << "object " << i;
        expected += entry;
    }
    expected += "trailer\r\n<</Size " + std::to_string(entries) + "\r\n/Root 1 0 R>>\r\nstartxref\r\n" +
                std::to_string(xref) + "\r\n%%EOF";
    EXPECT_EQ(pdf.substr(xref), expected);
}

// One colour page with placeholder image data; the file's bytes.
std::string OnePageDocument(const std::string& path) {
    PdfPageWriter writer;
    writer.SetFileName(path);
    if (!writer.Open()) return {};
    writer.SetColourKind(core::ColourKind::Colour);
    writer.SetPageSize(1700, 2200);
    writer.SetResolution(200);
    writer.SetCompressed(1);
    if (!writer.BeginPage(-1)) return {};
    writer.WriteImageData("JPEGDATA", 8);
    writer.EndImage();
    return writer.Finish() ? testpages::ReadFile(path) : std::string();
}

// A program whose C library formats numbers with a decimal comma (as an application
// object sets it from the user's environment) writes the very same bytes.
TEST(PdfPageWriter, DecimalCommaLocaleChangesNoByte) {
    TempFolder dir;
    const std::string reference = OnePageDocument(dir / "c.pdf");
    ASSERT_NE(reference.find(" 1.000000 0 0 1.000000 0 0 cm"), std::string::npos);
    const std::string locale = testsupport::DecimalCommaLocale();
    ASSERT_FALSE(locale.empty()) << "no locale with a decimal comma (install the locales package)";
    testsupport::ProcessLocale german(locale);
    ASSERT_TRUE(german.active());
    ASSERT_EQ(testsupport::ProcessLocale::DecimalPoint(), ",");
    EXPECT_EQ(OnePageDocument(dir / "comma.pdf"), reference);
}

TEST(PdfPageWriter, WorkedExampleOnePageIsByteExact) {
    TempFolder dir;
    PdfPageWriter writer;
    writer.SetFileName(dir / "one.pdf");
    ASSERT_TRUE(writer.Open());
    writer.SetColourKind(core::ColourKind::Colour);
    writer.SetPageSize(1700, 2200);
    writer.SetResolution(200);
    writer.SetCompressed(1);
    ASSERT_TRUE(writer.BeginPage(-1));
    writer.WriteImageData("JPEGDATA", 8);
    writer.EndImage();
    ASSERT_TRUE(writer.Finish());
    const std::string pdf = testpages::ReadFile(dir / "one.pdf");

    const std::string content =
        "q\r\n612 0 0 792 0 0 cm\r\n1 0 0 1 0 0 cm\r\n 1.000000 0 0 1.000000 0 0 cm\r\n/Im0 Do\r\nQ";
    const std::string body =
        "%PDF-1.5\r\n"
        "5 0 obj\r\n<</Type /Page\r\n/Parent 3 0 R\r\n/MediaBox [0 0 612 792]\r\n/CropBox[0 0 612 792]/Contents 6 0 R\r\n"
        "/Resources<</XObject<</Im0 9 0 R>>/ProcSet 8 0 R>>\r\n>>endobj\r\n"
        "6 0 obj\r\n<</Length 7 0 R>>\r\nstream\r\n" +
        content +
        "\r\nendstream\r\nendobj\r\n"
        "7 0 obj\r\n" +
        std::to_string(content.size()) +
        "\r\nendobj\r\n"
        "8 0 obj\r\n[/PDF /ImageC]\r\nendobj\r\n"
        "9 0 obj\r\n<</Type /XObject\r\n/Subtype /Image\r\n/Width 1700\r\n/Height 2200\r\n/BitsPerComponent 8\r\n"
        "/ColorSpace /DeviceRGB\r\n/Filter /DCTDecode\r\n/Length 10 0 R\r\n>>\r\nstream\r\nJPEGDATA"
        "\r\nendstream\r\nendobj\r\n"
        "10 0 obj\r\n8\r\nendobj\r\n"
        "11 0 obj\r\n[5 0 R ]\r\nendobj\r\n"
        "12 0 obj\r\n1\r\nendobj\r\n"
        "1 0 obj\r\n<</Type /Catalog\r\n/OutLins 2 0 R\r\n/Pages 3 0 R>>\r\nendobj\r\n"
        "2 0 obj\r\n<</Type /OutLines\r\n/Count  0>>\r\nendobj\r\n"
        "3 0 obj\r\n<</Type /Pages\r\n/Kids 11 0 R\r\n/Count 12 0 R>>\r\nendobj\r\n"
        "4 0 obj\r\nnull\r\nendobj\r\n";
    ASSERT_GE(pdf.size(), body.size());
    EXPECT_EQ(pdf.substr(0, body.size()), body);
    ExpectTableMatchesFile(pdf, 13);
    EXPECT_EQ(writer.bytesWritten(), static_cast<long long>(pdf.size()));
    EXPECT_EQ(pdf.find('\n'), pdf.find("\r\n") + 1) << "line ends are CR LF";
}

TEST(PdfPageWriter, EmptyDocumentHasSevenEntries) {
    TempFolder dir;
    PdfPageWriter writer;
    writer.SetFileName(dir / "empty.pdf");
    ASSERT_TRUE(writer.Open());
    writer.SetColourKind(core::ColourKind::BlackWhite);
    ASSERT_TRUE(writer.Finish());
    const std::string pdf = testpages::ReadFile(dir / "empty.pdf");
    const std::string start = "%PDF-1.5\r\n5 0 obj\r\n[]\r\nendobj\r\n6 0 obj\r\n0\r\nendobj\r\n1 0 obj";
    EXPECT_EQ(pdf.substr(0, start.size()), start);
    EXPECT_NE(pdf.find("/Kids 5 0 R\r\n/Count 6 0 R>>"), std::string::npos);
    ExpectTableMatchesFile(pdf, 7);
}

struct BoxRow {
    int width, height, dpi;
    const char* box;
};

void PrintTo(const BoxRow& r, std::ostream* os) { *os << r.width << "x" << r.height << "@" << r.dpi; }

class PageBoxes : public ::testing::TestWithParam<BoxRow> {};

TEST_P(PageBoxes, BoxFromPixelsAndResolution) {
    TempFolder dir;
    PdfPageWriter writer;
    writer.SetFileName(dir / "box.pdf");
    ASSERT_TRUE(writer.Open());
    writer.SetColourKind(core::ColourKind::Grey);
    writer.SetPageSize(GetParam().width, GetParam().height);
    writer.SetResolution(GetParam().dpi);
    writer.SetCompressed(1);
    ASSERT_TRUE(writer.BeginPage(-1));
    writer.EndImage();
    ASSERT_TRUE(writer.Finish());
    const std::string pdf = testpages::ReadFile(dir / "box.pdf");
    EXPECT_NE(pdf.find(std::string("/MediaBox [0 0 ") + GetParam().box + "]"), std::string::npos) << pdf.substr(0, 200);
    EXPECT_NE(pdf.find(std::string("/CropBox[0 0 ") + GetParam().box + "]"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Table, PageBoxes,
                         ::testing::Values(BoxRow{850, 1100, 100, "612 792"}, BoxRow{2550, 3300, 300, "612 792"},
                                           BoxRow{1000, 1000, 150, "480 480"}, BoxRow{2480, 3508, 300, "595 841"},
                                           BoxRow{1700, 2200, 200, "612 792"}));

struct ImageHeadRow {
    int colourMode, compressed, k, components;
    const char* head; // from "/BitsPerComponent" up to "stream"
    const char* procSet;
};

void PrintTo(const ImageHeadRow& r, std::ostream* os) {
    *os << "mode" << r.colourMode << "_c" << r.compressed << "_k" << r.k << "_n" << r.components;
}

class ImageHeads : public ::testing::TestWithParam<ImageHeadRow> {};

TEST_P(ImageHeads, FilterAndColourSpace) {
    const ImageHeadRow& row = GetParam();
    TempFolder dir;
    PdfPageWriter writer;
    writer.SetFileName(dir / "head.pdf");
    ASSERT_TRUE(writer.Open());
    writer.SetColourKind(core::FromEncoderColour(row.colourMode));
    if (row.components) writer.SetImageComponents(row.components);
    writer.SetPageSize(64, 32);
    writer.SetResolution(100);
    writer.SetCompressed(row.compressed);
    ASSERT_TRUE(writer.BeginPage(row.k));
    writer.EndImage();
    ASSERT_TRUE(writer.Finish());
    const std::string pdf = testpages::ReadFile(dir / "head.pdf");
    const size_t at = pdf.find("/BitsPerComponent");
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(pdf.substr(at, pdf.find("stream\r\n", at) + 8 - at), row.head);
    EXPECT_NE(pdf.find(row.procSet), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ImageHeads,
    ::testing::Values(
        ImageHeadRow{
            0, 1, -1, 0,
            "/BitsPerComponent 8\r\n/ColorSpace /DeviceRGB\r\n/Filter /DCTDecode\r\n/Length 10 0 R\r\n>>\r\nstream\r\n",
            "[/PDF /ImageC]"},
        // Grey pages carry one-component JPEG data and declare it.
        ImageHeadRow{
            1, 1, -1, 0,
            "/BitsPerComponent 8\r\n/ColorSpace /DeviceGray\r\n/Filter /DCTDecode\r\n/Length 10 0 R\r\n>>\r\nstream\r\n",
            "[/PDF /ImageB]"},
        ImageHeadRow{
            1, 1, -1, 3,
            "/BitsPerComponent 8\r\n/ColorSpace /DeviceRGB\r\n/Filter /DCTDecode\r\n/Length 10 0 R\r\n>>\r\nstream\r\n",
            "[/PDF /ImageB]"},
        ImageHeadRow{2, 1, -1, 0,
                     "/BitsPerComponent 1\r\n/ColorSpace /DeviceGray\r\n/Filter /CCITTFaxDecode\r\n"
                     "/DecodeParms <</K -1/Columns 64/Rows 32 /BlackIs1 false>> /Length 10 0 R\r\n>>\r\nstream\r\n",
                     "[/PDF /ImageB]"},
        ImageHeadRow{2, 1, 0, 0,
                     "/BitsPerComponent 1\r\n/ColorSpace /DeviceGray\r\n/Filter /CCITTFaxDecode\r\n"
                     "/DecodeParms <</K 0/Columns 64 /EndOfLine true /EncodedByteAlign true /EndOfBlock false "
                     "/DamagedRowsBeforeError 32>> /Length 10 0 R\r\n>>\r\nstream\r\n",
                     "[/PDF /ImageB]"},
        // Black and white without compression: no filter line at all.
        ImageHeadRow{2, 0, -1, 0,
                     "/BitsPerComponent 1\r\n/ColorSpace /DeviceGray\r\n/Length 10 0 R\r\n>>\r\nstream\r\n",
                     "[/PDF /ImageB]"}));

TEST(PdfPageWriter, SmallOffsetsHaveTenDigits) {
    TempFolder dir;
    PdfPageWriter writer;
    writer.SetFileName(dir / "t.pdf");
    ASSERT_TRUE(writer.Open());
    writer.SetColourKind(core::ColourKind::Colour);
    writer.SetPageSize(10, 10);
    writer.SetResolution(72);
    writer.SetCompressed(1);
    ASSERT_TRUE(writer.BeginPage(-1));
    std::string data(1234, 'x');
    writer.WriteImageData(data.data(), data.size());
    writer.EndImage();
    ASSERT_TRUE(writer.Finish());
    const std::string pdf = testpages::ReadFile(dir / "t.pdf");
    // Object 5 follows the 10-byte header.
    EXPECT_NE(pdf.find("0000000010 00000 n\r\n"), std::string::npos);
    EXPECT_NE(pdf.find("10 0 obj\r\n1234\r\nendobj"), std::string::npos);
}

TEST(PdfPageWriter, UncreatableFileAndFailedWritesAreReported) {
    PdfPageWriter missing;
    missing.SetFileName("/nonexistent-folder/x.pdf");
    EXPECT_FALSE(missing.Open());
    EXPECT_FALSE(missing.Finish());

    // /dev/full accepts the open and fails every write with "no space left".
    PdfPageWriter full;
    full.SetFileName("/dev/full");
    full.Open();
    full.SetColourKind(core::ColourKind::Colour);
    full.SetPageSize(100, 100);
    full.SetResolution(100);
    full.BeginPage(-1);
    std::string data(200000, 'x');
    full.WriteImageData(data.data(), data.size());
    full.EndImage();
    EXPECT_TRUE(full.failed());
    EXPECT_FALSE(full.Finish());
}

} // namespace
