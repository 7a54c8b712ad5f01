// The command line's front hands every command to the program that holds it, with the
// arguments as given, and the exit status of that program becomes the command's. Here
// the real front runs beside stand-in programs that say who they are.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "support/TempFolder.h"

namespace {

using testsupport::TempFolder;

const char* const kPrograms[] = {"scanner-utility-cli-data", "scanner-utility-cli-encode", "scanner-utility-cli-scan"};

std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// A folder with the real front and a stand-in for each program it starts: the stand-in
// lists one line for "--commands", else prints its name and arguments and exits with 7.
class CommandFront : public ::testing::Test {
protected:
    void SetUp() override {
        std::string front;
        ASSERT_TRUE(platform::PosixFileSystem().ReadFile(testsupport::ProgramFolder() + "scanner-utility-cli", front));
        ASSERT_EQ(::chmod(folder_.Write("scanner-utility-cli", front).c_str(), 0755), 0);
        for (const char* name : kPrograms) {
            const std::string script = std::string("#!/bin/sh\n") +
                                       "if [ \"$1\" = --commands ]; then echo '  commands of " + name +
                                       "'; exit 0; fi\n"
                                       "echo \"" +
                                       name + " $*\"\nexit 7\n";
            ASSERT_EQ(::chmod(folder_.Write(name, script).c_str(), 0755), 0);
        }
    }

    struct Outcome {
        int status = -1;
        std::string out, err;
    };

    Outcome Run(const std::vector<std::string>& args) const {
        std::string command = Quote(folder_ / "scanner-utility-cli");
        for (const auto& a : args) command += " " + Quote(a);
        command += " >" + Quote(folder_ / "out.txt") + " 2>" + Quote(folder_ / "err.txt");
        const int rc = std::system(command.c_str());
        Outcome o;
        o.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
        o.out = folder_.Read("out.txt");
        o.err = folder_.Read("err.txt");
        return o;
    }

    // The usage: one header, then each program's own list once, in route order.
    static void ExpectUsage(const std::string& err) {
        EXPECT_EQ(err.find("usage: scanner-utility-cli COMMAND [ARGS]"), 0u) << err;
        size_t at = 0;
        for (const char* name : kPrograms) {
            const std::string line = std::string("  commands of ") + name + "\n";
            const size_t found = err.find(line, at);
            ASSERT_NE(found, std::string::npos) << name << " not listed (in order) in:\n" << err;
            EXPECT_EQ(err.find(line, found + 1), std::string::npos) << name << " listed twice";
            at = found + line.size();
        }
    }

    TempFolder folder_;
};

struct Routed {
    std::vector<std::string> args;
    const char* program;
};

std::ostream& operator<<(std::ostream& out, const Routed& r) { return out << r.args.front(); }

class EveryCommand : public CommandFront, public ::testing::WithParamInterface<Routed> {};

TEST_P(EveryCommand, GoesToItsProgramWithItsArguments) {
    const Routed& r = GetParam();
    const Outcome o = Run(r.args);
    std::string said = r.program;
    for (const auto& a : r.args) said += " " + a;
    EXPECT_EQ(o.out, said + "\n");
    EXPECT_EQ(o.status, 7) << "the program's exit status is the command's";
    EXPECT_EQ(o.err, "");
}

INSTANTIATE_TEST_SUITE_P(Table, EveryCommand,
                         ::testing::Values(Routed{{"message", "153"}, "scanner-utility-cli-data"},
                                           Routed{{"paths"}, "scanner-utility-cli-data"},
                                           Routed{{"push", "inquire", "--timeout", "500"}, "scanner-utility-cli-data"},
                                           Routed{{"encode", "--type", "PDF", "a b.bmp"}, "scanner-utility-cli-encode"},
                                           Routed{{"scan", "--to", "folder"}, "scanner-utility-cli-scan"},
                                           Routed{{"sources"}, "scanner-utility-cli-scan"},
                                           Routed{{"acquire", "--source", "test:0"}, "scanner-utility-cli-scan"}));

TEST_F(CommandFront, ReportsAnUnknownCommandWithTheUsage) {
    const Outcome o = Run({"scans", "--to", "folder"});
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.out, "");
    const std::string said = "scanner-utility-cli: unknown command 'scans'\n";
    ASSERT_EQ(o.err.compare(0, said.size(), said), 0) << o.err;
    ExpectUsage(o.err.substr(said.size()));
}

TEST_F(CommandFront, ListsEveryProgramsCommandsForHelpAndWithoutCommand) {
    for (const char* help : {"--help", "-h"}) {
        const Outcome o = Run({help});
        EXPECT_EQ(o.status, 0) << help;
        ExpectUsage(o.err);
    }
    const Outcome bare = Run({});
    EXPECT_EQ(bare.status, 2);
    ExpectUsage(bare.err);
}

TEST_F(CommandFront, SaysSoWhenTheProgramCannotBeStarted) {
    ASSERT_EQ(std::remove((folder_ / "scanner-utility-cli-scan").c_str()), 0);
    const Outcome o = Run({"scan", "--to", "folder"});
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.err, "scanner-utility-cli: cannot start " + folder_.path() + "scanner-utility-cli-scan\n");
}

// The front is started for every command: it loads the C library and nothing else.
TEST(CommandFrontProgram, LoadsTheCLibraryAlone) {
    std::string listing;
    ::setenv("LD_TRACE_LOADED_OBJECTS", "1", 1);
    const bool listed = platform::CaptureOutput({testsupport::ProgramFolder() + "scanner-utility-cli"}, listing, 60000);
    ::unsetenv("LD_TRACE_LOADED_OBJECTS");
    ASSERT_TRUE(listed);
    ASSERT_NE(listing.find("libc.so.6"), std::string::npos) << listing;
    // A sanitizer build's runtime brings the maths library (and may bring the C++ one)
    // itself: those two are the front's own only in an ordinary build.
    const bool sanitized = listing.find("libasan") != std::string::npos || listing.find("libtsan") != std::string::npos;
    for (const char* other : {"libQt6", "libsane", "libjpeg", "libstdc++", "libm.so"}) {
        if (sanitized && (std::string(other) == "libstdc++" || std::string(other) == "libm.so")) continue;
        EXPECT_EQ(listing.find(other), std::string::npos) << other << " in\n" << listing;
    }
}

} // namespace
