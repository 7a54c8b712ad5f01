// Fax printing: the page checks and the fit-to-page rule on their own, then the fax
// handler against a private print server with a fax queue whose backend stores each
// job's document. Documents are checked with tools we did not write (pdfinfo,
// pdfimages, pdftoppm).
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>

#include "core/Texts.h"
#include "delivery/DestinationHandlers.h"
#include "delivery/FaxPrinting.h"
#include "platform/Process.h"
#include "support/CupsServer.h"
#include "support/PdfRender.h"
#include "support/RecordingMessageBox.h"
#include "support/TempFolder.h"

namespace {

using namespace delivery;
using testsupport::CupsQueue;
using testsupport::CupsServer;
using testsupport::CupsTestPage;
using testsupport::TempFolder;

constexpr int kJobCanceled = 7, kJobCompleted = 9;

void Put32(std::string& s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
void Put16(std::string& s, size_t at, uint16_t v) {
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>(v >> 8);
}

// A black 1-bit bitmap file; `headerSize` 40 (height negative when top-down) or 12.
std::string BlackBitmap(int width, int height, bool topDown = false, uint32_t headerSize = 40) {
    const size_t stride = ((static_cast<size_t>(width) + 31) / 32) * 4;
    const size_t paletteEntry = headerSize == 12 ? 3 : 4;
    const size_t offset = 14 + headerSize + 2 * paletteEntry;
    std::string f(offset + stride * static_cast<size_t>(height), '\0');
    f[0] = 'B';
    f[1] = 'M';
    Put32(f, 2, static_cast<uint32_t>(f.size()));
    Put32(f, 10, static_cast<uint32_t>(offset));
    Put32(f, 14, headerSize);
    if (headerSize == 12) {
        Put16(f, 18, static_cast<uint16_t>(width));
        Put16(f, 20, static_cast<uint16_t>(height));
        Put16(f, 22, 1);
        Put16(f, 24, 1);
    } else {
        Put32(f, 18, static_cast<uint32_t>(width));
        Put32(f, 22, static_cast<uint32_t>(topDown ? -height : height));
        Put16(f, 26, 1);
        Put16(f, 28, 1);
    }
    // Palette: entry 0 black, entry 1 white; every pixel uses entry 0.
    const size_t palette = 14 + headerSize;
    for (size_t i = 0; i < 3; ++i) f[palette + paletteEntry + i] = static_cast<char>(0xFF);
    return f;
}

const uint8_t* Bytes(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

// ---- the rules on their own --------------------------------------------------------------

struct FitCase {
    PixelSize image, area, drawn;
};

class FitRule : public ::testing::TestWithParam<FitCase> {};

TEST_P(FitRule, KeepsProportionsAndFillsOneSide) {
    const FitCase& c = GetParam();
    const PixelSize drawn = FitToPrintableArea(c.image, c.area);
    EXPECT_EQ(drawn.width, c.drawn.width);
    EXPECT_EQ(drawn.height, c.drawn.height);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FitRule,
    ::testing::Values(FitCase{{200, 100}, {4800, 6600}, {4800, 2400}}, FitCase{{100, 200}, {4800, 6600}, {3300, 6600}},
                      FitCase{{1654, 2339}, {1600, 1000}, {707, 1000}},
                      FitCase{{4800, 6600}, {4800, 6600}, {4800, 6600}}, FitCase{{3, 3}, {1000, 999}, {999, 999}},
                      FitCase{{0, 100}, {1000, 999}, {0, 0}}, FitCase{{100, 100}, {0, 999}, {0, 0}}),
    [](const ::testing::TestParamInfo<FitCase>& p) {
        const FitCase& c = p.param;
        return std::to_string(c.image.width) + "x" + std::to_string(c.image.height) + "_in_" +
               std::to_string(c.area.width) + "x" + std::to_string(c.area.height);
    });

struct BitmapCase {
    const char* name;
    std::string file;
    bool valid;
    PixelSize size;
};

void PrintTo(const BitmapCase& c, std::ostream* out) { *out << c.name; }

class BitmapChecks : public ::testing::TestWithParam<BitmapCase> {};

TEST_P(BitmapChecks, AcceptOnlyWholeBitmapFiles) {
    const BitmapCase& c = GetParam();
    PixelSize size;
    ASSERT_EQ(ReadFaxBitmapSize(Bytes(c.file), c.file.size(), size), c.valid);
    if (!c.valid) return;
    EXPECT_EQ(size.width, c.size.width);
    EXPECT_EQ(size.height, c.size.height);
}

std::string WithSizeField(std::string f, uint32_t size) {
    Put32(f, 2, size);
    return f;
}

INSTANTIATE_TEST_SUITE_P(
    Table, BitmapChecks,
    ::testing::Values(BitmapCase{"bottom_up", BlackBitmap(200, 100), true, {200, 100}},
                      BitmapCase{"top_down_negative_height", BlackBitmap(200, 100, true), true, {200, 100}},
                      BitmapCase{"old_core_header", BlackBitmap(30, 70, false, 12), true, {30, 70}},
                      BitmapCase{"size_field_too_small", WithSizeField(BlackBitmap(8, 8), 70), false, {}},
                      BitmapCase{"size_field_too_large", BlackBitmap(8, 8) + "x", false, {}},
                      BitmapCase{"not_bm", "PK" + BlackBitmap(8, 8).substr(2), false, {}},
                      BitmapCase{"empty", "", false, {}},
                      BitmapCase{"header_cut_short", WithSizeField(BlackBitmap(8, 8).substr(0, 20), 20), false, {}}),
    [](const ::testing::TestParamInfo<BitmapCase>& p) { return std::string(p.param.name); });

TEST(PrintableArea, FromTheQueuesPageMarginsAndResolution) {
    FaxPageGeometry g;
    g.mediaWidth = 612;
    g.mediaLength = 792;
    g.left = g.right = 18;
    g.top = g.bottom = 36;
    g.xDpi = 200;
    g.yDpi = 100;
    PrintableArea a = PrintableAreaOf(g);
    EXPECT_EQ(a.pixels.width, 1600);  // 8 inches
    EXPECT_EQ(a.pixels.height, 1000); // 10 inches
    // A queue that states no resolution is taken at the fax resolution.
    g.xDpi = g.yDpi = 0;
    a = PrintableAreaOf(g);
    EXPECT_EQ(a.xDpi, 204);
    EXPECT_EQ(a.yDpi, 196);
    EXPECT_EQ(a.pixels.width, 1632);
    EXPECT_EQ(a.pixels.height, 1960);
}

// ---- against a print server --------------------------------------------------------------

std::string Tool(const std::vector<std::string>& argv) {
    std::string out;
    return platform::CaptureOutput(argv, out, 60000) ? out : std::string("FAILED");
}

int PageCount(const std::string& pdf) {
    const std::string info = Tool({"pdfinfo", pdf});
    const size_t at = info.find("Pages:");
    return at == std::string::npos ? -1 : std::atoi(info.c_str() + at + 6);
}

class FaxToServer : public ::testing::Test {
protected:
    void SetUp() override { core::SetMessageBox(box); }
    void TearDown() override { core::SetMessageBox(nullptr); }
    // A plain queue listed first, then the fax queue.
    void StartServer(std::vector<CupsQueue> queues = {{"aaa-plain", false}, {"fax", true}}, bool refuse = false) {
        std::string why;
        if (!server.Start(queues, &why, refuse)) GTEST_SKIP() << "no private print server: " << why;
    }
    std::string Page(const std::string& name, const std::string& content) { return files.Write(name, content); }

    std::shared_ptr<testsupport::RecordingMessageBox> box = std::make_shared<testsupport::RecordingMessageBox>();
    TempFolder files;
    CupsServer server;
};

TEST_F(FaxToServer, ChoosesTheFirstQueueThatCanFax) {
    StartServer();
    FaxHandler fax;
    EXPECT_EQ(fax.PlatformClass(), 6);
    ASSERT_TRUE(fax.FindFaxPrinter()) << server.Log();
    EXPECT_EQ(fax.FaxPrinterName(), "fax");
    EXPECT_EQ(fax.LastError(), 0);
    EXPECT_EQ(fax.PlatformClass(), 5);
}

// One page per job: the image lands at the top-left corner of the printable area,
// scaled by the fit rule. The queue prints 200 x 100 dpi, so its printable area of
// 8 x 10 inches is 1600 x 1000 device pixels.
struct PlacementCase {
    const char* name;
    int width, height;
    bool topDown;
    testsupport::DarkBox expected; // in device pixels of the whole page
};

void PrintTo(const PlacementCase& c, std::ostream* out) { *out << c.name; }

class FaxPlacement : public FaxToServer, public ::testing::WithParamInterface<PlacementCase> {};

TEST_P(FaxPlacement, ImageAtTopLeftScaledByTheFitRule) {
    const PlacementCase& c = GetParam();
    StartServer();
    FaxHandler fax;
    ASSERT_FALSE(fax.RefuseScan()) << fax.LastError() << "\n" << server.Log();
    EXPECT_EQ(fax.PrintableSize().width, 1600);
    EXPECT_EQ(fax.PrintableSize().height, 1000);
    fax.OnPageSaved(Page("page.bmp", BlackBitmap(c.width, c.height, c.topDown)));
    fax.OnScanFinished(files / "page.bmp");
    EXPECT_EQ(fax.LastError(), 0);
    const auto documents = server.Documents("fax", 1);
    ASSERT_EQ(documents.size(), 1u) << server.Log();
    EXPECT_EQ(PageCount(documents[0]), 1);
    const std::string info = Tool({"pdfinfo", documents[0]});
    EXPECT_NE(info.find("Title:           printer"), std::string::npos) << info;
    EXPECT_TRUE(server.Documents("aaa-plain", 0).empty());
    // Rendered at the queue's resolution, device pixels and rendered pixels agree.
    const testsupport::DarkBox drawn = testsupport::RenderDarkBox(documents[0], 1, 200, 100, files / "render");
    EXPECT_NEAR(drawn.left, c.expected.left, 1);
    EXPECT_NEAR(drawn.top, c.expected.top, 1);
    EXPECT_NEAR(drawn.right, c.expected.right, 1);
    EXPECT_NEAR(drawn.bottom, c.expected.bottom, 1);
}

// The printable area starts 18 points (50 pixels at 200 dpi) from the left and 36 points
// (50 pixels at 100 dpi) from the top.
INSTANTIATE_TEST_SUITE_P(Table, FaxPlacement,
                         ::testing::Values(PlacementCase{"wide_fills_the_width", 200, 100, false, {50, 50, 1650, 850}},
                                           PlacementCase{"tall_fills_the_height", 100, 200, false, {50, 50, 550, 1050}},
                                           PlacementCase{"top_down_bitmap", 200, 100, true, {50, 50, 1650, 850}}),
                         [](const ::testing::TestParamInfo<PlacementCase>& p) { return std::string(p.param.name); });

// Each page is printed when it is saved: its file may be gone right after.
TEST_F(FaxToServer, PagesArePrintedAsTheyAreSavedInOrder) {
    StartServer();
    FaxHandler fax;
    ASSERT_FALSE(fax.RefuseScan()) << server.Log();
    const int widths[] = {200, 100, 300};
    for (int width : widths) {
        const std::string page = Page("page.bmp", BlackBitmap(width, 100));
        fax.OnPageSaved(page);
        ASSERT_EQ(::unlink(page.c_str()), 0);
        EXPECT_EQ(fax.LastError(), 0);
    }
    fax.OnScanFinished(files / "page.bmp");
    EXPECT_EQ(fax.LastError(), 0);
    const auto documents = server.Documents("fax", 1);
    ASSERT_EQ(documents.size(), 1u) << server.Log();
    EXPECT_EQ(PageCount(documents[0]), 3);
    // pdfimages lists one image a page, in page order: the widths in scan order.
    std::istringstream list(Tool({"pdfimages", "-list", documents[0]}));
    std::string line;
    std::getline(list, line);
    std::getline(list, line);
    for (int width : widths) {
        ASSERT_TRUE(std::getline(list, line));
        std::istringstream row(line);
        std::string page, num, type, w;
        row >> page >> num >> type >> w;
        EXPECT_EQ(w, std::to_string(width)) << line;
    }
    EXPECT_EQ(server.EndedJobStates("fax"), std::vector<int>{kJobCompleted});
}

// A page file that is no valid bitmap: -15, no later page is printed, and the job is
// withdrawn at the server (nothing reaches the fax software).
TEST_F(FaxToServer, InvalidPageCancelsTheJob) {
    StartServer();
    FaxHandler fax;
    ASSERT_FALSE(fax.RefuseScan()) << server.Log();
    fax.OnPageSaved(Page("1.bmp", BlackBitmap(200, 100)));
    EXPECT_EQ(fax.LastError(), 0);
    fax.OnPageSaved(Page("2.bmp", BlackBitmap(200, 100) + "trailing bytes the size field does not count"));
    EXPECT_EQ(fax.LastError(), kFaxBadPageFile);
    EXPECT_FALSE(fax.JobOpen());
    EXPECT_FALSE(fax.PrintPage(Page("3.bmp", BlackBitmap(200, 100))));
    fax.OnScanFinished(files / "3.bmp");
    EXPECT_EQ(fax.LastError(), kFaxBadPageFile);
    EXPECT_EQ(server.EndedJobStates("fax"), std::vector<int>{kJobCanceled}) << server.Log();
    EXPECT_TRUE(server.Documents("fax", 0).empty());
    EXPECT_TRUE(box->texts.empty()) << "page failures show no message";
}

// A scan that ends without a page, or a handler dropped with its job open (the scan
// failed before it finished): the job is withdrawn, no empty fax is sent.
class FaxWithoutPages : public FaxToServer, public ::testing::WithParamInterface<bool> {};

TEST_P(FaxWithoutPages, WithdrawsTheJob) {
    const bool finished = GetParam();
    StartServer();
    {
        FaxHandler fax;
        ASSERT_FALSE(fax.RefuseScan()) << server.Log();
        EXPECT_EQ(server.JobStates("fax").size(), 1u) << "the job exists from the start of the scan";
        if (finished) fax.OnScanFinished(files / "none.bmp");
        EXPECT_EQ(fax.LastError(), 0);
    }
    EXPECT_EQ(server.EndedJobStates("fax"), std::vector<int>{kJobCanceled}) << server.Log();
    EXPECT_TRUE(server.Documents("fax", 0).empty());
}

INSTANTIATE_TEST_SUITE_P(Ends, FaxWithoutPages, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& p) {
                             return std::string(p.param ? "ScanFinished" : "HandlerDropped");
                         });

// Initialisation failures: message 116, the scan refused with the fax error, no job.
struct RefusalCase {
    const char* name;
    std::vector<CupsQueue> queues; // empty: no server at all
    bool refuseListing;
    int error;
};

void PrintTo(const RefusalCase& c, std::ostream* out) { *out << c.name; }

class FaxRefusal : public FaxToServer, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(FaxRefusal, ShowsMessage116AndRefuses) {
    const RefusalCase& c = GetParam();
    // Without a server of its own the test sees none (the test main names a socket
    // no server listens on).
    if (!c.queues.empty()) StartServer(c.queues, c.refuseListing);
    FaxHandler fax;
    EXPECT_TRUE(fax.RefuseScan());
    EXPECT_EQ(fax.LastError(), c.error);
    ASSERT_EQ(box->texts.size(), 1u);
    EXPECT_EQ(box->texts[0], "Fax Initialize Failed.");
    EXPECT_FALSE(fax.JobOpen());
    for (const auto& q : c.queues) EXPECT_TRUE(server.JobStates(q.name).empty()) << q.name;
}

INSTANTIATE_TEST_SUITE_P(
    Table, FaxRefusal,
    ::testing::Values(RefusalCase{"no_server", {}, false, kFaxNoPrinter},
                      RefusalCase{"no_fax_queue", {{"aaa-plain", false}, {"other", false}}, false, kFaxNoPrinter},
                      RefusalCase{"queues_not_listed", {{"fax", true}}, true, kFaxNoPrinterList}),
    [](const ::testing::TestParamInfo<RefusalCase>& p) { return std::string(p.param.name); });

} // namespace
