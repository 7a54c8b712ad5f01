// Each command loads only the libraries it needs: the dynamic loader's own account
// (LD_DEBUG=files) of real runs of the command line, and of the window program's
// start-up (LD_TRACE_LOADED_OBJECTS), names every library a process loaded.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <set>
#include <sstream>

#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "settings/ProductData.h"
#include "support/TempFolder.h"

namespace {

using testsupport::TempFolder;

// Sets an environment variable for the programs started while it lives.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const std::string& value) : name_(name) { ::setenv(name, value.c_str(), 1); }
    ~ScopedVariable() { ::unsetenv(name_); }
private:
    const char* name_;
};

// Unsets an environment variable while it lives.
class ScopedUnset {
public:
    explicit ScopedUnset(const char* name) : name_(name) {
        if (const char* value = std::getenv(name)) saved_ = value, had_ = true;
        ::unsetenv(name);
    }
    ~ScopedUnset() {
        if (had_) ::setenv(name_, saved_.c_str(), 1);
    }
private:
    const char* name_;
    std::string saved_;
    bool had_ = false;
};

// The file names (without folder) of the libraries the loader reports in its trace.
std::set<std::string> LibrariesIn(const std::string& trace) {
    std::set<std::string> names;
    std::istringstream in(trace);
    for (std::string line; std::getline(in, line);) {
        size_t at = line.find("file=");
        if (at == std::string::npos) continue;
        std::string path = line.substr(at + 5, line.find_first_of(" \t", at) - at - 5);
        names.insert(path.substr(path.find_last_of('/') + 1));
    }
    return names;
}

// A white 8 x 8 colour page as a bottom-up 24-bit bitmap file.
std::string WhitePageBmp() {
    auto le = [](std::string& s, uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) s += static_cast<char>((v >> (8 * i)) & 0xff);
    };
    const uint32_t pixels = 8 * 8 * 3;
    std::string b = "BM";
    le(b, 54 + pixels, 4), le(b, 0, 4), le(b, 54, 4);                  // file header
    le(b, 40, 4), le(b, 8, 4), le(b, 8, 4), le(b, 1, 2), le(b, 24, 2); // size, width, height, planes, bits
    le(b, 0, 4), le(b, pixels, 4), le(b, 11811, 4), le(b, 11811, 4), le(b, 0, 4), le(b, 0, 4);
    return b + std::string(pixels, '\xff');
}

// Every library a run of the command line loads, up to its end. "{page}" in the
// arguments stands for a page file and "{out}" for an empty folder.
std::set<std::string> LoadedByCommand(std::vector<std::string> args) {
    TempFolder trace, work;
    platform::PosixFileSystem().WriteFileAtomic(work / "page.bmp", WhitePageBmp());
    platform::PosixFileSystem().CreateFolder(work / "out");
    for (auto& a : args) {
        if (a == "{page}") a = work / "page.bmp";
        if (a == "{out}") a = work / "out";
    }
    std::vector<std::string> argv{testsupport::ProgramFolder() + "scanner-utility-cli"};
    argv.insert(argv.end(), args.begin(), args.end());
    std::string out;
    {
        // Headless, as on a server: no display to show anything on.
        ScopedUnset x11("DISPLAY"), wayland("WAYLAND_DISPLAY");
        ScopedVariable debug("LD_DEBUG", "files");
        ScopedVariable output("LD_DEBUG_OUTPUT", trace / "ld");
        platform::CaptureOutput(argv, out, 120000); // success or not, the loads are traced
    }
    std::vector<std::string> names;
    platform::PosixFileSystem().ListFolder(trace.path(), names);
    std::string all;
    for (const auto& name : names) {
        std::string content;
        if (name.rfind("ld.", 0) == 0 && platform::PosixFileSystem().ReadFile(trace / name, content)) all += content;
    }
    return LibrariesIn(all);
}

struct CommandCase {
    std::vector<std::string> args;
    std::vector<std::string> loads;  // must be among the libraries loaded
    std::vector<std::string> avoids; // must not be
};

std::ostream& operator<<(std::ostream& out, const CommandCase& c) {
    for (const auto& a : c.args) out << a << ' ';
    return out;
}

class CommandLibraries : public ::testing::TestWithParam<CommandCase> {
protected:
    void SetUp() override { ASSERT_FALSE(settings::UserSettingsFilePath().empty()); }
};

TEST_P(CommandLibraries, AreOnlyWhatTheCommandNeeds) {
    const CommandCase& c = GetParam();
    const std::set<std::string> loaded = LoadedByCommand(c.args);
    ASSERT_TRUE(loaded.count("libc.so.6")) << "the loader's trace was not written";
    for (const auto& name : c.loads) EXPECT_TRUE(loaded.count(name)) << name << " not loaded";
    for (const auto& name : c.avoids) EXPECT_FALSE(loaded.count(name)) << name << " loaded";
}

const std::vector<std::string> kWindowing{"libQt6Gui.so.6", "libQt6Widgets.so.6"};
const std::vector<std::string> kEverythingButData{"libQt6Core.so.6", "libsane.so.1",      "libcups.so.2",
                                                  "libjpeg.so.62",   "libtiff.so.6",      "libdbus-1.so.3",
                                                  "libQt6Gui.so.6",  "libQt6Widgets.so.6"};

INSTANTIATE_TEST_SUITE_P(
    Table, CommandLibraries,
    ::testing::Values(
        // Commands that read data files only load neither Qt nor any device or image library.
        CommandCase{{"message", "153"}, {}, kEverythingButData}, CommandCase{{"paths"}, {}, kEverythingButData},
        // The encoders need their codecs, not Qt, SANE or the print system, and the text
        // recognition engine only when a searchable PDF is asked for.
        CommandCase{{"encode"},
                    {"libjpeg.so.62", "libtiff.so.6"},
                    {"libQt6Core.so.6", "libsane.so.1", "libcups.so.2", "libQt6Gui.so.6", "libQt6Widgets.so.6",
                     "libTextRecognition.so", "libtesseract.so.5"}},
        CommandCase{{"encode", "--type", "TIFF", "--colour", "2", "--compression", "2", "--out", "{out}", "{page}"},
                    {"libtiff.so.6"},
                    {"libTextRecognition.so", "libtesseract.so.5", "libQt6Core.so.6"}},
        CommandCase{{"encode", "--type", "PDF", "--ocr", "eng", "--out", "{out}", "{page}"},
                    {"libTextRecognition.so", "libtesseract.so.5"},
                    {"libQt6Core.so.6", "libsane.so.1", "libcups.so.2"}},
        // Scanning runs on Qt Core and SANE; the print system only for the fax.
        // The message bus only when a file manager is asked to show a scan, and there
        // is a display to show it on: a headless scan to a folder (whose shipped settings
        // show the folder) loads none.
        CommandCase{{"sources"},
                    {"libQt6Core.so.6", "libsane.so.1"},
                    {"libcups.so.2", "libdbus-1.so.3", "libQt6Gui.so.6", "libQt6Widgets.so.6"}},
        CommandCase{{"scan", "--to", "folder", "--source", "test:0"},
                    {"libQt6Core.so.6", "libsane.so.1"},
                    {"libcups.so.2", "libQt6Gui.so.6", "libQt6Widgets.so.6", "libtesseract.so.5", "libdbus-1.so.3"}},
        CommandCase{{"scan", "--to", "fax", "--source", "test:0"}, {"libsane.so.1", "libcups.so.2"}, kWindowing}));

TEST(WindowProgram, StartsWithoutThePrintSystem) {
    const std::string program = testsupport::ProgramFolder() + "scanner-utility";
    if (!platform::PosixFileSystem().Exists(program)) GTEST_SKIP() << "built without the window program";
    // The loader lists what the program needs at start-up and exits without running it.
    std::string listing;
    {
        ScopedVariable trace("LD_TRACE_LOADED_OBJECTS", "1");
        ASSERT_TRUE(platform::CaptureOutput({program}, listing, 60000));
    }
    EXPECT_NE(listing.find("libQt6Widgets.so.6"), std::string::npos) << listing;
    EXPECT_EQ(listing.find("libcups"), std::string::npos) << listing;
    EXPECT_EQ(listing.find("libtesseract"), std::string::npos) << listing;
}

} // namespace
