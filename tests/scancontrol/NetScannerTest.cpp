// A scanner shared through SANE's network daemon, as a user with a network scanner has
// it: saned with the SANE `test` backend behind it, the `net` backend in front. The test
// process first moves into a network namespace of its own with only a loopback, so that
// saned gets the SANE port (6566) whatever else runs on the machine. A process that may
// not make one (no root, user namespaces switched off) skips, saying so.
#include <gtest/gtest.h>

#include <net/if.h>
#include <netinet/in.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <arpa/inet.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ControlTestSupport.h"
#include "platform/Process.h"
#include "platform/SanitizerSupport.h"
#include "scancontrol/SaneDynamictwain.h"
#include "scancontrol/Twain.h"
#include "settings/ProductData.h"
#include "settings/Profile.h"
#include "settings/SettingsFixture.h"
#include "support/TempFolder.h"

extern char** environ;

namespace {

using namespace scancontrol;
using testsupport::TempFolder;

const char* const kDevice = "net:localhost:test:0";

bool WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out.flush());
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Moves the process into a network namespace of its own and brings its loopback up.
// Root needs nothing more where it may administer the system; otherwise (anyone else, or
// root in a container without that right) a user namespace in which the user is root
// comes with it. Must run while the process has a single thread. Sets `skip` when the
// system allows neither, `failure` when it was allowed but did not work.
void EnterPrivateLoopback(std::string& skip, std::string& failure) {
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    bool withUser = uid != 0;
    int result = ::unshare(CLONE_NEWNET | (withUser ? CLONE_NEWUSER : 0));
    if (result != 0 && !withUser && errno == EPERM) {
        withUser = true;
        result = ::unshare(CLONE_NEWNET | CLONE_NEWUSER);
    }
    if (result != 0) {
        const int why = errno;
        const bool refused = why == EPERM || why == EACCES || why == EINVAL || why == ENOSPC || why == EUSERS;
        (refused ? skip : failure) =
            std::string("no network namespace of our own (unshare: ") + std::strerror(why) + ")";
        return;
    }
    if (withUser && !(WriteFile("/proc/self/setgroups", "deny") &&
                      WriteFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") &&
                      WriteFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1"))) {
        failure = "cannot map the user into the new user namespace";
        return;
    }
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool up = fd >= 0 && ::ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    if (up) {
        request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP);
        up = ::ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    }
    if (!up) failure = std::string("cannot bring the loopback up: ") + std::strerror(errno);
    if (fd >= 0) ::close(fd);
}

// saned in the foreground, in a process group of its own (with the children it starts
// for each connection).
class Saned {
public:
    ~Saned() { Stop(); }
    // "" once it accepts connections on the SANE port, else why not.
    std::string Start(const std::string& configFolder, const std::string& logPath) {
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e)
            if (std::strncmp(*e, "SANE_CONFIG_DIR=", 16) != 0) env.emplace_back(*e);
        env.push_back("SANE_CONFIG_DIR=" + configFolder);
        std::vector<char*> envp;
        for (auto& e : env) envp.push_back(&e[0]);
        envp.push_back(nullptr);
        const char* const argv[] = {"saned", "-l", "-e", nullptr};
        const int log = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::setpgid(0, 0);
            ::prctl(PR_SET_PDEATHSIG, SIGTERM); // never outlives the test process
            ::dup2(log, 1);
            ::dup2(log, 2);
            for (const char* path : {"/usr/sbin/saned", "/usr/bin/saned", "/sbin/saned"})
                ::execve(path, const_cast<char* const*>(argv), envp.data());
            ::_exit(127);
        }
        if (log >= 0) ::close(log);
        if (pid_ < 0) return "fork failed";
        for (int attempt = 0; attempt < 400; ++attempt) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return "saned ended at once (is sane-utils installed?): " + ReadFile(logPath);
            }
            if (Accepts()) return "";
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        return "saned does not accept connections: " + ReadFile(logPath);
    }
    void Stop() {
        if (pid_ <= 0) return;
        ::kill(-pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    static bool Accepts() {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(6566);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool ok = fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        if (fd >= 0) ::close(fd);
        return ok;
    }
    pid_t pid_ = -1;
};

// The namespace, the two SANE configurations and the daemon, once per test process: a
// daemon restarted under a running `net` backend made that backend free a wrong pointer
// in its next device listing (seen with libsane 1.1.1), so one daemon serves every test.
class SharedScannerSetting : public ::testing::Environment {
public:
    void SetUp() override {
        EnterPrivateLoopback(skip, failure);
        if (!skip.empty() || !failure.empty()) return;
        server = std::make_unique<TempFolder>();
        client = std::make_unique<TempFolder>();
        logs = std::make_unique<TempFolder>();
        // The daemon's side: the test backend, and who may connect.
        const std::string testConf = ReadFile(scantest::SourceDir() + "/data/sane/test.conf");
        if (testConf.empty()) failure = "data/sane/test.conf not found";
        server->Write("dll.conf", "test\n");
        server->Write("test.conf", testConf);
        server->Write("saned.conf", "localhost\n127.0.0.1\n::1\n");
        // The user's side: only the network backend, pointed at this machine.
        client->Write("dll.conf", "net\n");
        client->Write("net.conf", "connect_timeout = 10\nlocalhost\n");
        ::setenv("SANE_CONFIG_DIR", client->path().c_str(), 1);
        platform::KeepSaneBackendsLoadedForLeakReports();
        if (failure.empty()) failure = saned.Start(server->path(), *logs / "saned.log");
    }
    void TearDown() override {
        saned.Stop();
        server.reset();
        client.reset();
        logs.reset();
    }
    std::string skip, failure;
    std::unique_ptr<TempFolder> server, client, logs;
    Saned saned;
};

SharedScannerSetting* const kSetting =
    static_cast<SharedScannerSetting*>(::testing::AddGlobalTestEnvironment(new SharedScannerSetting));

class NetScanner : public ::testing::Test {
protected:
    void SetUp() override {
        if (!kSetting->skip.empty()) GTEST_SKIP() << kSetting->skip;
        ASSERT_EQ(kSetting->failure, "");
    }

    // A control with the shared scanner open, as the acquisition opens a source.
    bool OpenControl() {
        scantest::EnsureApplication();
        control = CreateSaneDynamictwain();
        control->SetEventListener(&rec);
        if (!control->OpenSourceManager()) return false;
        for (short i = 0; i < control->SourceCount(); ++i)
            if (control->SourceNameAt(i) == kDevice) return control->SelectSourceByIndex(i) && control->OpenSource();
        return false;
    }

    scantest::EventRecorder rec;
    std::unique_ptr<CDynamictwain> control;
};

// The scan mode is a write after which the device's options must be fetched again:
// every setting after it still reaches the scanner, and each page says the resolution
// it was scanned at.
TEST_F(NetScanner, SettingsAfterAModeChangeReachTheScanner) {
    ASSERT_TRUE(OpenControl()) << control->ErrorString();
    control->PixelType(twain::TWPT_RGB);
    control->Resolution(150);
    control->FeederEnabled(true);
    control->TransferCount(-1);
    EXPECT_EQ(control->Resolution(), 150);
    EXPECT_TRUE(control->FeederEnabled());
    std::vector<ImageInfo> pages;
    rec.onEvent = [&](TwainEvent e) {
        if (e == TwainEvent::PageTransferred) pages.push_back(control->CurrentImageInfo());
    };
    ASSERT_TRUE(control->AcquireImage());
    ASSERT_TRUE(rec.Wait());
    ASSERT_EQ(pages.size(), 10u) << "the feeder's ten pages";
    for (const ImageInfo& page : pages) {
        EXPECT_EQ(page.xResolution, 150);
        EXPECT_EQ(page.yResolution, 150);
        EXPECT_NEAR(page.imageWidth, 210 / 25.4 * 150, 1.0); // A4, the backend's frame
        EXPECT_EQ(page.pixelType, twain::TWPT_RGB);
    }
}

// The whole way, as the user tried it: a Folder scan set to the feeder, 150 dpi and a
// multi-page PDF, from the command line of a program whose product data names the
// scanner's family as a network model.
TEST_F(NetScanner, FolderScanToMultiPagePdfHasEveryPageAtTheChosenResolution) {
    TempFolder program, out;
    for (const char* name : {"scanner-utility-cli", "scanner-utility-cli-scan", "Prdct.dat", "Sets.dat", "Def.dat",
                             "Id.dat", "Mapping.dat", "Str.dat", "libTIFFGenerator.so"}) {
        const std::string from = testsupport::ProgramFolder() + name;
        ASSERT_TRUE(WriteFile(program / name, ReadFile(from))) << from;
    }
    for (const char* name : {"scanner-utility-cli", "scanner-utility-cli-scan"})
        ASSERT_EQ(::chmod((program / name).c_str(), 0755), 0) << name;
    const std::string product = program / "Prdct.dat";
    ASSERT_TRUE(settings::WriteProfileString(product, "Common", "ProductFamily", "usb-family"));
    ASSERT_TRUE(settings::WriteProfileString(product, "Common", "NetworkSeries1", "frontend-tester"));
    settings::SetProgramFolder(program.path());
    const std::string sets = settings::UserSettingsFilePath();
    settings::SetProgramFolder("");
    ASSERT_FALSE(sets.empty());
    const std::pair<const char*, std::string> folder[] = {
        {"Savefolder", out.path()},
        {"Resolution", "150"},
        {"Papersize", "A4"},
        {"Colormode", "Color"},
        {"Scanmethod", "ADF"},
        {"ScanmethodArr", "Flatbed|left|lr|off|-ADF|left|lr|off|-Auto|left|lr|off|-"},
        {"Savetype", "Multi-page PDF"},
        {"Openfileoption", "false"}};
    for (const auto& setting : folder)
        ASSERT_TRUE(settings::WriteProfileString(sets, "Folder", setting.first, setting.second));

    std::string delivered;
    ASSERT_TRUE(platform::CaptureOutput(
        {program / "scanner-utility-cli", "scan", "--to", "folder", "--source", kDevice}, delivered, 170000))
        << delivered;
    std::istringstream lines(delivered);
    std::string pdf;
    std::getline(lines, pdf);
    ASSERT_EQ(pdf.rfind(out.path(), 0), 0u) << delivered;

    std::string info, images;
    ASSERT_TRUE(platform::CaptureOutput({"pdfinfo", pdf}, info, 60000));
    EXPECT_NE(info.find("Pages:           10\n"), std::string::npos) << info;
    const size_t size = info.find("Page size:");
    ASSERT_NE(size, std::string::npos) << info;
    double width = 0, height = 0;
    ASSERT_EQ(std::sscanf(info.c_str() + size, "Page size: %lf x %lf", &width, &height), 2) << info;
    EXPECT_NEAR(width, 595.3, 1.0) << "A4 in points";
    EXPECT_NEAR(height, 841.9, 1.0) << "A4 in points";

    ASSERT_TRUE(platform::CaptureOutput({"pdfimages", "-list", pdf}, images, 60000));
    std::istringstream rows(images);
    std::string row;
    int pages = 0;
    while (std::getline(rows, row)) {
        std::istringstream fields(row);
        std::string page, num, type, w, h, colour, comp, bpc, enc, interp, object, id, xppi, yppi;
        fields >> page >> num >> type >> w >> h >> colour >> comp >> bpc >> enc >> interp >> object >> id >> xppi >>
            yppi;
        if (type != "image") continue;
        ++pages;
        EXPECT_EQ(w, "1240") << row;
        EXPECT_EQ(xppi + "x" + yppi, "150x150") << row;
    }
    EXPECT_EQ(pages, 10) << images;
}

// With the shipped product data the shared scanner is served with the generic network
// entry: a Folder scan delivers its page at the stored resolution.
TEST_F(NetScanner, ShippedProductDataScansTheSharedScannerAsANetworkModel) {
    TempFolder program, out, config;
    for (const char* name : {"scanner-utility-cli", "scanner-utility-cli-scan", "Prdct.dat", "Sets.dat", "Def.dat",
                             "Id.dat", "Mapping.dat", "Str.dat", "libTIFFGenerator.so"}) {
        const std::string from = testsupport::ProgramFolder() + name;
        ASSERT_TRUE(WriteFile(program / name, ReadFile(from))) << from;
    }
    for (const char* name : {"scanner-utility-cli", "scanner-utility-cli-scan"})
        ASSERT_EQ(::chmod((program / name).c_str(), 0755), 0) << name;
    const std::string keptConfig = std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "";
    ::setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
    settings::SetProgramFolder(program.path());
    const std::string sets = settings::UserSettingsFilePath();
    settings::SetProgramFolder("");
    ::setenv("XDG_CONFIG_HOME", keptConfig.c_str(), 1);
    ASSERT_FALSE(sets.empty());
    const std::pair<const char*, std::string> folder[] = {
        {"Savefolder", out.path()}, {"Resolution", "150"}, {"Papersize", "A5"},        {"Colormode", "Gray"},
        {"Scanmethod", "Flatbed"},  {"Savetype", "JPEG"},  {"Openfileoption", "false"}};
    for (const auto& setting : folder)
        ASSERT_TRUE(settings::WriteProfileString(sets, "Folder", setting.first, setting.second));

    std::string delivered;
    ASSERT_TRUE(platform::CaptureOutput({"env", "XDG_CONFIG_HOME=" + config.path(), program / "scanner-utility-cli",
                                         "scan", "--to", "folder", "--source", kDevice},
                                        delivered, 170000))
        << delivered;
    std::istringstream lines(delivered);
    std::string jpeg;
    std::getline(lines, jpeg);
    ASSERT_EQ(jpeg.rfind(out.path(), 0), 0u) << delivered;
    std::string pixels;
    ASSERT_TRUE(platform::CaptureOutput({"djpeg", "-pnm", jpeg}, pixels, 60000));
    // A5 (148 x 210 mm) at 150 dpi in grey.
    unsigned width = 0, height = 0;
    ASSERT_EQ(std::sscanf(pixels.c_str(), "P5 %u %u", &width, &height), 2) << pixels.substr(0, 20);
    EXPECT_NEAR(width, 148 / 25.4 * 150, 2.0);
    EXPECT_NEAR(height, 210 / 25.4 * 150, 2.0);
}

// What `sources` says of the shared scanners: with the shipped product data (any maker,
// any model) they are offered as network models; a maker's own product data, which names
// their family as a USB family, refuses them (their device names are no USB model's).
struct OfferCase {
    bool makerOwn;
    const char* offer; // the end of each device's line
};
void PrintTo(const OfferCase& c, std::ostream* os) { *os << (c.makerOwn ? "maker product data" : "shipped"); }
class NetScannerOffer : public NetScanner, public ::testing::WithParamInterface<OfferCase> {};

TEST_P(NetScannerOffer, SourcesMarkTheSharedScanner) {
    TempFolder program;
    for (const char* name : {"scanner-utility-cli", "scanner-utility-cli-scan", "Prdct.dat", "Str.dat"}) {
        const std::string from = testsupport::ProgramFolder() + name;
        ASSERT_TRUE(WriteFile(program / name, ReadFile(from))) << from;
    }
    for (const char* name : {"scanner-utility-cli", "scanner-utility-cli-scan"})
        ASSERT_EQ(::chmod((program / name).c_str(), 0755), 0) << name;
    if (GetParam().makerOwn) testsupport::NameTheMaker(program / "Prdct.dat");
    std::string listed;
    ASSERT_TRUE(platform::CaptureOutput({program / "scanner-utility-cli", "sources"}, listed, 60000)) << listed;
    std::string expected;
    for (const char* device : {"net:localhost:test:0", "net:localhost:test:1"})
        expected += device + std::string("\tNoname\tfrontend-tester\t") + GetParam().offer + "\n";
    EXPECT_EQ(listed, expected);
}

INSTANTIATE_TEST_SUITE_P(Table, NetScannerOffer,
                         ::testing::Values(OfferCase{false, "offered\tnetwork"}, OfferCase{true, "not-offered"}),
                         [](const ::testing::TestParamInfo<OfferCase>& p) {
                             return std::string(p.param.makerOwn ? "MakerProductData" : "Shipped");
                         });

} // namespace
