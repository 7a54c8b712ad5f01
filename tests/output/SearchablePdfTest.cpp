#include <gtest/gtest.h>

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstdlib>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "Pages.h"
#include "codec/Bmp.h"
#include "output/ImageCompressioner.h"
#include "output/OutputHost.h"
#include "output/TextRecognizer.h"
#include "platform/Services.h"
#include "support/TempFolder.h"

namespace {

using codec::PixelFormat;
using testsupport::TempFolder;

constexpr int kDpi = 300;

struct DrawnWord {
    std::string text;
    double left, top, right, bottom; // page points, from the top
};

// Known text drawn at 300 dpi in a large clean font: the page as the scanner would hand
// it over, and where each word was drawn.
struct TextPage {
    codec::Image image;
    std::vector<DrawnWord> words;
    std::string text; // the lines, words separated by one space
};

// Fonts need the application object; one for the whole run (offscreen platform).
void EnsureGuiApplication() {
    static int argc = 1;
    static char name[] = "ocr_tests";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
}

TextPage DrawPage(const std::vector<std::string>& lines, PixelFormat format) {
    EnsureGuiApplication();
    const int width = 2000, height = 160 + 140 * static_cast<int>(lines.size());
    QImage canvas(width, height, QImage::Format_RGB888);
    canvas.fill(Qt::white);
    QFont font("DejaVu Sans");
    font.setPixelSize(64);
    QPainter painter(&canvas);
    painter.setFont(font);
    painter.setPen(format == PixelFormat::Bgr24 ? QColor(20, 30, 120) : QColor(Qt::black));
    const QFontMetrics metrics(font);
    TextPage page;
    const double toPoints = 72.0 / kDpi;
    for (size_t l = 0; l < lines.size(); ++l) {
        const int baseline = 140 + 140 * static_cast<int>(l);
        std::istringstream words(lines[l]);
        std::string word;
        int x = 100;
        while (words >> word) {
            const QString q = QString::fromStdString(word);
            painter.drawText(x, baseline, q);
            const QRect ink = metrics.boundingRect(q).translated(x, baseline);
            page.words.push_back({word, ink.left() * toPoints, ink.top() * toPoints, (ink.right() + 1) * toPoints,
                                  (ink.bottom() + 1) * toPoints});
            x += metrics.horizontalAdvance(q + ' ');
        }
        page.text += (l ? "\n" : "") + lines[l];
    }
    painter.end();

    codec::Image& out = page.image;
    out.Allocate(width, height, format);
    out.xDpi = out.yDpi = kDpi;
    for (int y = 0; y < height; ++y) {
        const uchar* in = canvas.constScanLine(y);
        uint8_t* row = out.Row(y);
        if (format == PixelFormat::Bilevel1) std::fill(row, row + out.RowBytes(), 0);
        for (int x = 0; x < width; ++x) {
            const uchar* p = in + 3 * x;
            const int grey = (299 * p[0] + 587 * p[1] + 114 * p[2]) / 1000;
            if (format == PixelFormat::Bgr24) {
                row[3 * x] = p[2], row[3 * x + 1] = p[1], row[3 * x + 2] = p[0];
            } else if (format == PixelFormat::Gray8) {
                row[x] = static_cast<uint8_t>(grey);
            } else if (grey < 128) {
                row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
            }
        }
    }
    return page;
}

// Levenshtein distance, for the share of characters recognised wrongly.
size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t up = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = up;
        }
    }
    return row[b.size()];
}

// Runs of blanks (spaces, line and page breaks) as one space, trimmed.
std::string Collapse(const std::string& text) {
    std::string out;
    for (char c : text) {
        const bool blank = c == ' ' || c == '\n' || c == '\r' || c == '\f' || c == '\t';
        if (blank) {
            if (!out.empty() && out.back() != ' ') out += ' ';
        } else {
            out += c;
        }
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

class SearchablePdf : public ::testing::Test {
protected:
    void SetUp() override {
        output::EnableTextRecognition();
        output::SetWorkingFolderProvider([this] { return dir_ / "work/"; });
        platform::FileSystem().CreateFolder(dir_ / "work");
        platform::FileSystem().CreateFolder(dir_ / "temp");
    }
    void TearDown() override { output::SetWorkingFolderProvider(nullptr); }

    // Encodes the pages into one PDF and returns its path.
    std::string Encode(const std::vector<const codec::Image*>& pages, int colourMode, int kind,
                       const std::string& languages, const std::string& name) {
        output::CompressionRequest r;
        r.tempFolder = dir_ / "temp/";
        r.saveFolder = dir_ / "out/";
        r.fileName = name;
        r.tempExtension = ".BMP";
        r.colourMode = colourMode;
        r.compressionKind = kind;
        r.compressionLevel = 30;
        r.ocrLanguages = languages;
        auto e = output::CreateImageCompressioner("Multi-page PDF");
        EXPECT_EQ(e->Begin(r), 0);
        for (const codec::Image* page : pages) {
            codec::SaveBmp(*page, e->TempPageName());
            EXPECT_EQ(e->AddPage(e->TempPageName()), 0);
        }
        EXPECT_EQ(e->Finish(), 0);
        return e->OutputName();
    }

    TempFolder dir_;
};

struct ModeRow {
    PixelFormat format;
    int colourMode, kind;
    const char* name;
    const char* language = "eng";
};

// Two pages of known text for a language.
std::vector<std::vector<std::string>> TextFor(const std::string& language) {
    if (language == "rus")
        return {{"Счёт номер 40721 от поставщика", "Итого к оплате: 1234,56 рубля"},
                {"Быстрая коричневая лиса прыгает", "через ленивую собаку"}};
    return {{"Invoice number 40721 from Acme", "Total amount due: 1,234.56 EUR"},
            {"The quick brown fox jumps", "over the lazy dog"}};
}
void PrintTo(const ModeRow& r, std::ostream* os) { *os << r.name; }

class SearchableModes : public SearchablePdf, public ::testing::WithParamInterface<ModeRow> {};

// The text layer gives the drawn words, in reading order, each over its drawn place;
// the file passes the validators and looks exactly as it does without the layer.
TEST_P(SearchableModes, WordsFoundInOrderOverTheirBoxesAndPageLooksTheSame) {
    const ModeRow& row = GetParam();
    if (!output::OcrLanguagesInstalled(row.language))
        GTEST_SKIP() << "the recognition data of '" << row.language << "' is not installed";
    const auto texts = TextFor(row.language);
    const TextPage first = DrawPage(texts[0], row.format);
    const TextPage second = DrawPage(texts[1], row.format);
    const std::string plain = Encode({&first.image, &second.image}, row.colourMode, row.kind, "", "Plain");
    const std::string searchable = Encode({&first.image, &second.image}, row.colourMode, row.kind, row.language, "Ocr");

    std::string out;
    EXPECT_EQ(testpages::Run("qpdf --check '" + searchable + "' 2>&1", &out), 0) << out;
    EXPECT_EQ(testpages::Run("pdffonts '" + searchable + "' 2>&1", &out), 0) << out;
    EXPECT_EQ(out.find("rror"), std::string::npos) << out;
    EXPECT_NE(out.find("Type 3"), std::string::npos) << out;

    // Reading order and characters, page by page.
    const TextPage* pages[2] = {&first, &second};
    for (int p = 0; p < 2; ++p) {
        const std::string n = std::to_string(p + 1);
        ASSERT_EQ(testpages::Run("pdftotext -f " + n + " -l " + n + " '" + searchable + "' -", &out), 0);
        const std::string got = Collapse(out), want = Collapse(pages[p]->text);
        EXPECT_LE(EditDistance(got, want), want.size() / 50) << "got: " << got << "\nwant: " << want;
    }

    // Each word where it was drawn, within a twentieth of an inch.
    ASSERT_EQ(testpages::Run("pdftotext -f 1 -l 1 -bbox '" + searchable + "' -", &out), 0);
    const std::regex wordPattern(
        "<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"([0-9.]+)\" yMax=\"([0-9.]+)\">([^<]*)</word>");
    std::vector<DrawnWord> found;
    for (auto it = std::sregex_iterator(out.begin(), out.end(), wordPattern); it != std::sregex_iterator(); ++it)
        found.push_back({(*it)[5], std::stod((*it)[1]), std::stod((*it)[2]), std::stod((*it)[3]), std::stod((*it)[4])});
    const double tolerance = 3.6;
    int placed = 0;
    for (const DrawnWord& drawn : first.words) {
        const auto match =
            std::find_if(found.begin(), found.end(), [&](const DrawnWord& w) { return w.text == drawn.text; });
        if (match == found.end()) continue; // a misread word is counted by the text check above
        ++placed;
        // Across, the word spans what was drawn; up and down it lies within the line's
        // box (a word without ascenders is lower than the font's ascent).
        EXPECT_NEAR(match->left, drawn.left, tolerance) << drawn.text;
        EXPECT_NEAR(match->right, drawn.right, tolerance) << drawn.text;
        EXPECT_GE(match->top, drawn.top - tolerance) << drawn.text;
        EXPECT_LE(match->bottom, drawn.bottom + tolerance) << drawn.text;
        EXPECT_GT(match->bottom - match->top, (drawn.bottom - drawn.top) / 2) << drawn.text;
    }
    EXPECT_GE(placed, static_cast<int>(first.words.size()) - 1);

    // Rendered, both files give the same pixels; the images are stored byte for byte alike.
    const std::string render = "cd '" + dir_.path() + "' && pdftoppm -r 50 -gray ";
    ASSERT_EQ(testpages::Run(render + "'" + plain + "' plain && " + render + "'" + searchable + "' ocr"), 0);
    ASSERT_EQ(testpages::Run("cd '" + dir_.path() + "' && pdfimages -all '" + plain + "' pimg && pdfimages -all '" +
                             searchable + "' oimg"),
              0);
    for (const char* page : {"1", "2"}) {
        const std::string a = testpages::ReadFile(dir_ / ("plain-" + std::string(page) + ".pgm"));
        ASSERT_FALSE(a.empty());
        EXPECT_TRUE(a == testpages::ReadFile(dir_ / ("ocr-" + std::string(page) + ".pgm"))) << "page " << page;
    }
    std::vector<std::string> names;
    platform::FileSystem().ListFolder(dir_.path(), names);
    int images = 0;
    for (const auto& name : names) {
        if (name.rfind("pimg-", 0) != 0) continue;
        ++images;
        const std::string a = testpages::ReadFile(dir_ / name);
        EXPECT_TRUE(!a.empty() && a == testpages::ReadFile(dir_ / ("oimg-" + name.substr(5)))) << name;
    }
    EXPECT_GE(images, 2); // the fax-coded images come with their parameters
}

INSTANTIATE_TEST_SUITE_P(Modes, SearchableModes,
                         ::testing::Values(ModeRow{PixelFormat::Bgr24, 0, 2, "colour"},
                                           ModeRow{PixelFormat::Gray8, 1, 1, "grey"},
                                           ModeRow{PixelFormat::Bilevel1, 2, 2, "blackwhite_g4"},
                                           ModeRow{PixelFormat::Gray8, 1, 2, "grey_russian", "rus"}),
                         [](const auto& row) { return std::string(row.param.name); });

// A page on which nothing is recognised gets no text layer: the file is the one written
// without recognition, byte for byte.
TEST_F(SearchablePdf, PageWithoutWordsIsWrittenAsWithoutRecognition) {
    codec::Image blank;
    testpages::MakePage(blank, 300, 200, PixelFormat::Gray8, kDpi, 1);
    for (int y = 0; y < blank.height; ++y) std::fill(blank.Row(y), blank.Row(y) + blank.width, uint8_t(255));
    const std::string plain = Encode({&blank}, 1, 2, "", "Plain");
    const std::string searchable = Encode({&blank}, 1, 2, "eng", "Ocr");
    const std::string a = testpages::ReadFile(plain);
    ASSERT_FALSE(a.empty());
    EXPECT_TRUE(a == testpages::ReadFile(searchable));
}

// Cancelling while pages wait for recognition leaves no document and no working file;
// a finished job keeps only its document.
TEST_F(SearchablePdf, CancelLeavesNothingAndFinishLeavesOnlyTheDocument) {
    const TextPage page = DrawPage({"Cancelled before it was read", "and nothing of it stays"}, PixelFormat::Bgr24);
    for (const bool cancel : {true, false}) {
        output::CompressionRequest r;
        r.tempFolder = dir_ / "temp/";
        r.saveFolder = dir_ / "out/";
        r.fileName = cancel ? "Cancelled" : "Kept";
        r.tempExtension = ".BMP";
        r.colourMode = 0;
        r.compressionKind = 2;
        r.ocrLanguages = "eng";
        auto e = output::CreateImageCompressioner("Multi-page PDF");
        ASSERT_EQ(e->Begin(r), 0);
        for (int i = 0; i < 3; ++i) {
            codec::SaveBmp(page.image, e->TempPageName());
            ASSERT_EQ(e->AddPage(e->TempPageName()), 0);
        }
        if (cancel) {
            e->Abandon();
        } else {
            ASSERT_EQ(e->Finish(), 0);
        }
        std::vector<std::string> names;
        for (const char* folder : {"temp/", "work/", "out/"}) {
            std::vector<std::string> listed;
            platform::FileSystem().ListFolder(dir_ / folder, listed);
            for (const auto& n : listed)
                if (n != "." && n != "..") names.push_back(folder + n);
        }
        if (cancel) {
            EXPECT_TRUE(names.empty()) << names.front();
        } else {
            ASSERT_EQ(names.size(), 1u) << names.front();
            std::string out;
            ASSERT_EQ(testpages::Run("pdftotext '" + (dir_ / names[0]) + "' -", &out), 0);
            EXPECT_EQ(Collapse(out).size(), 3 * Collapse(page.text).size() + 2) << out; // three pages, form feeds
        }
    }
}

// The command line makes the same searchable file, and refuses a language it lacks.
TEST_F(SearchablePdf, CommandLineEncodeWithOcr) {
    const TextPage page = DrawPage({"Searchable from the command line"}, PixelFormat::Gray8);
    const std::string bmp = dir_ / "page.bmp";
    ASSERT_EQ(codec::SaveBmp(page.image, bmp), codec::Status::Ok);
    const std::string cli = "'" + testsupport::ProgramFolder() + "scanner-utility-cli' encode --type PDF --colour 1 ";
    std::string out;
    ASSERT_EQ(testpages::Run(cli + "--ocr eng --out '" + dir_.path() + "/cli' '" + bmp + "'", &out), 0);
    const std::string pdf = out.substr(0, out.find('\n'));
    ASSERT_EQ(testpages::Run("pdftotext '" + pdf + "' -", &out), 0);
    EXPECT_LE(EditDistance(Collapse(out), page.text), page.text.size() / 50) << out;
    EXPECT_EQ(testpages::Run(cli + "--ocr eng+xx-not-there --out '" + dir_.path() + "/cli' '" + bmp + "' 2>&1", &out),
              2);
    EXPECT_NE(out.find("not installed"), std::string::npos) << out;
    EXPECT_EQ(testpages::Run(cli.substr(0, cli.find(" --type")) + " --type JPEG --ocr eng --out '" + dir_.path() +
                             "/cli' '" + bmp + "' 2>&1"),
              2);
}

TEST(OcrLanguages, InstalledListHasEnglishAndNoOrientationData) {
    const auto languages = output::InstalledOcrLanguages();
    EXPECT_NE(std::find(languages.begin(), languages.end(), "eng"), languages.end());
    EXPECT_EQ(std::find(languages.begin(), languages.end(), "osd"), languages.end());
    EXPECT_TRUE(output::OcrLanguagesInstalled("eng"));
    EXPECT_FALSE(output::OcrLanguagesInstalled("eng+xx-not-there"));
    EXPECT_FALSE(output::OcrLanguagesInstalled(""));
}

} // namespace
