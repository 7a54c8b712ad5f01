// The real program's window for a user whose locale writes numbers with a decimal comma.
// The application object takes the C library's locale from LANG when it is made, as in
// the program, so this test makes it itself, after setting LANG; it lives in a program
// of its own for that reason.
#include <gtest/gtest.h>

#include <QApplication>
#include <QtTest/QTest>

#include <memory>
#include <string>
#include <vector>

#include "../ui/QtTestEnv.h"
#include "app/HotkeyDlg.h"
#include "app/ProgramWindowServices.h"
#include "platform/FileSystem.h"
#include "settings/ProductData.h"
#include "settings/Profile.h"
#include "support/Locales.h"
#include "support/PdfRender.h"
#include "support/RecordingMessageBox.h"
#include "support/TempFolder.h"
#include "ui/SkinButton.h"

namespace {

using testsupport::TempFolder;

TEST(DecimalCommaWindow, ScanToFolderPdfRenders) {
    const std::string locale = testsupport::DecimalCommaLocale();
    ASSERT_FALSE(locale.empty()) << "no locale with a decimal comma (install the locales package)";
    testsupport::LocaleEnvironment german(locale);
    testsupport::QtApp();
    ASSERT_EQ(testsupport::ProcessLocale::DecimalPoint(), ",") << "the application object did not take LANG";

    TempFolder out, renders;
    ASSERT_TRUE(settings::SetCurrentSource("test:0"));
    const std::string sets = settings::UserSettingsFilePath();
    for (const auto& [key, value] : std::vector<std::pair<std::string, std::string>>{{"Savefolder", out.path()},
                                                                                     {"Savetype", "PDF"},
                                                                                     {"Colormode", "Color"},
                                                                                     {"Resolution", "75"},
                                                                                     {"Openfileoption", "false"},
                                                                                     {"IsShowDriver", "false"}})
        ASSERT_TRUE(settings::WriteProfileString(sets, "Folder", key, value));
    auto box = std::make_shared<testsupport::RecordingMessageBox>();
    auto services = std::make_unique<app::ProgramWindowServices>();
    app::CHotkeyDlg::Options options;
    options.messageBox = box;
    auto window = std::make_unique<app::CHotkeyDlg>(*services, options);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    QTest::qWait(400); // the start-up check runs shortly after the window shows

    QTest::mouseClick(window->Button(app::kCmdFolder), Qt::LeftButton);
    std::vector<std::string> names;
    const bool ended = QTest::qWaitFor(
        [&] {
            names.clear();
            platform::PosixFileSystem().ListFolder(out.path(), names);
            return names.size() == 3 && services->GetScanState() == core::ScanState::Idle;
        },
        30000);
    window.reset();
    services.reset();
    ASSERT_TRUE(ended) << "no document after the click";
    std::string pdf;
    for (const auto& n : names)
        if (n != "." && n != "..") pdf = out / n;
    ASSERT_EQ(pdf.substr(pdf.size() - 4), ".PDF") << pdf;
    EXPECT_TRUE(box->texts.empty()) << (box->texts.empty() ? "" : box->texts[0]);
    const testsupport::Render render = testsupport::RenderFirstPage(pdf, renders / "page");
    EXPECT_EQ(render.complaints, "");
    // The test device's page is solid black: a blank render is a lost page.
    EXPECT_LT(render.darkest, 128) << "the page rendered blank";
}

} // namespace
