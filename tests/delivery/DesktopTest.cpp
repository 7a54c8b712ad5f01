#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include <cstdlib>

#include "delivery/LaunchTasks.h"
#include "platform/Desktop.h"
#include "platform/Environment.h"
#include "platform/Services.h"
#include "settings/Placeholders.h"
#include "support/TempFolder.h"

namespace {

using testsupport::TempFolder;

// Waits until the file exists with content, at most a few seconds.
std::string WaitFor(const TempFolder& dir, const std::string& name) {
    for (int i = 0; i < 200; ++i) {
        std::string s = dir.Read(name);
        if (!s.empty() && s.back() == '\n' && s.find("END") != std::string::npos) return s;
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return dir.Read(name);
}

TEST(LinuxDesktop, StartsARealProgramDetachedWithArgumentAndFolder) {
    TempFolder dir;
    std::string script = dir.Write(
        "bin/recorder",
        "#!/bin/sh\n"
        "out=\"$(dirname \"$0\")/../record\"\n"
        "{ pwd; for a in \"$@\"; do echo \"arg:$a\"; done; ls /proc/$$/fd | tr '\\n' ' '; echo; "
        "echo \"sid:$(cut -d' ' -f6 /proc/$$/stat) pid:$$\"; echo END; } > \"$out.tmp\" && mv \"$out.tmp\" \"$out\"\n");
    ::chmod(script.c_str(), 0755);
    std::string work = dir.path() + "work dir/";
    ::mkdir(work.c_str(), 0755);
    // A descriptor of ours without close-on-exec must not reach the program.
    int leaky = ::dup2(::open("/dev/null", O_RDONLY), 37);
    ASSERT_EQ(leaky, 37);
    platform::LinuxDesktop desktop;
    ASSERT_TRUE(desktop.StartProgram(script, {"/scans/my file.jpg"}, work));
    ::close(37);
    std::string record = WaitFor(dir, "record");
    EXPECT_NE(record.find(dir.path() + "work dir\n"), std::string::npos) << record;
    EXPECT_NE(record.find("arg:/scans/my file.jpg\n"), std::string::npos) << record;
    EXPECT_EQ(record.find(" 37 "), std::string::npos) << "descriptor leaked: " << record;
    // Its own session: the session id equals its process id.
    auto sid = record.substr(record.find("sid:") + 4);
    auto pid = record.substr(record.find("pid:") + 4);
    EXPECT_EQ(std::stol(sid), std::stol(pid)) << record;
}

// A script that records, into `record`, its working folder, its arguments and the
// variable SCAN_VIEWER_MODE, one line each.
std::string RecorderScript(const TempFolder& dir, const std::string& name, const std::string& record) {
    std::string script = dir.Write(
        name, "#!/bin/sh\n"
              "{ pwd; for a in \"$@\"; do echo \"arg:$a\"; done; echo \"mode:$SCAN_VIEWER_MODE\"; echo END; } > \"" +
                  record + ".tmp\" && mv \"" + record + ".tmp\" \"" + record + "\"\n");
    ::chmod(script.c_str(), 0755);
    return script;
}

// PATH with a folder of ours in front, for the length of a test.
class PathInFront {
public:
    explicit PathInFront(const std::string& folder) {
        const char* old = std::getenv("PATH");
        old_ = old ? old : "/usr/bin:/bin";
        ::setenv("PATH", (folder + ":" + old_).c_str(), 1);
    }
    ~PathInFront() { ::setenv("PATH", old_.c_str(), 1); }
private:
    std::string old_;
};

// extra: further keys of the entry; DIR/ stands for the test's folder.
struct EntryCase {
    const char* name;
    const char* exec;
    const char* extra;
    std::vector<std::string> args;
    const char* mode;
};
class DesktopEntryStart : public ::testing::TestWithParam<EntryCase> {};

// Real desktop entries, started on a file by real processes that record what they got.
TEST_P(DesktopEntryStart, StartsTheEntryOnTheFile) {
    const EntryCase& c = GetParam();
    TempFolder dir;
    RecorderScript(dir, "bin/viewer", dir / "record");
    RecorderScript(dir, "bin/flatpak", dir / "record"); // stands in for flatpak itself
    PathInFront path(dir / "bin");
    std::string extra = c.extra;
    if (extra.find("DIR/") != std::string::npos) extra.replace(extra.find("DIR/"), 4, dir.path());
    std::string entry =
        dir.Write("apps/viewer.desktop",
                  std::string("[Desktop Entry]\nType=Application\nName=Viewer\n") + "Exec=" + c.exec + "\n" + extra);
    std::string work = dir.path() + "work dir/";
    ::mkdir(work.c_str(), 0755);
    ::mkdir((dir / "own").c_str(), 0755);
    platform::LinuxDesktop desktop;
    ASSERT_TRUE(desktop.StartProgram(entry, {"/scans/page 1.jpg"}, work));
    std::string record = WaitFor(dir, "record");
    std::string expected = (extra.find("Path=") == std::string::npos ? dir.path() + "work dir" : dir / "own") + "\n";
    for (std::string a : c.args) {
        if (a.find("ENTRY") != std::string::npos) a.replace(a.find("ENTRY"), 5, entry);
        expected += "arg:" + a + "\n";
    }
    expected += std::string("mode:") + c.mode + "\nEND\n";
    EXPECT_EQ(record, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, DesktopEntryStart,
    ::testing::Values(
        EntryCase{"plain", "viewer --entry=%k %f", "", {"--entry=ENTRY", "/scans/page 1.jpg"}, ""},
        EntryCase{"env", "env SCAN_VIEWER_MODE=fast viewer %U", "", {"file:///scans/page%201.jpg"}, "fast"},
        EntryCase{"flatpak",
                  "flatpak run --command=view --file-forwarding org.example.View @@u %U @@",
                  "",
                  {"run", "--command=view", "--file-forwarding", "org.example.View", "@@u",
                   "file:///scans/page%201.jpg", "@@"},
                  ""},
        EntryCase{"quotedWithOwnFolder",
                  "\"viewer\" \"--title=Scan \\\\\"1\\\\\"\" %i %F",
                  "Path=DIR/own\nIcon=v\n",
                  {"--title=Scan \"1\"", "--icon", "v", "/scans/page 1.jpg"},
                  ""}),
    [](const ::testing::TestParamInfo<EntryCase>& p) { return std::string(p.param.name); });

TEST(LinuxDesktop, EntryThatTakesNoFileIsAFailedStart) {
    TempFolder dir;
    std::string script = RecorderScript(dir, "bin/viewer", dir / "record");
    std::string entry = dir.Write("apps/viewer.desktop", "[Desktop Entry]\nType=Application\nExec=" + script + "\n");
    platform::LinuxDesktop desktop;
    EXPECT_FALSE(desktop.StartProgram(entry, {"/scans/a.jpg"}, dir.path()));
    std::string bad =
        dir.Write("apps/bad.desktop", "[Desktop Entry]\nType=Application\nExec=sh -c '" + script + " %f'\n");
    EXPECT_FALSE(desktop.StartProgram(bad, {"/scans/a.jpg"}, dir.path()));
    EXPECT_TRUE(desktop.StartProgram(entry, {}, dir.path())) << "started on no file, it needs none";
    EXPECT_EQ(WaitFor(dir, "record"), dir.path().substr(0, dir.path().size() - 1) + "\nmode:\nEND\n");
}

// The image viewer placeholder: the desktop's default PNG application is started through
// its entry; defaults that cannot be started on a file give way to the next.
class ImageViewerPlaceholder : public ::testing::Test {
protected:
    void SetUp() override {
        env->Set("HOME", home.path());
        env->Set("XDG_CONFIG_HOME", config.path());
        env->Set("XDG_CONFIG_DIRS", config / "none");
        env->Set("XDG_DATA_HOME", data / "home");
        env->Set("XDG_DATA_DIRS", data.path());
        env->Set("PATH", bin.path());
        platform::SetEnvironment(env);
        platform::SetDesktop(nullptr);
    }
    void TearDown() override { platform::SetEnvironment(nullptr); }
    void Install(const std::string& id, const std::string& body) {
        data.Write("applications/" + id, "[Desktop Entry]\nType=Application\nName=" + id + "\n" + body);
    }
    std::shared_ptr<platform::MapEnvironment> env = std::make_shared<platform::MapEnvironment>();
    TempFolder home, config, data, bin, out;
};

TEST_F(ImageViewerPlaceholder, StartsTheFirstDefaultThatCanOpenTheFile) {
    std::string viewer = RecorderScript(bin, "viewer", out / "record");
    config.Write("mimeapps.list",
                 "[Default Applications]\n"
                 "image/png=absent.desktop;shell.desktop;console.desktop;viewer.desktop;later.desktop\n");
    Install("shell.desktop", "Exec=sh -c '" + viewer + " %f'\n");
    Install("console.desktop", "Terminal=true\nExec=" + viewer + " %f\n");
    Install("viewer.desktop", "Exec=env SCAN_VIEWER_MODE=view " + viewer + " %f\n");
    Install("later.desktop", "Exec=" + viewer + " --later %f\n");
    std::string program = settings::DesktopImageProgram();
    EXPECT_EQ(program, data / "applications/viewer.desktop");
    // Started as an application path is, on a scanned file.
    EXPECT_EQ(delivery::RunApplication(program, "/scans/Scan 0001.jpg", out.path(), true), 1);
    std::string folder = out.path().substr(0, out.path().size() - 1);
    EXPECT_EQ(WaitFor(out, "record"), folder + "\narg:/scans/Scan 0001.jpg\nmode:view\nEND\n");
}

TEST_F(ImageViewerPlaceholder, WithoutAUsableDefaultAProgramOnThePath) {
    std::string feh = RecorderScript(bin, "feh", out / "record");
    config.Write("mimeapps.list", "[Default Applications]\nimage/png=flat.desktop\n");
    Install("flat.desktop", "Exec=no-such-flatpak run org.example.View %f\n");
    EXPECT_EQ(settings::DesktopImageProgram(), feh);
}

TEST(LinuxDesktop, MissingProgramIsAFailedStart) {
    platform::LinuxDesktop desktop;
    EXPECT_FALSE(desktop.StartProgram("/no/such/program", {"x"}, "/tmp/"));
    EXPECT_FALSE(desktop.StartProgram("", {"x"}, "/tmp/"));
}

// Showing a folder in the file manager falls back to the desktop's opener only where
// there is a display to show it on. A stand-in opener first on PATH records its start;
// the message bus is one that does not exist.
struct ShowCase {
    const char* display;
    const char* wayland;
    bool shown;
};
std::ostream& operator<<(std::ostream& out, const ShowCase& c) {
    return out << "DISPLAY=" << c.display << " WAYLAND_DISPLAY=" << c.wayland;
}
class FolderShown : public ::testing::TestWithParam<ShowCase> {};

TEST_P(FolderShown, ByTheOpenerOnlyWithADisplay) {
    const ShowCase& c = GetParam();
    TempFolder dir;
    const std::string opener =
        dir.Write("bin/xdg-open", "#!/bin/sh\n{ echo \"arg:$1\"; echo END; } > \"$(dirname "
                                  "\"$0\")/../record.tmp\" && mv \"$(dirname \"$0\")/../record.tmp\" "
                                  "\"$(dirname \"$0\")/../record\"\n");
    ::chmod(opener.c_str(), 0755);
    std::vector<std::pair<std::string, std::string>> saved;
    for (const char* name : {"PATH", "DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS"}) {
        const char* value = std::getenv(name);
        saved.emplace_back(name, value ? value : "\x01");
    }
    ::setenv("PATH", (dir.path() + "bin:" + std::string(std::getenv("PATH"))).c_str(), 1);
    ::setenv("DISPLAY", c.display, 1);
    ::setenv("WAYLAND_DISPLAY", c.wayland, 1);
    ::setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + dir.path() + "no-bus").c_str(), 1);

    platform::LinuxDesktop desktop;
    EXPECT_EQ(desktop.ShowInFileManager(dir.path() + "scan.pdf"), c.shown);
    if (c.shown) {
        EXPECT_NE(WaitFor(dir, "record").find("arg:" + dir.path() + "\n"), std::string::npos);
    }

    for (const auto& [name, value] : saved) {
        if (value == "\x01") ::unsetenv(name.c_str());
        else ::setenv(name.c_str(), value.c_str(), 1);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, FolderShown,
                         ::testing::Values(ShowCase{"", "", false}, ShowCase{":97", "", true},
                                           ShowCase{"", "wayland-7", true}));

TEST(FileUri, EncodesReservedBytes) {
    EXPECT_EQ(platform::FileUri("/home/u/Scan (1)#.pdf"), "file:///home/u/Scan%20%281%29%23.pdf");
    EXPECT_EQ(platform::FileUri("/a/\xc3\xa9"), "file:///a/%C3%A9");
}

} // namespace
