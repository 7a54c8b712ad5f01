// Scanners of any maker and model, as a user who installs the program beside SANE has
// them: the SANE `pnm` backend (another model than the test backend's: a resolution word
// list, no scan source option, no scan area) next to the `test` backend, with the shipped
// product data (any maker, any model) and with a maker's own product data (named maker
// and families).
//
// The pnm backend reads its page from the fixed file /tmp/input.ppm. The scans of the
// command line therefore run in a mount namespace of their own with a private /tmp
// holding the page; a system that allows none (no root, user namespaces switched off)
// skips them, saying so.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "ControlTestSupport.h"
#include "output/ImageKinds.h"
#include "platform/Process.h"
#include "scan/DriverIdentifer.h"
#include "scan/MappingHandler.h"
#include "scan/PaperSizeMapping.h"
#include "scan/ScannerServices.h"
#include "scan/TwainCap.h"
#include "scancontrol/SaneDynamictwain.h"
#include "settings/Persistence.h"
#include "settings/Profile.h"
#include "settings/Records.h"
#include "settings/SettingsFixture.h"
#include "support/TempFolder.h"

namespace {

using testsupport::TempFolder;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A 200 x 300 colour page in the pnm backend's file format.
std::string Page() {
    std::string ppm = "P6\n200 300\n255\n";
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 200; ++x) ppm += {char(x), char(y), char(x ^ y)};
    return ppm;
}

// SANE with the test and pnm backends, written into `folder`.
void WriteSaneConfig(const TempFolder& folder, const std::string& sub) {
    folder.Write(sub + "dll.conf", "test\npnm\n");
    folder.Write(sub + "test.conf", ReadFile(scantest::SourceDir() + "/data/sane/test.conf"));
}

// The whole process sees the two backends: set before SANE is first initialised.
class TwoBackends : public ::testing::Environment {
public:
    void SetUp() override {
        config = std::make_unique<TempFolder>();
        WriteSaneConfig(*config, "");
        ::setenv("SANE_CONFIG_DIR", config->path().c_str(), 1);
    }
    void TearDown() override { config.reset(); }
    std::unique_ptr<TempFolder> config;
};
[[maybe_unused]] ::testing::Environment* const kBackends = ::testing::AddGlobalTestEnvironment(new TwoBackends);

// A program folder of its own: the command line and the data files, the product data
// shipped or made a maker's own.
void MakeProgramFolder(const std::string& folder, bool makerOwn) {
    std::filesystem::create_directories(folder);
    for (const char* name : {"scanner-utility-cli", "scanner-utility-cli-scan", "Prdct.dat", "Sets.dat", "Def.dat",
                             "Id.dat", "Mapping.dat", "Str.dat"})
        std::filesystem::copy_file(testsupport::ProgramFolder() + name, folder + name);
    for (const char* name : {"scanner-utility-cli", "scanner-utility-cli-scan"}) ::chmod((folder + name).c_str(), 0755);
    if (makerOwn) testsupport::NameTheMaker(folder + "Prdct.dat");
}

// ---- what `sources` says ---------------------------------------------------------------

struct SourcesCase {
    bool makerOwn;
    // device name -> the rest of its line (maker, model, offer)
    std::map<std::string, std::string> lines;
};
void PrintTo(const SourcesCase& c, std::ostream* os) { *os << (c.makerOwn ? "maker_product_data" : "shipped"); }
class Sources : public ::testing::TestWithParam<SourcesCase> {};

TEST_P(Sources, MarkWhatTheProductDataOffers) {
    TempFolder program;
    MakeProgramFolder(program.path(), GetParam().makerOwn);
    std::string out;
    ASSERT_TRUE(platform::CaptureOutput({program / "scanner-utility-cli", "sources"}, out, 60000)) << out;
    std::map<std::string, std::string> lines;
    std::istringstream text(out);
    for (std::string line; std::getline(text, line);) {
        const size_t tab = line.find('\t');
        ASSERT_NE(tab, std::string::npos) << line;
        lines[line.substr(0, tab)] = line.substr(tab + 1);
    }
    EXPECT_EQ(lines, GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(Table, Sources,
                         ::testing::Values(SourcesCase{false,
                                                       {{"pnm:0", "Noname\tPNM file reader\toffered\tlocal"},
                                                        {"pnm:1", "Noname\tPNM file reader\toffered\tlocal"},
                                                        {"test:0", "Noname\tfrontend-tester\toffered\tlocal"},
                                                        {"test:1", "Noname\tfrontend-tester\toffered\tlocal"}}},
                                           SourcesCase{true,
                                                       {{"pnm:0", "Noname\tPNM file reader\tnot-offered"},
                                                        {"pnm:1", "Noname\tPNM file reader\tnot-offered"},
                                                        {"test:0", "Noname\tfrontend-tester\toffered\tlocal"},
                                                        {"test:1", "Noname\tfrontend-tester\toffered\tlocal"}}}));

// ---- the pnm model's lists and a record repaired against them ---------------------------

std::vector<std::string> Keys(const settings::ChoiceList& list) {
    std::vector<std::string> keys;
    for (const auto& c : list) keys.push_back(c.first);
    return keys;
}

class PnmModel : public testsupport::SettingsFixture {
protected:
    void SetUp() override {
        SettingsFixture::SetUp();
        scantest::EnsureApplication();
        scan::InstallScannerServices();
        control = scancontrol::CreateSaneDynamictwain();
        scan::DriverIdentifer::GetInstance().SetSourceManager(scancontrol::CreateSaneSourceManager());
        handler.SetControl(control.get());
        handler.Reset();
        settings::ResetSettingsHandler();
    }
    void TearDown() override {
        handler.SetControl(nullptr);
        handler.Reset();
        scan::DriverIdentifer::GetInstance().SetSourceManager(nullptr);
        output::SetSourceFamily(nullptr);
        SettingsFixture::TearDown();
        Reload();
    }
    static void Reload() {
        scan::DriverIdentifer::GetInstance().Reload();
        scan::PaperSizeMapping::GetInstance().Reload();
        scan::MappingFileHandler::GetInstance().Reload();
    }
    // The product data as shipped, in place of the fixture's maker-specific copy.
    void ShippedProductData() {
        std::filesystem::copy_file(testsupport::ProgramFolder() + "Prdct.dat", program / "Prdct.dat",
                                   std::filesystem::copy_options::overwrite_existing);
        Reload();
    }
    std::unique_ptr<scancontrol::CDynamictwain> control;
    scan::TwainCapHandler& handler = scan::TwainCapHandler::GetInstance();
};

TEST_F(PnmModel, MakerProductDataRefusesTheUnlistedModel) {
    EXPECT_EQ(scan::CheckSource("pnm:0"), core::kSourceNotKnown);
    EXPECT_EQ(scan::CheckSource("test:1"), core::kSourceUsable);
    EXPECT_FALSE(scan::DriverIdentifer::GetInstance().Knows("pnm:0"));
}

TEST_F(PnmModel, ListsComeFromTheScannerAndARecordIsRepairedAgainstThem) {
    ShippedProductData();
    ASSERT_TRUE(settings::SetCurrentSource("pnm:0"));
    ASSERT_EQ(scan::CheckSource("pnm:0"), core::kSourceUsable);
    const scan::DriverEntry entry = scan::CurrentDriverEntry();
    EXPECT_EQ(entry.driverKind, 1);
    EXPECT_EQ(entry.connectionKind, 0);
    EXPECT_EQ(entry.modelFamily, 3);
    EXPECT_FALSE(entry.flag);
    EXPECT_TRUE(entry.generic);
    // The named test models keep their entries beside it.
    EXPECT_EQ(scan::DriverIdentifer::GetInstance().Identify("test:0").driverKind, 0);

    auto model = scan::CreateMappingHandler();
    ASSERT_NE(dynamic_cast<scan::MappingHandlerTwain*>(model.get()), nullptr);
    settings::ChoiceList list;
    model->GetResolutions(list); // the backend's word list, within what Id.dat names
    EXPECT_EQ(Keys(list), (std::vector<std::string>{"75", "100", "150", "200", "300"}));
    model->GetScanMethods(list); // no scan source option: the glass only
    EXPECT_EQ(Keys(list), (std::vector<std::string>{"Flatbed"}));
    model->GetPaperSizes("Flatbed", list); // no scan area: no paper size fits
    EXPECT_TRUE(list.empty());

    // A record stored for a scanner with a feeder, at a resolution this one lacks.
    const std::string sets = settings::UserSettingsFilePath();
    for (const auto& [key, value] : std::map<std::string, std::string>{
             {"Scanmethod", "ADF"}, {"Resolution", "600"}, {"Savetype", "JPEG"}, {"Papersize", "A4"}})
        ASSERT_TRUE(settings::WriteProfileString(sets, "Folder", key, value));
    settings::FolderElements folder("Folder");
    folder.Load();
    EXPECT_EQ(folder.GetScanMethod(), "Flatbed") << "the default's method";
    EXPECT_EQ(folder.GetResolution(), 75) << "the scanner's own default resolution";
    EXPECT_EQ(folder.GetSaveType(), "JPEG") << "what the model offers stays";
}

// ---- a Scan To Folder on the pnm device -------------------------------------------------

// The density a JPEG file's JFIF header gives (dots per inch), or -1.
int JfifDensity(const std::string& jpeg) {
    const size_t at = jpeg.find(std::string("JFIF\0", 5));
    if (at == std::string::npos || at + 12 > jpeg.size() || jpeg[at + 7] != 1) return -1;
    return (static_cast<unsigned char>(jpeg[at + 8]) << 8) | static_cast<unsigned char>(jpeg[at + 9]);
}

// `unshare` making a mount namespace (as root, or as root of a user namespace of its own).
std::vector<std::string> PrivateMounts() {
    std::vector<std::string> command = {"unshare", "-m"};
    if (::geteuid() != 0) command.push_back("-r");
    return command;
}

// The command that runs `argv` with a private /tmp holding `page` as /tmp/input.ppm, and
// `root` (a folder of the real /tmp) still reachable under its own name.
std::vector<std::string> InPrivateTmp(const std::string& root, std::vector<std::string> argv) {
    const std::filesystem::path path(root);
    const std::string script =
        "set -e; cd \"$1\"; mount -t tmpfs su-private-tmp /tmp; mkdir -p \"$2\"; "
        "mount --no-canonicalize --bind \"./$3\" \"$2\"; cp \"$2/page.ppm\" /tmp/input.ppm; shift 3; "
        "exec \"$@\" 2>&1";
    std::vector<std::string> command = PrivateMounts();
    for (const std::string& a : {std::string("sh"), std::string("-c"), script, std::string("sh"),
                                 path.parent_path().string(), path.string(), path.filename().string()})
        command.push_back(a);
    for (auto& a : argv) command.push_back(std::move(a));
    return command;
}

TEST(PnmScan, FolderScanDeliversThePageAtAResolutionTheDeviceOffers) {
    // A namespace in which /tmp can be mounted afresh, or a reason to skip.
    std::vector<std::string> probe = PrivateMounts();
    for (const char* a : {"sh", "-c", "mount -t tmpfs su-probe /tmp"}) probe.push_back(a);
    std::string ignored;
    if (!platform::CaptureOutput(probe, ignored, 20000))
        GTEST_SKIP() << "no mount namespace of our own with a private /tmp (needs root or user namespaces)";
    TempFolder root;
    const std::string base = root.path().substr(0, root.path().size() - 1);
    root.Write("page.ppm", Page());
    WriteSaneConfig(root, "sane/");
    MakeProgramFolder(root / "program/", false);
    std::filesystem::create_directories(root / "out");

    // The user's settings, provisioned as the program does for this configuration folder.
    const char* oldConfig = std::getenv("XDG_CONFIG_HOME");
    const std::string keptConfig = oldConfig ? oldConfig : "";
    ::setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
    settings::SetProgramFolder(root / "program/");
    const std::string sets = settings::UserSettingsFilePath();
    settings::SetProgramFolder("");
    ::setenv("XDG_CONFIG_HOME", keptConfig.c_str(), 1);
    ASSERT_FALSE(sets.empty());
    // A feeder scan at 200 dpi, colour, JPEG: the device has no feeder, 200 dpi it offers.
    const std::pair<const char*, std::string> folder[] = {
        {"Savefolder", root / "out/"}, {"Resolution", "200"}, {"Papersize", "A4"},        {"Colormode", "Color"},
        {"Scanmethod", "ADF"},         {"Savetype", "JPEG"},  {"Openfileoption", "false"}};
    for (const auto& [key, value] : folder) ASSERT_TRUE(settings::WriteProfileString(sets, "Folder", key, value));

    std::string output;
    const bool scanned = platform::CaptureOutput(
        InPrivateTmp(base, {"env", "XDG_CONFIG_HOME=" + root / "config", "SANE_CONFIG_DIR=" + root / "sane",
                            "SANE_DEBUG_DLL=3", root / "program/scanner-utility-cli", "scan", "--to", "folder",
                            "--source", "pnm:0"}),
        output, 120000);
    ASSERT_TRUE(scanned) << output;

    std::vector<std::string> delivered;
    std::set<std::string> written; // the options the scan set on the device
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(root / "out/", 0) == 0) delivered.push_back(line);
        const size_t call = line.find("sane_control_option(");
        if (call != std::string::npos && line.find(",action=1,") != std::string::npos) {
            const size_t option = line.find("option=", call);
            written.insert(line.substr(option, line.find(',', option) - option));
        }
    }
    ASSERT_EQ(delivered.size(), 1u) << output;
    // djpeg decodes it: the backend's page, whole.
    std::string pixels;
    ASSERT_TRUE(platform::CaptureOutput({"djpeg", "-pnm", delivered[0]}, pixels, 60000));
    EXPECT_EQ(pixels.substr(0, 15), "P6\n200 300\n255\n");
    EXPECT_EQ(JfifDensity(ReadFile(delivered[0])), 200);
    // The resolution is the one option the scan sets: pnm has no scan source to put the
    // stored feeder on, and nothing asked for it.
    EXPECT_EQ(written.size(), 1u) << output;
}

} // namespace
