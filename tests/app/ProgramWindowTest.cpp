// The real program's window on the embedded default device: the SANE test backend
// behind the real control, acquisition, dispatch and handlers. A click on Scan To
// Folder must leave the scanned file in the configured folder, also when the
// destination first shows the scanner's options dialog.
#include <gtest/gtest.h>

#include <QApplication>
#include <QAbstractButton>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QtTest/QTest>

#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <memory>
#include <string>
#include <vector>

#include "../ui/QtTestEnv.h"
#include "app/HotkeyDlg.h"
#include "app/ProgramStartup.h"
#include "app/ProgramWindowServices.h"
#include "core/Texts.h"
#include "platform/FileSystem.h"
#include "scancontrol/SaneDynamictwain.h"
#include "scancontrol/SourceManager.h"
#include "settings/ProductData.h"
#include "settings/Profile.h"
#include "support/FakeDynamictwain.h"
#include "support/RecordingMessageBox.h"
#include "support/SlowScanner.h"
#include "support/TempFolder.h"
#include "ui/ScanProgressPanel.h"
#include "ui/SkinButton.h"
#include <QLabel>
#include <QProgressBar>

namespace {

using testsupport::TempFolder;

// The window on the real services, with Scan To Folder set to JPEG at 75 dpi into a
// fresh folder. `showDriver` sets the destination to open the scanner's options first.
class ProgramWindowTest : public ::testing::Test {
protected:
    void Open(bool showDriver, bool startWorker = true) {
        testsupport::QtApp();
        // With the current source set, the start-up check needs no selection dialog.
        ASSERT_TRUE(settings::SetCurrentSource("test:0"));
        std::string sets = settings::UserSettingsFilePath();
        ASSERT_TRUE(settings::WriteProfileString(sets, "Folder", "Savefolder", out.path()));
        ASSERT_TRUE(settings::WriteProfileString(sets, "Folder", "Savetype", "JPEG"));
        ASSERT_TRUE(settings::WriteProfileString(sets, "Folder", "Resolution", "75"));
        ASSERT_TRUE(settings::WriteProfileString(sets, "Folder", "Openfileoption", "false"));
        ASSERT_TRUE(settings::WriteProfileString(sets, "Folder", "IsShowDriver", showDriver ? "true" : "false"));
        services = std::make_unique<app::ProgramWindowServices>();
        app::CHotkeyDlg::Options options;
        options.messageBox = box;
        options.startWorker = startWorker;
        window = std::make_unique<app::CHotkeyDlg>(*services, options);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        QTest::qWait(400); // the start-up check runs shortly after the window shows
        ASSERT_TRUE(QTest::qWaitFor([&] { return window->TipsReady() && !window->LookingForScanners(); }, 30000));
        ASSERT_EQ(services->CurrentSource(), "test:0");
    }
    void TearDown() override {
        core::SetMessageBox(nullptr);
        window.reset();
        services.reset();
    }
    // The names in the output folder once the scan has ended.
    std::vector<std::string> FilesAfterScan() {
        std::vector<std::string> names;
        auto ended = [&] {
            names.clear();
            platform::PosixFileSystem().ListFolder(out.path(), names);
            return names.size() == 3 && services->GetScanState() == core::ScanState::Idle;
        };
        if (!QTest::qWaitFor(ended, 30000)) ADD_FAILURE() << "no file after the click";
        std::vector<std::string> files;
        for (const auto& n : names)
            if (n != "." && n != "..") files.push_back(n);
        return files;
    }
    // Presses the named button of the scanner options dialog once it is up.
    static void PressInOptionsDialog(const char* button, bool* shown) {
        auto* timer = new QTimer;
        QObject::connect(timer, &QTimer::timeout, [timer, button, shown] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            auto* press = dialog->findChild<QPushButton*>(button);
            if (!press) return;
            timer->stop();
            timer->deleteLater();
            *shown = true;
            press->click();
        });
        timer->start(20);
    }

    TempFolder out;
    std::shared_ptr<testsupport::RecordingMessageBox> box = std::make_shared<testsupport::RecordingMessageBox>();
    std::unique_ptr<app::ProgramWindowServices> services;
    std::unique_ptr<app::CHotkeyDlg> window;
};

TEST_F(ProgramWindowTest, ScanToFolderClickLeavesTheFileInTheConfiguredFolder) {
    Open(false);
    QTest::mouseClick(window->Button(app::kCmdFolder), Qt::LeftButton);
    std::vector<std::string> files = FilesAfterScan();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].rfind("Scan(", 0), 0u) << files[0];
    EXPECT_EQ(files[0].substr(files[0].size() - 9), "0001.JPEG") << files[0];
    EXPECT_TRUE(box->texts.empty()) << (box->texts.empty() ? "" : box->texts[0]);
}

TEST_F(ProgramWindowTest, StartUpListsTheScannersOnceAndAButtonPressListsNothing) {
    const unsigned long before = scancontrol::SaneDeviceListings();
    Open(false);
    EXPECT_EQ(scancontrol::SaneDeviceListings(), before + 1);
    QTest::mouseClick(window->Button(app::kCmdFolder), Qt::LeftButton);
    ASSERT_EQ(FilesAfterScan().size(), 1u);
    EXPECT_EQ(scancontrol::SaneDeviceListings(), before + 1);
    EXPECT_TRUE(box->texts.empty()) << (box->texts.empty() ? "" : box->texts[0]);
}

TEST_F(ProgramWindowTest, TheListingArrivesOnTheWindowsThreadAndServesTheStartUpCheck) {
    testsupport::QtApp();
    ASSERT_TRUE(settings::SetCurrentSource("absent:0"));
    const unsigned long before = scancontrol::SaneDeviceListings();
    services = std::make_unique<app::ProgramWindowServices>();
    QThread* ranOn = nullptr;
    services->PrepareSources([&] { ranOn = QThread::currentThread(); });
    // Nothing was listed for the caller to wait on: the answer comes through its event loop.
    EXPECT_EQ(ranOn, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ranOn != nullptr; }, 30000));
    EXPECT_EQ(ranOn, QThread::currentThread());
    EXPECT_TRUE(services->Sources().HasListing());
    // The check that asked for the listing fails on it without listing again.
    app::SourceCheck check = services->CheckSources();
    EXPECT_EQ(check.code, core::kSourceNotKnown);
    EXPECT_EQ(check.sources, (std::vector<std::string>{"test:0", "test:1"}));
    EXPECT_EQ(scancontrol::SaneDeviceListings(), before + 1);
    // Once kept, the list is there at once.
    bool again = false;
    services->PrepareSources([&] { again = true; });
    EXPECT_TRUE(again);
}

TEST_F(ProgramWindowTest, ScannerOptionsDialogShowsAndItsScanButtonScans) {
    Open(true);
    bool shown = false;
    PressInOptionsDialog("scanButton", &shown);
    QTest::mouseClick(window->Button(app::kCmdFolder), Qt::LeftButton);
    std::vector<std::string> files = FilesAfterScan();
    EXPECT_TRUE(shown) << "the scanner options dialog did not appear";
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].substr(files[0].size() - 9), "0001.JPEG") << files[0];
    EXPECT_TRUE(box->texts.empty()) << (box->texts.empty() ? "" : box->texts[0]);
}

TEST_F(ProgramWindowTest, CancellingTheScannerOptionsDialogScansNothing) {
    Open(true);
    bool shown = false;
    PressInOptionsDialog("cancelButton", &shown);
    QTest::mouseClick(window->Button(app::kCmdFolder), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown; }, 30000)) << "the scanner options dialog did not appear";
    ASSERT_TRUE(QTest::qWaitFor([&] { return services->GetScanState() == core::ScanState::Idle; }, 30000));
    std::vector<std::string> names;
    platform::PosixFileSystem().ListFolder(out.path(), names);
    EXPECT_EQ(names.size(), 2u) << "a cancelled scan left a file";
    EXPECT_TRUE(box->texts.empty()) << (box->texts.empty() ? "" : box->texts[0]);
}

// Start-up with a source manager that cannot be opened: the acquisition object reports
// it while the window's services are made, and the user sees message 108 in the
// program's own message box (the one start-up installs, no test double).
TEST(ProgramStartup, SourceManagerThatCannotOpenShowsMessage108) {
    testsupport::QtApp();
    std::vector<std::string> shown;
    QTimer answer; // answers each box as it opens
    answer.setInterval(20);
    QObject::connect(&answer, &QTimer::timeout, [&shown] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) return;
        shown.push_back(box->text().toStdString());
        box->button(QMessageBox::Ok)->click();
    });
    answer.start();
    std::unique_ptr<QDialog> window = app::CreateProgramWindow([] {
        auto control = std::make_unique<scancontrol::FakeDynamictwain>();
        control->SetSourceManagerPresent(false);
        // The scripted control lists its own sources; the services own it through `control`.
        std::shared_ptr<scancontrol::ISourceManager> sources(control.get(), [](scancontrol::ISourceManager*) {});
        return std::make_unique<app::ProgramWindowServices>(std::move(control), std::move(sources));
    });
    answer.stop();
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(shown.size(), 1u) << "message 108 did not reach the user";
    EXPECT_EQ(shown[0], core::LoadMessageText(108));
    EXPECT_EQ(shown[0], "Please make sure twain_32.dll is in your system folder.");
    window.reset();
}

// A scan onto a full disk: the window tells the user that the document was not saved
// and why, and leaves no file behind.
TEST_F(ProgramWindowTest, FullDiskShowsWhy) {
    if (::geteuid() != 0) GTEST_SKIP() << "mounting a small file system needs root (CI runs as root)";
    // A 64 KiB file system as the save folder, in a mount namespace of this test's own.
    ASSERT_EQ(::unshare(CLONE_NEWNS), 0) << std::strerror(errno);
    ASSERT_EQ(::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr), 0) << std::strerror(errno);
    ASSERT_EQ(::mount("tmpfs", out.path().c_str(), "tmpfs", 0, "size=64k"), 0) << std::strerror(errno);
    Open(false);
    // The scan's messages reach the user through the program's message routine, which
    // the program points at its window's box.
    core::SetMessageBox(box);
    const std::string sets = settings::UserSettingsFilePath();
    for (const auto& [key, value] : std::vector<std::pair<std::string, std::string>>{{"Savetype", "Multi-page PDF"},
                                                                                     {"Colormode", "BW"},
                                                                                     {"PDFCompression", "Middle|Raw"},
                                                                                     {"Resolution", "300"},
                                                                                     {"Papersize", "A4"}})
        ASSERT_TRUE(settings::WriteProfileString(sets, "Folder", key, value));
    QTest::mouseClick(window->Button(app::kCmdFolder), Qt::LeftButton);
    const bool told = QTest::qWaitFor(
        [&] { return !box->texts.empty() && services->GetScanState() == core::ScanState::Idle; }, 30000);
    std::vector<std::string> names;
    platform::PosixFileSystem().ListFolder(out.path(), names);
    ::umount2(out.path().c_str(), MNT_DETACH);
    core::SetMessageBox(nullptr);
    ASSERT_TRUE(told) << "no message after the scan";
    ASSERT_EQ(box->texts.size(), 1u) << box->texts[0];
    EXPECT_NE(box->texts[0].find(std::strerror(ENOSPC)), std::string::npos) << box->texts[0];
    EXPECT_EQ(box->texts[0].find(std::strerror(ENOMEM)), std::string::npos) << box->texts[0];
    EXPECT_EQ(names.size(), 2u) << "a file was left in the save folder";
}

} // namespace

namespace {

// Painting the progress strip hands work to Qt's own pooled threads, whose
// synchronisation lives in Debian's Qt, which is not built for ThreadSanitizer. The
// control's side of the progress is checked under it (SaneControlTest).
#if defined(__SANITIZE_THREAD__)
#define SKIP_WHERE_THE_STRIP_PAINTS() GTEST_SKIP() << "Qt's painting threads are not instrumented for ThreadSanitizer"
#else
#define SKIP_WHERE_THE_STRIP_PAINTS() (void)0
#endif

// The scan's indicator on the test scanner whose pages arrive slowly (about a second
// each; the feeder holds ten): Scan To Folder takes every page of the feeder into one
// PDF, in grey at 75 dpi. The slow configuration is read when SANE starts, which is once
// per process: each case runs in a process of its own, as ctest runs them.
class ScanIndicatorTest : public ProgramWindowTest {
protected:
    void OpenSlow(bool startWorker = true) {
        if (const char* now = std::getenv("SANE_CONFIG_DIR")) previousSane = now;
        ::setenv("SANE_CONFIG_DIR", testsupport::WriteSlowSaneConfig(sane).c_str(), 1);
        Open(false, startWorker);
        SetFolder({{"Scanmethod", "ADF"}, {"Savetype", "Multi-page PDF"}, {"Colormode", "Gray"}});
    }
    void SetFolder(const std::vector<std::pair<std::string, std::string>>& values) {
        for (const auto& [key, value] : values)
            ASSERT_TRUE(settings::WriteProfileString(settings::UserSettingsFilePath(), "Folder", key, value));
    }
    void TearDown() override {
        ProgramWindowTest::TearDown();
        if (!previousSane.empty()) ::setenv("SANE_CONFIG_DIR", previousSane.c_str(), 1);
    }
    ui::ScanProgressPanel* Indicator() { return window->Indicator(); }
    QString PageShown() { return Indicator()->PageLabel()->text(); }
    bool Idle() { return services->GetScanState() == core::ScanState::Idle; }
    // The names in a folder, without "." and ".." and the lock its users share.
    static std::vector<std::string> Files(const std::string& folder) {
        std::vector<std::string> names, files;
        platform::PosixFileSystem().ListFolder(folder, names);
        for (const auto& n : names)
            if (n != "." && n != ".." && n != ".users.lock") files.push_back(n);
        return files;
    }
    // Waits until the indicator shows page `page` part read.
    bool WaitForMidPage(int page) {
        const QString text = QStringLiteral("Page %1").arg(page);
        return QTest::qWaitFor(
            [&] {
                const int value = Indicator()->Bar()->value();
                return Indicator()->isVisible() && PageShown() == text && value > 0 && value < 100;
            },
            60000);
    }

    TempFolder sane;
    std::string previousSane; // the configuration the other tests of the process use
};

TEST_F(ScanIndicatorTest, ShowsTheDestinationAndEachPageInTurnAndRefusesASecondPress) {
    SKIP_WHERE_THE_STRIP_PAINTS();
    OpenSlow();
    QTest::mouseClick(window->Button(app::kCmdFolder), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Indicator()->isVisible(); }, 30000)) << "no indicator";
    EXPECT_EQ(Indicator()->DestinationLabel()->text(), QStringLiteral("Scan To Folder"));
    EXPECT_FALSE(Indicator()->CancelButton()->hasFocus());
    // A press on another destination while the scan runs is refused, without a word.
    QTest::mouseClick(window->Button(app::kCmdApplication1), Qt::LeftButton);
    EXPECT_EQ(services->Dispatch()->Request().destination, core::kDestFolder);
    // The page number as the indicator shows it, each change noted, up to page 3.
    std::vector<QString> pages;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            if (pages.empty() || pages.back() != PageShown()) pages.push_back(PageShown());
            return PageShown() == QStringLiteral("Page 3");
        },
        60000));
    EXPECT_EQ(pages,
              (std::vector<QString>{QStringLiteral("Page 1"), QStringLiteral("Page 2"), QStringLiteral("Page 3")}));
    QTest::mouseClick(Indicator()->CancelButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Idle(); }, 30000));
    EXPECT_FALSE(Indicator()->isVisible());
    EXPECT_EQ(window->IndicatorShows(), 1);
    EXPECT_TRUE(box->texts.empty()) << (box->texts.empty() ? "" : box->texts[0]);
}

// Cancel in the middle of page 2 ends the acquisition through the control as the
// driver's cancel does: event 6, nothing delivered, no file anywhere.
TEST_F(ScanIndicatorTest, CancelInTheMiddleOfPage2EndsWithEvent6AndLeavesNoFile) {
    SKIP_WHERE_THE_STRIP_PAINTS();
    OpenSlow();
    QTest::mouseClick(window->Button(app::kCmdFolder), Qt::LeftButton);
    ASSERT_TRUE(WaitForMidPage(2)) << "page 2 was never shown under way";
    QTest::mouseClick(Indicator()->CancelButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Idle(); }, 30000));
    const app::ScanOutcome& outcome = services->Dispatch()->LastOutcome();
    EXPECT_EQ(outcome.endEvent, 6);
    EXPECT_FALSE(outcome.delivered);
    EXPECT_FALSE(Indicator()->isVisible());
    EXPECT_TRUE(Files(out.path()).empty()) << "a file in the save folder";
    EXPECT_TRUE(Files(settings::WorkingImageFolder()).empty()) << "a file left in the temporary folder";
    EXPECT_TRUE(box->texts.empty()) << (box->texts.empty() ? "" : box->texts[0]);
}

// While the scanner's options dialog is up no page is read: the strip waits for the
// first page, then shows.
TEST_F(ScanIndicatorTest, WaitsForTheScannersOptionsDialogToClose) {
    SKIP_WHERE_THE_STRIP_PAINTS();
    OpenSlow();
    SetFolder({{"IsShowDriver", "true"}, {"Scanmethod", "Flatbed"}, {"Savetype", "PDF"}});
    bool stripUnderDialog = true, pressed = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || pressed) return;
        pressed = true;
        // Well past the indicator's delay, the dialog still up.
        QTimer::singleShot(1000, dialog, [&, dialog] {
            stripUnderDialog = Indicator()->isVisible();
            dialog->findChild<QPushButton*>("scanButton")->click();
        });
    });
    poll.start(20);
    QTest::mouseClick(window->Button(app::kCmdFolder), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Indicator()->isVisible(); }, 30000)) << "no strip for the page";
    EXPECT_TRUE(pressed);
    EXPECT_FALSE(stripUnderDialog) << "the strip showed while the options were chosen";
    ASSERT_TRUE(QTest::qWaitFor([&] { return Idle(); }, 30000));
    EXPECT_EQ(Files(out.path()).size(), 1u);
}

// A scan that is over before the indicator's delay shows none.
TEST_F(ScanIndicatorTest, AFastScanShowsNoIndicator) {
    Open(false);
    SetFolder({{"Scanmethod", "Flatbed"}});
    QTest::mouseClick(window->Button(app::kCmdFolder), Qt::LeftButton);
    ASSERT_EQ(FilesAfterScan().size(), 1u);
    EXPECT_EQ(window->IndicatorShows(), 0);
    EXPECT_EQ(services->Dispatch()->LastOutcome().endEvent, 4);
}

// Scans nobody watches show no indicator, however long they take: a request marked
// quiet, and a scan started at the device over the network.
struct UnwatchedCase {
    const char* name;
    int origin;
    bool quiet;
};
class UnwatchedScanTest : public ScanIndicatorTest, public ::testing::WithParamInterface<UnwatchedCase> {};

TEST_P(UnwatchedScanTest, ShowsNoIndicator) {
    OpenSlow(false);
    core::ScanRequest request = core::ScanRequest::ForButton(core::kDestFolder, "test:0");
    request.origin = GetParam().origin;
    request.quiet = GetParam().quiet;
    ASSERT_TRUE(services->StartScanTask(request));
    // Page 2 begins a second or more after the start (the device's pauses see to that),
    // long after the indicator's delay.
    ASSERT_TRUE(QTest::qWaitFor([&] { return services->ScanProgress().page >= 2; }, 60000));
    EXPECT_FALSE(Indicator()->isVisible());
    EXPECT_EQ(window->IndicatorShows(), 0);
    EXPECT_TRUE(services->CancelScan());
    ASSERT_TRUE(QTest::qWaitFor([&] { return Idle(); }, 30000));
    EXPECT_EQ(services->Dispatch()->LastOutcome().endEvent, 6);
}

INSTANTIATE_TEST_SUITE_P(Requests, UnwatchedScanTest,
                         ::testing::Values(UnwatchedCase{"QuietButtonScan", core::kOriginButton, true},
                                           UnwatchedCase{"NetworkPush", core::kOriginNetworkPush, false}),
                         [](const ::testing::TestParamInfo<UnwatchedCase>& c) { return c.param.name; });

} // namespace
