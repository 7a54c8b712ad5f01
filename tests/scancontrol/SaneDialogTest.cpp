// The driver dialog (ShowUI): generated from the device's SANE options, with Scan and
// Cancel. Driven offscreen: the test presses the dialog's buttons.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <functional>

#include "ControlTestSupport.h"
#include "scan/TwainCap.h"
#include "scancontrol/SaneDriverDialog.h"
#include "scancontrol/SaneDynamictwain.h"
#include "scancontrol/sane/RememberedOptions.h"

namespace {

using namespace scancontrol;

// Calls `act` with the modal dialog as soon as it is shown.
void WhenDialogShows(std::function<void(QDialog*)> act) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(d);
        }
    });
    timer->start(10);
}

class SaneDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
#if defined(__SANITIZE_THREAD__)
        // Showing a dialog starts Qt's own font-loading thread pool; Debian's Qt is not
        // built for ThreadSanitizer, which then reports Qt's internal hand-offs. The
        // control's threads are covered by SaneControlTest under ThreadSanitizer.
        GTEST_SKIP() << "Qt's internal threads are not instrumented for ThreadSanitizer";
#endif
        scantest::EnsureApplication();
        InstallSaneDriverDialog();
        // Each test starts without choices remembered by an earlier one.
        std::remove(scancontrol::sanectl::RememberedOptionsPath("Noname", "frontend-tester").c_str());
        OpenControl();
    }
    // A control on the first test device, set to show the dialog when acquiring.
    void OpenControl() {
        control.reset();
        rec = {};
        control = CreateSaneDynamictwain();
        control->SetEventListener(&rec);
        ASSERT_TRUE(control->OpenSourceManager());
        ASSERT_TRUE(control->SelectSourceByIndex(0));
        ASSERT_TRUE(control->OpenSource());
        ASSERT_TRUE(scantest::ResetTestBackend(*control));
        control->Resolution(25);
        control->ShowUI(true);
        control->DriverUIOption(true);
    }
    // Chooses colour in the dialog as a user does, then presses `button` once the form
    // has been rebuilt.
    static void ChooseColourThenPress(QDialog* d, const char* button) {
        auto* mode = d->findChild<QComboBox*>("mode");
        ASSERT_NE(mode, nullptr);
        const int color = mode->findText("Color");
        ASSERT_GE(color, 0);
        mode->setCurrentIndex(color);
        emit mode->textActivated("Color");
        QTimer::singleShot(50, d, [d, button] { d->findChild<QPushButton*>(button)->click(); });
    }
    // Opens the dialog on a fresh control and reads the scan mode it shows; cancels it.
    std::string ModeShownByTheNextDialog() {
        OpenControl();
        std::string shown;
        WhenDialogShows([&](QDialog* d) {
            if (auto* mode = d->findChild<QComboBox*>("mode")) shown = mode->currentText().toStdString();
            d->findChild<QPushButton*>("cancelButton")->click();
        });
        EXPECT_TRUE(control->AcquireImage());
        EXPECT_TRUE(rec.Wait());
        return shown;
    }
    std::unique_ptr<CDynamictwain> control;
    scantest::EventRecorder rec;
};

TEST_F(SaneDialogTest, CancelEndsTheAcquisitionWithEventSix) {
    bool sawModeChoice = false;
    WhenDialogShows([&](QDialog* d) {
        sawModeChoice = d->findChild<QComboBox*>("mode") != nullptr;
        d->findChild<QPushButton*>("cancelButton")->click();
    });
    ASSERT_TRUE(control->AcquireImage());
    EXPECT_NE(control->ScanInProgress(), 0);
    ASSERT_TRUE(rec.Wait());
    EXPECT_TRUE(sawModeChoice);
    EXPECT_EQ(rec.events, (std::vector<int>{6}));
    EXPECT_EQ(control->ScanInProgress(), 0);
}

TEST_F(SaneDialogTest, ScanUsesTheSettingsChosenInTheDialog) {
    WhenDialogShows([&](QDialog* d) {
        auto* mode = d->findChild<QComboBox*>("mode");
        ASSERT_NE(mode, nullptr);
        const int color = mode->findText("Color");
        ASSERT_GE(color, 0);
        mode->setCurrentIndex(color);
        emit mode->textActivated("Color"); // as a user's choice
        // The form is rebuilt after the change; press Scan from the event loop.
        QTimer::singleShot(50, d, [d] { d->findChild<QPushButton*>("scanButton")->click(); });
    });
    long pixelType = -1;
    rec.onEvent = [&](TwainEvent e) {
        if (e == TwainEvent::PageTransferred) pixelType = control->ImagePixelType();
    };
    ASSERT_TRUE(control->AcquireImage());
    ASSERT_TRUE(rec.Wait());
    EXPECT_EQ(rec.events, (std::vector<int>{3, 2, 1, 4}));
    EXPECT_EQ(pixelType, twain::TWPT_RGB);
    EXPECT_EQ(control->PixelType(), twain::TWPT_RGB);
}

TEST_F(SaneDialogTest, ChoicesConfirmedWithScanAreShownByTheNextDialog) {
    WhenDialogShows([](QDialog* d) { ChooseColourThenPress(d, "scanButton"); });
    ASSERT_TRUE(control->AcquireImage());
    ASSERT_TRUE(rec.Wait());
    ASSERT_EQ(rec.events, (std::vector<int>{3, 2, 1, 4}));
    // The device itself starts in grey again (the test backend's setting); the dialog
    // brings back the user's colour.
    EXPECT_EQ(ModeShownByTheNextDialog(), "Color");
    // Leaving the dialog with Cancel keeps what was remembered.
    EXPECT_EQ(ModeShownByTheNextDialog(), "Color");
}

// A landscape scan, then a scan through the driver's dialog (which sends no orientation)
// from the same control: the second source session starts upright.
TEST_F(SaneDialogTest, DialogScanAfterALandscapeScanIsUpright) {
    control->ShowUI(false);
    ASSERT_EQ(
        scan::LowLevelSet(control.get(), twain::TWOR_LANDSCAPE, twain::ICAP_ORIENTATION, settings::kContainerOneValue),
        0);
    ImageInfo info;
    rec.onEvent = [&](TwainEvent e) {
        if (e == TwainEvent::PageTransferred) info = control->CurrentImageInfo();
    };
    ASSERT_TRUE(control->AcquireImage());
    ASSERT_TRUE(rec.Wait());
    EXPECT_GT(info.imageWidth, info.imageLength);
    // The next scan reopens the source and shows the dialog.
    control->CloseSourceManager();
    ASSERT_TRUE(control->OpenSourceManager());
    ASSERT_TRUE(control->SelectSourceByIndex(0));
    ASSERT_TRUE(control->OpenSource());
    control->ShowUI(true);
    WhenDialogShows([](QDialog* d) { d->findChild<QPushButton*>("scanButton")->click(); });
    rec.events.clear();
    info = {};
    ASSERT_TRUE(control->AcquireImage());
    ASSERT_TRUE(rec.Wait());
    ASSERT_EQ(rec.events, (std::vector<int>{3, 2, 1, 4}));
    EXPECT_GT(info.imageWidth, 0);
    EXPECT_LT(info.imageWidth, info.imageLength) << "an A4 page scanned upright";
}

TEST_F(SaneDialogTest, ChoicesOfACancelledDialogAreNotRemembered) {
    WhenDialogShows([](QDialog* d) { ChooseColourThenPress(d, "cancelButton"); });
    ASSERT_TRUE(control->AcquireImage());
    ASSERT_TRUE(rec.Wait());
    ASSERT_EQ(rec.events, (std::vector<int>{6}));
    EXPECT_EQ(ModeShownByTheNextDialog(), "Gray");
}

} // namespace
