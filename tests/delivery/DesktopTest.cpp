#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/Desktop.h"
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
    std::string script = dir.Write("bin/recorder",
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

TEST(LinuxDesktop, MissingProgramIsAFailedStart) {
    platform::LinuxDesktop desktop;
    EXPECT_FALSE(desktop.StartProgram("/no/such/program", {"x"}, "/tmp/"));
    EXPECT_FALSE(desktop.StartProgram("", {"x"}, "/tmp/"));
}

TEST(FileUri, EncodesReservedBytes) {
    EXPECT_EQ(platform::FileUri("/home/u/Scan (1)#.pdf"), "file:///home/u/Scan%20%281%29%23.pdf");
    EXPECT_EQ(platform::FileUri("/a/\xc3\xa9"), "file:///a/%C3%A9");
}

} // namespace
