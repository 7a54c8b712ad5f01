// Whole scans through the headless entry against the SANE test backend: the real
// control, settings, encoders and handlers, from a provisioned user folder. Output
// files are checked with tools we did not write.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "delivery/FaxPrinting.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "settings/ProductData.h"
#include "settings/Profile.h"
#include "support/CupsServer.h"
#include "support/Locales.h"
#include "support/PdfRender.h"
#include "support/SlowScanner.h"
#include "support/TempFolder.h"

namespace {

using testsupport::TempFolder;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) lines.push_back(line);
    return lines;
}

// Runs a tool we did not write; its standard output, or "" when it failed.
std::string Tool(const std::vector<std::string>& argv) {
    std::string out;
    return platform::CaptureOutput(argv, out, 120000) ? out : std::string("FAILED");
}

class ScanTo : public ::testing::Test {
protected:
    void SetUp() override {
        settings::ForgetCurrentSourceName();
        sets = settings::UserSettingsFilePath(); // provisions the user's Sets.dat
        ASSERT_FALSE(sets.empty());
        for (const char* section : {"Application1", "Application2", "Folder"}) {
            Set(section, "Savefolder", out.path());
            Set(section, "Resolution", "75");
            Set(section, "Papersize", "A5");
            Set(section, "Colormode", "Gray");
            Set(section, "Scanmethod", "Flatbed");
        }
        Set("Folder", "Openfileoption", "false");
        // The recorder stands for the user's application: it notes its working folder and
        // arguments, one line per start.
        recorder =
            tools.Write("recorder", "#!/bin/sh\nprintf '%s|%s\\n' \"$PWD\" \"$*\" >> \"" + tools.path() + "starts\"\n");
        ::chmod(recorder.c_str(), 0755);
        for (const char* section : {"Application1", "Application2"}) {
            Set(section, "ListMapping", "1|Recorder|" + recorder + "|");
            Set(section, "AppListID", "1");
            Set(section, "Appexepath", recorder);
            Set(section, "AppName", "Recorder");
        }
    }
    void Set(const std::string& section, const std::string& key, const std::string& value) {
        ASSERT_TRUE(settings::WriteProfileString(sets, section, key, value));
    }
    void UseFeeder(const std::string& section) {
        Set(section, "Scanmethod", "ADF");
        Set(section, "ScanmethodArr", "Flatbed|left|lr|off|-ADF|left|lr|off|-Auto|left|lr|off|-");
    }
    // Runs `scan --to`; the delivered paths.
    std::vector<std::string> Scan(const std::string& to, bool expectSuccess = true) {
        std::string stdoutText;
        bool ok = platform::CaptureOutput(
            {testsupport::ProgramFolder() + "scanner-utility-cli", "scan", "--to", to, "--source", "test:0"},
            stdoutText, 120000);
        EXPECT_EQ(ok, expectSuccess) << stdoutText;
        return Lines(stdoutText);
    }
    std::vector<std::string> Starts(size_t expected) {
        for (int i = 0; i < 400 && Lines(tools.Read("starts")).size() < expected; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        std::this_thread::sleep_for(std::chrono::milliseconds(100)); // no extra start may follow
        return Lines(tools.Read("starts"));
    }
    std::string Name(const std::string& path) const { return path.substr(path.find_last_of('/') + 1); }

    TempFolder out, tools;
    std::string sets, recorder;
};

TEST_F(ScanTo, FolderJpegIsNamedAndDecodes) {
    Set("Folder", "Savetype", "JPEG");
    auto files = Scan("folder");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].rfind(out.path() + "Scan(", 0), 0u) << files[0];
    EXPECT_EQ(files[0].substr(files[0].size() - 9), "0001.JPEG");
    EXPECT_NE(Tool({"djpeg", "-outfile", "/dev/null", files[0]}), "FAILED");
    // The second scan of the day takes the next number.
    auto again = Scan("folder");
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0].substr(again[0].size() - 9), "0002.JPEG");
}

TEST_F(ScanTo, FolderSinglePageTiff) {
    Set("Folder", "Savetype", "TIFF");
    Set("Folder", "TifCompression", "G4");
    auto files = Scan("folder");
    ASSERT_EQ(files.size(), 1u);
    std::string info = Tool({"tiffinfo", files[0]});
    EXPECT_NE(info.find("Image Width: 437"), std::string::npos) << info; // A5 at 75 dpi
    EXPECT_EQ(info.find("FAILED"), std::string::npos);
}

TEST_F(ScanTo, FeederToMultiPageTiffHoldsTenPages) {
    Set("Folder", "Savetype", "Multi-page TIFF");
    UseFeeder("Folder");
    auto files = Scan("folder");
    ASSERT_EQ(files.size(), 1u);
    std::string info = Tool({"tiffinfo", files[0]});
    size_t directories = 0;
    for (size_t at = info.find("TIFF Directory"); at != std::string::npos; at = info.find("TIFF Directory", at + 1))
        ++directories;
    EXPECT_EQ(directories, 10u) << info;
}

TEST_F(ScanTo, FeederToMultiPagePdfHoldsTenValidPages) {
    Set("Folder", "Savetype", "Multi-page PDF");
    UseFeeder("Folder");
    auto files = Scan("folder");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].substr(files[0].size() - 4), ".PDF");
    EXPECT_NE(Tool({"qpdf", "--check", files[0]}), "FAILED");
    auto images = Lines(Tool({"pdfimages", "-list", files[0]}));
    ASSERT_EQ(images.size(), 12u) << "two header lines and ten images";
    for (size_t i = 2; i < images.size(); ++i) {
        EXPECT_NE(images[i].find(" gray "), std::string::npos) << images[i];
        EXPECT_NE(images[i].find(" jpeg "), std::string::npos) << images[i];
    }
    std::vector<std::string> left;
    ASSERT_TRUE(platform::PosixFileSystem().ListFolder(out.path(), left));
    EXPECT_EQ(left.size(), 3u) << "only the document, no page files";
}

// A black-and-white image as pdfimages writes it (binary PBM).
struct Bitmap {
    int width = 0, height = 0;
    size_t stride = 0;
    std::string bits;
    bool Black(int x, int y) const {
        const auto byte =
            static_cast<unsigned char>(bits[static_cast<size_t>(y) * stride + static_cast<size_t>(x) / 8]);
        return (byte >> (7 - x % 8)) & 1;
    }
};

Bitmap ReadPbm(const std::string& path) {
    Bitmap b;
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    in >> magic >> b.width >> b.height;
    in.get(); // the single white space before the bits
    if (magic != "P4" || b.width <= 0 || b.height <= 0) return {};
    b.stride = (static_cast<size_t>(b.width) + 7) / 8;
    b.bits.resize(b.stride * static_cast<size_t>(b.height));
    in.read(&b.bits[0], static_cast<std::streamsize>(b.bits.size()));
    return in ? b : Bitmap{};
}

// One flatbed page saved as a single-page PDF: the colour mode and the compression
// choice decide how the page image is stored.
struct PdfCase {
    const char* colourMode;
    const char* compression;  // "colour and grey|black and white"
    const char* colourColumn; // as pdfimages -list names them
    const char* bits;
    const char* encoding;
};

void PrintTo(const PdfCase& c, std::ostream* out) { *out << c.colourMode << " " << c.compression; }

class ScanToPdf : public ScanTo, public ::testing::WithParamInterface<PdfCase> {};

TEST_P(ScanToPdf, FlatbedPageBecomesOneValidPdfOfThePageSize) {
    const PdfCase& c = GetParam();
    Set("Folder", "Savetype", "PDF");
    Set("Folder", "Colormode", c.colourMode);
    Set("Folder", "PDFCompression", c.compression);
    auto files = Scan("folder");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].substr(files[0].size() - 8), "0001.PDF") << files[0];
    EXPECT_NE(Tool({"qpdf", "--check", files[0]}), "FAILED");
    auto images = Lines(Tool({"pdfimages", "-list", files[0]}));
    ASSERT_EQ(images.size(), 3u) << "two header lines and one image";
    std::istringstream row(images[2]);
    std::string page, num, type, width, height, colour, components, bits, encoding;
    row >> page >> num >> type >> width >> height >> colour >> components >> bits >> encoding;
    EXPECT_EQ(width + "x" + height, "437x620"); // A5 at 75 dpi
    EXPECT_EQ(colour, c.colourColumn);
    EXPECT_EQ(bits, c.bits);
    EXPECT_EQ(encoding, c.encoding);
    // A5 in points, from the page's pixels and resolution.
    EXPECT_NE(Tool({"pdfinfo", files[0]}).find("Page size:       419 x 595 pts"), std::string::npos);
    // The page decodes without complaint from an independent renderer.
    EXPECT_EQ(Tool({"sh", "-c", "pdftoppm -r 30 -gray \"$1\" 2>&1 >/dev/null", "sh", files[0]}), "");
    // A compressed black-and-white page decodes to exactly the bits of the same page
    // stored uncompressed.
    if (std::string(c.colourMode) != "BW" || std::string(c.encoding) == "image") return;
    Set("Folder", "PDFCompression", "Middle|Raw");
    auto plain = Scan("folder");
    ASSERT_EQ(plain.size(), 1u);
    ASSERT_NE(Tool({"pdfimages", files[0], tools / "compressed"}), "FAILED");
    ASSERT_NE(Tool({"pdfimages", plain[0], tools / "plain"}), "FAILED");
    const Bitmap decoded = ReadPbm(tools / "compressed-000.pbm"), reference = ReadPbm(tools / "plain-000.pbm");
    ASSERT_EQ(reference.width, 437);
    ASSERT_EQ(decoded.width, reference.width);
    ASSERT_EQ(decoded.height, reference.height);
    size_t differing = 0;
    for (int y = 0; y < reference.height; ++y)
        for (int x = 0; x < reference.width; ++x) differing += decoded.Black(x, y) != reference.Black(x, y);
    EXPECT_EQ(differing, 0u) << "the compressed page decodes to other pixels";
}

INSTANTIATE_TEST_SUITE_P(ColourModes, ScanToPdf,
                         ::testing::Values(PdfCase{"Color", "Middle|G4", "rgb", "8", "jpeg"},
                                           PdfCase{"Gray", "High|G4", "gray", "8", "jpeg"},
                                           PdfCase{"BW", "Middle|G4", "gray", "1", "ccitt"},
                                           PdfCase{"BW", "Middle|G3", "gray", "1", "ccitt"},
                                           PdfCase{"BW", "Middle|Raw", "gray", "1", "image"}),
                         [](const ::testing::TestParamInfo<PdfCase>& param) {
                             std::string name = std::string(param.param.colourMode) + "_" + param.param.compression;
                             for (char& ch : name)
                                 if (ch == '|') ch = '_';
                             return name;
                         });

// A user whose locale writes numbers with a decimal comma gets a page that renders: the
// scan runs under an application object, which takes the C library's locale from LANG.
TEST_F(ScanTo, PdfRendersUnderADecimalCommaLocale) {
    const std::string locale = testsupport::DecimalCommaLocale();
    ASSERT_FALSE(locale.empty()) << "no locale with a decimal comma (install the locales package)";
    Set("Folder", "Savetype", "PDF");
    Set("Folder", "Colormode", "Color");
    std::vector<std::string> files;
    {
        testsupport::LocaleEnvironment german(locale);
        files = Scan("folder");
    }
    ASSERT_EQ(files.size(), 1u);
    const testsupport::Render render = testsupport::RenderFirstPage(files[0], tools / "render");
    EXPECT_EQ(render.complaints, "");
    // The test device's page is solid black: a blank render is a lost page.
    EXPECT_LT(render.darkest, 128) << "the page rendered blank";
}

// One run of the command line with its standard output, its standard error and its
// exit status. `prefix` goes before the program (a shell text, e.g. a namespace).
struct CliRun {
    int status = -1;
    std::string out, err;
};

CliRun RunCli(const TempFolder& scratch, const std::string& name, const std::string& arguments,
              const std::string& prefix = "") {
    const std::string command = prefix + "'" + testsupport::ProgramFolder() + "scanner-utility-cli' " + arguments +
                                " >'" + (scratch / (name + ".out")) + "' 2>'" + (scratch / (name + ".err")) + "'";
    CliRun run;
    const int raw = std::system(command.c_str());
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = scratch.Read(name + ".out");
    run.err = scratch.Read(name + ".err");
    return run;
}

// The last line of a text.
// The command's last word. A tear-down stuck on a lock a scanner backend's cancelled
// thread took with it is ended a few seconds later, and says so after it: that line
// is the process's, not the scan's.
std::string LastLine(const std::string& text) {
    auto lines = Lines(text);
    if (!lines.empty() && lines.back() == "the program did not end after its work was done; ending it now")
        lines.pop_back();
    return lines.empty() ? std::string() : lines.back();
}

// A folder watcher's view of a ten-page feeder scan: no name of the series shows a file
// before it is complete, and a file planted under the name the scan chose, while it
// runs, is never overwritten (the document takes the next number). A multi-page PDF is
// one document; a bitmap file type, written by the scanning control itself, and JPEG
// make one document a page.
struct WatchCase {
    const char* saveType;
    size_t documents;
};

void PrintTo(const WatchCase& c, std::ostream* out) { *out << c.saveType; }

class WatchedFolder : public ScanTo, public ::testing::WithParamInterface<WatchCase> {};

TEST_P(WatchedFolder, SeesOnlyCompleteDocuments) {
    Set("Folder", "Savetype", GetParam().saveType);
    Set("Folder", "Colormode", "Color");
    Set("Folder", "Resolution", "150");
    UseFeeder("Folder");
    std::atomic<bool> done{false};
    CliRun run;
    std::thread scan([&] {
        run = RunCli(tools, "watched", "scan --to folder --source test:0");
        done = true;
    });
    std::map<std::string, std::vector<long long>> seen; // visible name -> sizes observed
    std::string planted;
    const std::string plantedText = "a file that arrived while the scan ran";
    while (!done) {
        std::vector<std::string> names;
        platform::PosixFileSystem().ListFolder(out.path(), names);
        for (const auto& n : names) {
            if (n == "." || n == "..") continue;
            if (n[0] == '.') {
                // The scan's hidden working file names the final name it chose.
                // "." + name + "." + writer and random letters + ".part"
                const size_t part = n.rfind(".part");
                const size_t dot = part == std::string::npos || part == 0 ? std::string::npos : n.rfind('.', part - 1);
                if (planted.empty() && dot != std::string::npos && dot > 1) {
                    planted = n.substr(1, dot - 1);
                    std::ofstream(out / planted) << plantedText;
                }
                continue;
            }
            if (n == planted) continue;
            struct stat st {};
            if (::stat((out / n).c_str(), &st) == 0) seen[n].push_back(st.st_size);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    scan.join();
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_FALSE(planted.empty()) << "no hidden working file was seen while the scan ran";
    EXPECT_EQ(out.Read(planted), plantedText);
    const auto delivered = Lines(run.out);
    ASSERT_EQ(delivered.size(), GetParam().documents) << run.err;
    for (const auto& path : delivered) {
        EXPECT_NE(Name(path), planted) << "the planted file's name was reused";
        struct stat complete {};
        ASSERT_EQ(::stat(path.c_str(), &complete), 0) << path;
        for (long long size : seen[Name(path)]) EXPECT_EQ(size, complete.st_size) << path << " was seen incomplete";
    }
    for (const auto& [name, sizes] : seen) {
        EXPECT_NE(
            std::find_if(delivered.begin(), delivered.end(), [&](const std::string& p) { return Name(p) == name; }),
            delivered.end())
            << name << " was seen but not delivered";
    }
    if (GetParam().documents == 1) {
        EXPECT_NE(Tool({"pdfinfo", delivered[0]}).find("Pages:           10"), std::string::npos);
    }
    std::vector<std::string> left;
    platform::PosixFileSystem().ListFolder(out.path(), left);
    EXPECT_EQ(left.size(), 2u + 1u + GetParam().documents) << "the planted file, the documents and nothing else";
}

INSTANTIATE_TEST_SUITE_P(Types, WatchedFolder,
                         ::testing::Values(WatchCase{"Multi-page PDF", 1}, WatchCase{"BMP", 10}, WatchCase{"JPEG", 10}),
                         [](const ::testing::TestParamInfo<WatchCase>& p) {
                             std::string n = p.param.saveType;
                             for (char& c : n)
                                 if (c == ' ' || c == '-') c = '_';
                             return n;
                         });

// A feeder scan onto a full disk: the user learns that the document was not saved, and
// the system's reason, never "out of memory"; the command line ends with one line why.
struct FullDiskCase {
    const char* saveType;
    const char* colourMode;
};

void PrintTo(const FullDiskCase& c, std::ostream* out) { *out << c.saveType << " " << c.colourMode; }

class ScanToFullDisk : public ScanTo, public ::testing::WithParamInterface<FullDiskCase> {};

TEST_P(ScanToFullDisk, SaysWhy) {
    if (::geteuid() != 0) GTEST_SKIP() << "mounting a small file system needs root (CI runs as root)";
    Set("Folder", "Savetype", GetParam().saveType);
    Set("Folder", "Colormode", GetParam().colourMode);
    Set("Folder", "PDFCompression", "Middle|Raw");
    Set("Folder", "Resolution", "300");
    Set("Folder", "Papersize", "A4");
    UseFeeder("Folder");
    // A 64 KiB file system of the scan's own, in a mount namespace of its own.
    const CliRun run = RunCli(
        tools, "full", "scan --to folder --source test:0",
        "unshare -m sh -c 'mount -t tmpfs -o size=64k tmpfs \"$1\" && shift && exec \"$@\"' sh '" + out.path() + "' ");
    ASSERT_NE(run.err.find("mount"), 0u) << run.err;
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find(std::strerror(ENOSPC)), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find(std::strerror(ENOMEM)), std::string::npos) << run.err;
    EXPECT_EQ(LastLine(run.err).rfind("scanner-utility-cli: scan failed: ", 0), 0u) << run.err;
    EXPECT_NE(LastLine(run.err).find(std::strerror(ENOSPC)), std::string::npos) << run.err;
}

// A disk that fills after two one-page files: those two are delivered, the run stops
// feeding and fails saying why (it used to end with status 0, as if every page had
// been saved).
TEST_F(ScanTo, ADiskThatFillsMidFeederFailsTheRunAndKeepsTheSavedPages) {
    if (::geteuid() != 0) GTEST_SKIP() << "mounting a small file system needs root (CI runs as root)";
    Set("Folder", "Savetype", "JPEG");
    Set("Folder", "Colormode", "Color");
    Set("Folder", "Resolution", "300");
    Set("Folder", "Papersize", "A4");
    UseFeeder("Folder");
    // A colour A4 300-dpi page of the test device is about 3.3 MB as JPEG: two fit.
    const CliRun run = RunCli(tools, "fills", "scan --to folder --source test:0",
                              "unshare -m sh -c 'mount -t tmpfs -o size=8m tmpfs \"$1\" && shift && exec \"$@\"' sh '" +
                                  out.path() + "' ");
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(Lines(run.out).size(), 2u) << run.out << run.err;
    EXPECT_EQ(LastLine(run.err).rfind("scanner-utility-cli: scan failed: ", 0), 0u) << run.err;
    EXPECT_NE(LastLine(run.err).find(std::strerror(ENOSPC)), std::string::npos) << run.err;
}

INSTANTIATE_TEST_SUITE_P(Types, ScanToFullDisk,
                         ::testing::Values(FullDiskCase{"Multi-page PDF", "BW"}, FullDiskCase{"JPEG", "Color"},
                                           FullDiskCase{"Multi-page TIFF", "Gray"}, FullDiskCase{"BMP", "Gray"}),
                         [](const ::testing::TestParamInfo<FullDiskCase>& p) {
                             std::string n = p.param.saveType;
                             for (char& c : n)
                                 if (c == ' ' || c == '-') c = '_';
                             return n;
                         });

TEST_F(ScanTo, UnknownSourceSaysWhy) {
    const CliRun run = RunCli(tools, "unknown", "scan --to folder --source nosuch:7");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(LastLine(run.err).rfind("scanner-utility-cli: scan failed: ", 0), 0u) << run.err;
    EXPECT_NE(LastLine(run.err).find("nosuch:7"), std::string::npos) << run.err;
}

// Two scans at once (two programs of the same user): both succeed with documents of
// their own, each complete.
TEST_F(ScanTo, TwoScansAtOnceBothSucceed) {
    Set("Folder", "Savetype", "Multi-page PDF");
    UseFeeder("Folder");
    std::vector<std::string> documents;
    for (int round = 0; round < 3; ++round) {
        CliRun runs[2];
        std::thread second([&] { runs[1] = RunCli(tools, "second", "scan --to folder --source test:0"); });
        runs[0] = RunCli(tools, "first", "scan --to folder --source test:0");
        second.join();
        for (const CliRun& run : runs) {
            EXPECT_EQ(run.status, 0) << run.err;
            const auto delivered = Lines(run.out);
            ASSERT_EQ(delivered.size(), 1u) << run.err;
            documents.push_back(delivered[0]);
            EXPECT_NE(Tool({"pdfinfo", delivered[0]}).find("Pages:           10"), std::string::npos) << delivered[0];
        }
    }
    std::sort(documents.begin(), documents.end());
    EXPECT_EQ(std::unique(documents.begin(), documents.end()), documents.end()) << "two scans delivered one file";
    std::vector<std::string> left;
    platform::PosixFileSystem().ListFolder(out.path(), left);
    EXPECT_EQ(left.size(), 2u + 6u) << "six documents and no working files";
}

TEST_F(ScanTo, ApplicationStartsOncePerPageForSinglePageTypes) {
    Set("Application1", "Savetype", "JPEG");
    UseFeeder("Application1");
    auto files = Scan("app1");
    ASSERT_EQ(files.size(), 10u);
    auto starts = Starts(10);
    ASSERT_EQ(starts.size(), 10u);
    std::string folder = out.path().substr(0, out.path().size() - 1);
    for (size_t i = 0; i < starts.size(); ++i) {
        EXPECT_EQ(starts[i].substr(0, starts[i].find('|')), folder);
    }
    // Every delivered file was handed to the application exactly once.
    for (const auto& f : files) {
        int seen = 0;
        for (const auto& s : starts) seen += s.substr(s.find('|') + 1) == f;
        EXPECT_EQ(seen, 1) << f;
    }
}

TEST_F(ScanTo, ApplicationStartsOnceForMultiPageTypes) {
    Set("Application2", "Savetype", "Multi-page PDF");
    UseFeeder("Application2");
    auto files = Scan("app2");
    ASSERT_EQ(files.size(), 1u);
    auto starts = Starts(1);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0], out.path().substr(0, out.path().size() - 1) + "|" + files[0]);
    EXPECT_EQ(Lines(Tool({"pdfinfo", files[0]})).size() > 0, true);
    EXPECT_NE(Tool({"pdfinfo", files[0]}).find("Pages:           10"), std::string::npos);
}

TEST_F(ScanTo, ApplicationWithoutListEntryIsRefused) {
    Set("Application1", "ListMapping", "");
    Set("Application1", "AppListID", "0");
    auto files = Scan("app1", false);
    EXPECT_TRUE(files.empty());
    EXPECT_TRUE(Starts(0).empty());
    std::vector<std::string> left;
    platform::PosixFileSystem().ListFolder(out.path(), left);
    EXPECT_EQ(left.size(), 2u) << "no output file";
}

// A command that does not end within two minutes is stopped (exit status 124), so a
// scan that hangs fails its test instead of stalling the suite.
const char* const kBounded = "timeout 120 ";

// Scan To PC-Fax against a private print server: a plain queue listed first, then the
// fax queue (200 x 100 dpi, US Letter printable from 18 points left and 36 points top).
class ScanToFax : public ScanTo {
protected:
    void SetUp() override {
        ScanTo::SetUp();
        Set("Fax", "Savefolder", out.path());
        Set("Fax", "Papersize", "A5");
    }
    testsupport::CupsServer server;
};

TEST_F(ScanToFax, FeederScanIsOneJobOfTenPagesOnTheFaxQueue) {
    std::string why;
    if (!server.Start({{"aaa-plain", false}, {"fax", true}}, &why)) GTEST_SKIP() << "no private print server: " << why;
    UseFeeder("Fax");
    const CliRun run = RunCli(tools, "fax", "scan --to fax --source test:0", kBounded);
    ASSERT_EQ(run.status, 0) << run.err << server.Log();
    const auto pages = Lines(run.out);
    ASSERT_EQ(pages.size(), 10u) << "the fax destination saves one bitmap a page";
    const auto documents = server.Documents("fax", 1);
    ASSERT_EQ(documents.size(), 1u) << server.Log();
    EXPECT_EQ(server.EndedJobStates("fax"), std::vector<int>{9}) << "one completed job";
    EXPECT_TRUE(server.JobStates("aaa-plain").empty());
    EXPECT_TRUE(server.Documents("aaa-plain", 0).empty());
    EXPECT_NE(Tool({"pdfinfo", documents[0]}).find("Pages:           10"), std::string::npos);
    // The test device's page is black: the rendered first page shows where it went.
    // Rendered at the queue's resolution, rendered pixels are device pixels.
    std::string bytes;
    ASSERT_TRUE(platform::PosixFileSystem().ReadFile(pages[0], bytes));
    delivery::PixelSize page;
    ASSERT_TRUE(delivery::ReadFaxBitmapSize(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), page));
    const delivery::PixelSize drawn = delivery::FitToPrintableArea(page, {1600, 1000});
    const testsupport::DarkBox box = testsupport::RenderDarkBox(documents[0], 1, 200, 100, tools / "render");
    EXPECT_NEAR(box.left, 50, 1);
    EXPECT_NEAR(box.top, 50, 1);
    EXPECT_NEAR(box.right - box.left, drawn.width, 1);
    EXPECT_NEAR(box.bottom - box.top, drawn.height, 1);
}

// No print server, or no fax queue: message 116, the scan cancelled before the first
// page (no page file), no job anywhere.
class ScanToFaxRefused : public ScanToFax, public ::testing::WithParamInterface<bool> {};

TEST_P(ScanToFaxRefused, Message116AndNoPage) {
    const bool withServer = GetParam();
    std::string why;
    if (withServer && !server.Start({{"aaa-plain", false}}, &why)) GTEST_SKIP() << "no private print server: " << why;
    UseFeeder("Fax");
    const CliRun run = RunCli(tools, "refused", "scan --to fax --source test:0", kBounded);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(LastLine(run.err), "scanner-utility-cli: scan failed: Fax Initialize Failed.") << run.err;
    std::vector<std::string> left;
    platform::PosixFileSystem().ListFolder(out.path(), left);
    EXPECT_EQ(left.size(), 2u) << "no page was scanned";
    if (withServer) {
        EXPECT_TRUE(server.JobStates("aaa-plain").empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Servers, ScanToFaxRefused, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& p) {
                             return std::string(p.param ? "NoFaxQueue" : "NoServer");
                         });

} // namespace

namespace {

// `scan --to folder` on the slow test scanner with its standard error on a terminal
// (a pseudo-terminal of the test's own) or on a pipe; what reached standard error, and
// the exit status.
std::string ScanWithStandardError(bool terminal, const std::string& saneConfig, int* status) {
    int master = -1, ends[2] = {-1, -1};
    pid_t pid = -1;
    if (terminal) {
        pid = ::forkpty(&master, nullptr, nullptr, nullptr);
    } else {
        if (::pipe(ends) != 0) return {};
        pid = ::fork();
    }
    if (pid == 0) {
        if (!terminal) ::dup2(ends[1], STDERR_FILENO);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO); // the delivered path; only standard error is looked at
        ::setenv("SANE_CONFIG_DIR", saneConfig.c_str(), 1);
        const std::string cli = testsupport::ProgramFolder() + "scanner-utility-cli";
        ::execl(cli.c_str(), cli.c_str(), "scan", "--to", "folder", "--source", "test:0", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    const int from = terminal ? master : ends[0];
    if (!terminal) ::close(ends[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = ::read(from, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
    ::close(from);
    int raw = 0;
    ::waitpid(pid, &raw, 0);
    *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return text;
}

// A scan of a second or so shows its page and percent on a terminal, rewritten in place
// and ended by a line break; on a pipe nothing beyond the messages.
TEST_F(ScanTo, ProgressOnStandardErrorOnlyWhenItIsATerminal) {
    Set("Folder", "Savetype", "PDF");
    Set("Folder", "Colormode", "Gray");
    TempFolder sane;
    const std::string config = testsupport::WriteSlowSaneConfig(sane);
    int status = -1;
    const std::string onTerminal = ScanWithStandardError(true, config, &status);
    EXPECT_EQ(status, 0) << onTerminal;
    EXPECT_NE(onTerminal.find("\rpage 1: "), std::string::npos) << onTerminal;
    EXPECT_NE(onTerminal.find("%"), std::string::npos) << onTerminal;
    EXPECT_EQ(onTerminal.back(), '\n') << onTerminal;
    const std::string onPipe = ScanWithStandardError(false, config, &status);
    EXPECT_EQ(status, 0) << onPipe;
    EXPECT_EQ(onPipe, "");
}

} // namespace
