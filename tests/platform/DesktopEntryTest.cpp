#include <gtest/gtest.h>

#include "platform/DesktopEntry.h"
#include "platform/Environment.h"
#include "support/TempFolder.h"

namespace {

using testsupport::TempFolder;
using Words = std::vector<std::string>;

const char kFile[] = "/scans/a b.jpg";
const char kUri[] = "file:///scans/a%20b.jpg";

platform::DesktopEntry Entry(const std::string& exec) {
    platform::DesktopEntry e;
    e.file = "/apps/viewer.desktop";
    e.type = "Application";
    e.name = "Viewer";
    e.icon = "viewer-icon";
    e.exec = exec;
    return e;
}

struct ExecCase {
    const char* name;
    const char* exec;
    bool valid;
    Words argv;
};
class ExecLine : public ::testing::TestWithParam<ExecCase> {};

TEST_P(ExecLine, ExpandsForOneFile) {
    const ExecCase& c = GetParam();
    Words argv{"left over"};
    EXPECT_EQ(platform::ExecArguments(Entry(c.exec), kFile, argv), c.valid) << c.exec;
    EXPECT_EQ(argv, c.valid ? c.argv : Words{}) << c.exec;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ExecLine,
    ::testing::Values(
        ExecCase{"path", "viewer %f", true, {"viewer", kFile}},
        ExecCase{"pathList", "viewer --new %F", true, {"viewer", "--new", kFile}},
        ExecCase{"uri", "viewer %u", true, {"viewer", kUri}}, ExecCase{"uriList", "viewer %U", true, {"viewer", kUri}},
        ExecCase{"iconNameEntry",
                 "viewer %i --name=%c %k %f",
                 true,
                 {"viewer", "--icon", "viewer-icon", "--name=Viewer", "/apps/viewer.desktop", kFile}},
        ExecCase{"deprecatedDropped", "viewer %d %D %n %N %v %m %f", true, {"viewer", kFile}},
        ExecCase{"insideWord", "viewer --file=%f", true, {"viewer", std::string("--file=") + kFile}},
        ExecCase{"percent", "viewer --zoom=100%% %f", true, {"viewer", "--zoom=100%", kFile}},
        ExecCase{"env",
                 "env GDK_BACKEND=x11 LANG=C viewer %f",
                 true,
                 {"env", "GDK_BACKEND=x11", "LANG=C", "viewer", kFile}},
        ExecCase{"flatpak",
                 "/usr/bin/flatpak run --branch=stable --command=view --file-forwarding org.example.View @@u %U @@",
                 true,
                 {"/usr/bin/flatpak", "run", "--branch=stable", "--command=view", "--file-forwarding",
                  "org.example.View", "@@u", kUri, "@@"}},
        ExecCase{"quoted",
                 "\"/opt/My Viewer/view\" \"--title=A \\\"B\\\" \\$1 \\\\\" %f",
                 true,
                 {"/opt/My Viewer/view", "--title=A \"B\" $1 \\", kFile}},
        ExecCase{"emptyQuoted", "viewer \"\" %f", true, {"viewer", "", kFile}},
        ExecCase{"blanks", "  viewer\t %f  ", true, {"viewer", kFile}},
        ExecCase{"takesNoFile", "viewer --new-window", false, {}}, ExecCase{"unknownCode", "viewer %x %f", false, {}},
        ExecCase{"lonePercent", "viewer %f %", false, {}}, ExecCase{"shellQuotes", "sh -c 'viewer %f'", false, {}},
        ExecCase{"pipe", "viewer %f | tee log", false, {}}, ExecCase{"variable", "viewer $HOME/x %f", false, {}},
        ExecCase{"home", "~/bin/viewer %f", false, {}}, ExecCase{"unterminated", "viewer \"%f", false, {}},
        ExecCase{"codeAsProgram", "%f", false, {}}, ExecCase{"empty", "", false, {}}),
    [](const ::testing::TestParamInfo<ExecCase>& p) { return std::string(p.param.name); });

TEST(DesktopEntry, WithoutAFileTheFileCodesGo) {
    Words argv;
    ASSERT_TRUE(platform::ExecArguments(Entry("viewer --x %f %U"), "", argv));
    EXPECT_EQ(argv, (Words{"viewer", "--x"}));
    ASSERT_TRUE(platform::ExecArguments(Entry("viewer --new-window"), "", argv));
    EXPECT_EQ(argv, (Words{"viewer", "--new-window"}));
    ASSERT_TRUE(platform::ExecArguments(Entry("viewer %i %f"), "", argv));
    EXPECT_EQ(argv, (Words{"viewer", "--icon", "viewer-icon"}));
}

TEST(DesktopEntry, ParsesItsGroupAndTheStringEscapes) {
    platform::DesktopEntry e;
    e.file = "/x/v.desktop";
    ASSERT_TRUE(platform::ParseDesktopEntry(
        "# comment\n[Other]\nExec=wrong\n[Desktop Entry]\r\nName[de]=Betrachter\nName = Viewer\nType=Application\n"
        "Exec=viewer\\s--a \"x\\\\\\\\y\" %f\nExec=second\nTryExec=viewer\nIcon=v\nPath=/work\nHidden=true\n"
        "Terminal=false\n[Desktop Action New]\nExec=other\n",
        e));
    EXPECT_EQ(e.file, "/x/v.desktop");
    EXPECT_EQ(e.name, "Viewer");
    EXPECT_EQ(e.type, "Application");
    EXPECT_EQ(e.exec, "viewer --a \"x\\\\y\" %f");
    EXPECT_EQ(e.tryExec, "viewer");
    EXPECT_EQ(e.icon, "v");
    EXPECT_EQ(e.path, "/work");
    EXPECT_TRUE(e.hidden);
    EXPECT_FALSE(e.terminal);
    Words argv;
    ASSERT_TRUE(platform::ExecArguments(e, "/f", argv));
    EXPECT_EQ(argv, (Words{"viewer", "--a", "x\\y", "/f"}));
    EXPECT_FALSE(platform::ParseDesktopEntry("[Desktop Action New]\nExec=x %f\n", e));
}

struct UsableCase {
    const char* name;
    const char* entry;
    bool usable;
};
class Usable : public ::testing::TestWithParam<UsableCase> {};

TEST_P(Usable, OnlyEntriesThatCanOpenAFileHere) {
    platform::DesktopEntry e;
    ASSERT_TRUE(platform::ParseDesktopEntry(std::string("[Desktop Entry]\n") + GetParam().entry, e));
    EXPECT_EQ(platform::CanOpenFiles(e), GetParam().usable);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Usable,
    ::testing::Values(
        UsableCase{"plain", "Type=Application\nExec=sh %f\n", true},
        UsableCase{"absolute", "Type=Application\nExec=/bin/sh %U\n", true},
        UsableCase{"env", "Type=Application\nExec=env -u X A=1 sh %f\n", true},
        UsableCase{"tryExecPresent", "Type=Application\nTryExec=sh\nExec=sh %f\n", true},
        UsableCase{"tryExecMissing", "Type=Application\nTryExec=no-such-program-here\nExec=sh %f\n", false},
        UsableCase{"programMissing", "Type=Application\nExec=no-such-program-here %f\n", false},
        UsableCase{"envProgramMissing", "Type=Application\nExec=env A=1 no-such-program-here %f\n", false},
        UsableCase{"envAlone", "Type=Application\nExec=env A=1 %f\n", false},
        UsableCase{"envSplitString", "Type=Application\nExec=env -S \"sh -x\" %f\n", false},
        UsableCase{"takesNoFile", "Type=Application\nExec=sh\n", false},
        UsableCase{"shellSyntax", "Type=Application\nExec=sh -c 'x %f'\n", false},
        UsableCase{"hidden", "Type=Application\nHidden=true\nExec=sh %f\n", false},
        UsableCase{"terminal", "Type=Application\nTerminal=true\nExec=sh %f\n", false},
        UsableCase{"link", "Type=Link\nExec=sh %f\n", false}, UsableCase{"noType", "Exec=sh %f\n", false}),
    [](const ::testing::TestParamInfo<UsableCase>& p) { return std::string(p.param.name); });

TEST(DesktopEntry, FoundInTheDataFoldersInOrder) {
    TempFolder home, system1, system2;
    platform::MapEnvironment env(
        {{"HOME", home.path()}, {"XDG_DATA_DIRS", system1.path() + ":relative:" + system2.path()}});
    std::string user = home.Write(".local/share/applications/a.desktop", "[Desktop Entry]\n");
    system1.Write("applications/a.desktop", "[Desktop Entry]\n");
    std::string b = system2.Write("applications/b.desktop", "[Desktop Entry]\n");
    std::string nested = system2.Write("applications/kde4/extra-viewer.desktop", "[Desktop Entry]\n");
    EXPECT_EQ(platform::FindDesktopEntry("a.desktop", env), user) << "the user's entry comes first";
    EXPECT_EQ(platform::FindDesktopEntry("b.desktop", env), b);
    EXPECT_EQ(platform::FindDesktopEntry("kde4-extra-viewer.desktop", env), nested);
    EXPECT_EQ(platform::FindDesktopEntry("c.desktop", env), "");
    EXPECT_EQ(platform::FindDesktopEntry("../applications/b.desktop", env), "");
    EXPECT_EQ(platform::FindDesktopEntry("b", env), "");
    TempFolder dataHome;
    env.Set("XDG_DATA_HOME", dataHome.path());
    EXPECT_EQ(platform::FindDesktopEntry("a.desktop", env), system1 / "applications/a.desktop");
}

TEST(DesktopEntry, DefaultApplicationsInTheDesktopsOrder) {
    TempFolder config, configDirs, dataHome, data;
    platform::MapEnvironment env({{"XDG_CONFIG_HOME", config.path()},
                                  {"XDG_CONFIG_DIRS", configDirs.path()},
                                  {"XDG_DATA_HOME", dataHome.path()},
                                  {"XDG_DATA_DIRS", data.path()},
                                  {"XDG_CURRENT_DESKTOP", "Test:XFCE"}});
    config.Write("xfce-mimeapps.list", "[Default Applications]\nimage/png=desk.desktop\n");
    config.Write("mimeapps.list", "[Added Associations]\nimage/png=added.desktop;\n[Default Applications]\n"
                                  "image/jpeg=jpeg.desktop\nimage/png = user.desktop;desk.desktop;\n");
    configDirs.Write("mimeapps.list", "[Default Applications]\nimage/png=site.desktop\n");
    dataHome.Write("applications/mimeapps.list", "[Default Applications]\nimage/png=;\n");
    data.Write("applications/test-mimeapps.list", "[Default Applications]\nimage/png=vendor.desktop;\n");
    EXPECT_EQ(platform::DefaultApplications("image/png", env),
              (Words{"desk.desktop", "user.desktop", "site.desktop", "vendor.desktop"}));
    EXPECT_EQ(platform::DefaultApplications("image/jpeg", env), Words{"jpeg.desktop"});
    EXPECT_TRUE(platform::DefaultApplications("image/tiff", env).empty());
}

} // namespace
