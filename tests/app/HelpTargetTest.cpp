#include <gtest/gtest.h>

#include "app/HelpTarget.h"

namespace {

TEST(HelpTarget, RequestsMapToPagesOfTheHelpFolderOnly) {
    const std::string folder = "/opt/su/help/";
    auto page = app::ResolveHelpTarget("mk:@MSITStore:/opt/su/Help.chm::/Quorin.htm#option", folder);
    EXPECT_EQ(page.file, "/opt/su/help/Quorin.htm");
    EXPECT_EQ(page.anchor, "option");
    page = app::ResolveHelpTarget("/opt/su/Help.chm", folder);
    EXPECT_EQ(page.file, "/opt/su/help/index.html");
    EXPECT_EQ(page.anchor, "");
    page = app::ResolveHelpTarget("MK:@MSITStore:x.chm::\\troubleshooting.html", folder);
    EXPECT_EQ(page.file, "/opt/su/help/troubleshooting.html");
    page = app::ResolveHelpTarget("Quorin.htm#scanner", folder);
    EXPECT_EQ(page.file, "/opt/su/help/Quorin.htm");
    EXPECT_EQ(page.anchor, "scanner");
    page = app::ResolveHelpTarget("/opt/su/help/Quorin.htm#tips", folder);
    EXPECT_EQ(page.file, "/opt/su/help/Quorin.htm");
    EXPECT_EQ(page.anchor, "tips");
    // Nothing outside the help folder is opened.
    EXPECT_EQ(app::ResolveHelpTarget("mk:@MSITStore:x.chm::/../../etc/passwd", folder).file, "");
    EXPECT_EQ(app::ResolveHelpTarget("/etc/passwd", folder).file, "");
    EXPECT_EQ(app::ResolveHelpTarget(".hidden.htm", folder).file, "");
}

} // namespace
