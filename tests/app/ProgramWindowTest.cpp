// The real program's window on the embedded default device: the SANE test backend
// behind the real control, acquisition, dispatch and handlers. A click on Scan To
// Folder must leave the scanned file in the configured folder.
#include <gtest/gtest.h>

#include <QtTest/QTest>

#include "../ui/QtTestEnv.h"
#include "app/DataFiles.h"
#include "app/HotkeyDlg.h"
#include "app/ProgramWindowServices.h"
#include "platform/FileSystem.h"
#include "settings/ProductData.h"
#include "settings/Profile.h"
#include "support/TempFolder.h"
#include "ui/SkinButton.h"

namespace {

using testsupport::TempFolder;

class CountingBox : public app::IMessageBox {
public:
    int Show(const std::string& text, unsigned, unsigned) override {
        texts.push_back(text);
        return app::kIdOk;
    }
    std::vector<std::string> texts;
};

TEST(ProgramWindow, ScanToFolderClickLeavesTheFileInTheConfiguredFolder) {
    testsupport::QtApp();
    TempFolder out;
    // With the current source set, the start-up check needs no selection dialog.
    ASSERT_TRUE(app::SetCurrentSource("test:0"));
    std::string sets = settings::UserSettingsFilePath();
    ASSERT_TRUE(settings::WriteProfileString(sets, "Folder", "Savefolder", out.path()));
    ASSERT_TRUE(settings::WriteProfileString(sets, "Folder", "Savetype", "JPEG"));
    ASSERT_TRUE(settings::WriteProfileString(sets, "Folder", "Resolution", "75"));
    ASSERT_TRUE(settings::WriteProfileString(sets, "Folder", "Openfileoption", "false"));

    auto box = std::make_shared<CountingBox>();
    app::ProgramWindowServices services;
    app::CHotkeyDlg::Options options;
    options.messageBox = box;
    app::CHotkeyDlg window(services, options);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(400);  // the start-up check runs shortly after the window shows
    ASSERT_EQ(services.CurrentSource(), "test:0");

    QTest::mouseClick(window.Button(app::kCmdFolder), Qt::LeftButton);
    std::vector<std::string> names;
    auto scanned = [&] {
        names.clear();
        platform::PosixFileSystem().ListFolder(out.path(), names);
        return names.size() == 3 && services.GetScanState() == app::ScanState::Idle;
    };
    ASSERT_TRUE(QTest::qWaitFor(scanned, 30000)) << "no file after the click";
    std::string file;
    for (const auto& n : names)
        if (n != "." && n != "..") file = n;
    EXPECT_EQ(file.rfind("Scan(", 0), 0u) << file;
    EXPECT_EQ(file.substr(file.size() - 9), "0001.JPEG") << file;
    EXPECT_TRUE(box->texts.empty()) << (box->texts.empty() ? "" : box->texts[0]);
}

} // namespace
