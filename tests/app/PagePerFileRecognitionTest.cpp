// One-page searchable PDFs from the SANE test backend's feeder (ten pages), through the
// real acquisition and dispatch: the scanner is not held while earlier pages are still
// recognised, the files reach the destination in page order, Cancel leaves nothing, and
// a document that cannot be published ends the deliveries.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFont>
#include <QImage>
#include <QMetaObject>
#include <QPainter>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

#include "../scancontrol/ControlTestSupport.h"
#include "app/ProgramServices.h"
#include "app/ScanDispatch.h"
#include "codec/Image.h"
#include "core/Texts.h"
#include "output/OutputHost.h"
#include "output/PageText.h"
#include "output/TextRecognizer.h"
#include "platform/Services.h"
#include "scan/TwainScanner.h"
#include "scancontrol/SaneDynamictwain.h"
#include "settings/ProductData.h"
#include "settings/Records.h"
#include "support/FakeDynamictwain.h"
#include "support/RecordingMessageBox.h"
#include "support/TempFolder.h"

namespace {

using scancontrol::TwainEvent;

// Recognition the test holds: no page is recognised until the test lets them go (or their
// recognition is cancelled); every page is found to carry the word "page".
struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    bool held = false; // pages wait
    bool released = false;
    int recognised = 0;
    void Release() {
        std::lock_guard<std::mutex> lock(mutex);
        released = true;
        changed.notify_all();
    }
};
Gate* g_gate = nullptr;

class GateRecogniser : public output::IF_PageRecogniser {
public:
    bool Load(const std::string&) override { return true; }
    bool Recognise(const codec::Image& page, output::PageText& out, const std::atomic<bool>* cancel) override {
        Gate& gate = *g_gate;
        std::unique_lock<std::mutex> lock(gate.mutex);
        if (gate.held) {
            while (!gate.released && !(cancel && *cancel)) gate.changed.wait_for(lock, std::chrono::milliseconds(10));
            if (!gate.released) return false;
        }
        ++gate.recognised;
        out = output::PageText{};
        out.width = page.width;
        out.height = page.height;
        out.words.push_back({"page", 10, 10, 200, 60});
        return true;
    }
};
std::unique_ptr<output::IF_PageRecogniser> MakeGateRecogniser() { return std::make_unique<GateRecogniser>(); }

// The destination: every file in the order it came, and the scan's end.
class FolderProcessor : public core::ScanProcesser {
public:
    FolderProcessor(const settings::CommonSetting& record, std::vector<std::string>& saved)
        : record_(record), saved_(saved) {}
    bool RefuseScan() override { return false; }
    void OnPageSaved(const std::string& path) override { saved_.push_back(path); }
    void OnScanFinished(const std::string&) override {}
    void ResetSettings() override {}
    bool LoadSettings() override { return true; }
    bool IsMultiPage() const override { return false; }
    void SuppressDriverDialog() override {}
    bool Start(core::IAcquisition& acquisition) override { return acquisition.Run(record_); }

private:
    settings::CommonSetting record_;
    std::vector<std::string>& saved_;
};

// The window's side; `posting`: it takes calls from other threads (the main window),
// else the dispatch does all its work on this thread (the command line).
class Window : public app::IScanWindow {
public:
    explicit Window(bool posting) : posting_(posting) {}
    int RunOnUiThread(const std::function<int()>& call) override { return call(); }
    bool UpdateMenuForDevice(bool) override { return true; }
    void RefreshButtons() override {}
    void BringToFront() override {}
    bool PostToUiThread(std::function<void()> call) override {
        if (!posting_) return false;
        if (call) QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(call), Qt::QueuedConnection);
        return true;
    }
    void AcquisitionEnded(const core::ScanRequest&, const app::ScanOutcome& outcome) override {
        outcomes.push_back(outcome);
    }
    std::vector<app::ScanOutcome> outcomes;

private:
    bool posting_;
};

// Sees each event before the dispatch does.
class Tap : public scancontrol::IDynamictwainEvents {
public:
    explicit Tap(scancontrol::IDynamictwainEvents& inner) : inner_(inner) {}
    void OnTwainEvent(TwainEvent event) override {
        if (onEvent) onEvent(event);
        inner_.OnTwainEvent(event);
    }
    std::function<void(TwainEvent)> onEvent;

private:
    scancontrol::IDynamictwainEvents& inner_;
};

// Publishing the `failAt`-th document into `folder` fails with a full disk (only that one).
class FullDiskOnPublish : public platform::PosixFileSystem {
public:
    FullDiskOnPublish(std::string folder, int failAt) : folder_(std::move(folder)), failAt_(failAt) {}
    int PublishNoReplace(const std::string& from, const std::string& to) override {
        if (to.compare(0, folder_.size(), folder_) == 0 && ++published_ == failAt_) return ENOSPC;
        return platform::PosixFileSystem::PublishNoReplace(from, to);
    }

private:
    std::string folder_;
    int failAt_;
    std::atomic<int> published_{0};
};

// Scan To Folder from the feeder in grey, one searchable PDF per page, into `folder`.
settings::CommonSetting PerPageSearchable(const std::string& folder, int resolution) {
    settings::CommonSetting record("Folder");
    record.SetScanMethod("ADF");
    record.SetScanMethodArr(settings::ScanMethodArr::FromText("Flatbed|left|lr|off|-ADF|left|lr|off|-"));
    record.SetColorMode("Gray");
    record.SetResolution(resolution);
    record.SetFileName("Scan");
    record.SetSaveType("PDF");
    record.SetPDFCompression("Middle|G4");
    record.SetSaveFolder(folder);
    record.SetSearchablePdf(true);
    record.SetOcrLanguages("eng");
    return record;
}

// Released: the pages' recognition goes on once the feeder is done. Cancelled: the
// user cancels the recognition then. CancelledFeeding: the user cancels the scan at the
// third page.
enum class Course { Released, Cancelled, CancelledFeeding, PublishFails, RealRecognition };

struct RecognitionCase {
    const char* name;
    bool posting;
    Course course;
};

class PagePerFileRecognition : public ::testing::TestWithParam<RecognitionCase> {};

TEST_P(PagePerFileRecognition, ScannerNotHeldFilesInPageOrder) {
    const RecognitionCase& c = GetParam();
    const bool real = c.course == Course::RealRecognition;
    if (real && !output::OcrLanguagesInstalled("eng")) GTEST_SKIP() << "no English recognition data installed";
    scantest::EnsureApplication();
    testsupport::TempFolder out;
    Gate gate;
    gate.held = !real;
    g_gate = &gate;
    if (!real) output::SetPageRecogniserFactory(MakeGateRecogniser);
    std::unique_ptr<platform::ScopedService<platform::IFileSystem>> disk;
    if (c.course == Course::PublishFails)
        disk = std::make_unique<platform::ScopedService<platform::IFileSystem>>(
            std::make_shared<FullDiskOnPublish>(out.path(), 2));
    const std::vector<std::string> workingBefore = testsupport::SortedNames(settings::WorkingImageFolder());

    settings::CommonSetting record = PerPageSearchable(out.path(), real ? 150 : 75);
    record.SetPaperSize("A4");

    std::unique_ptr<scancontrol::CDynamictwain> control = scancontrol::CreateSaneDynamictwain();
    auto box = std::make_shared<testsupport::RecordingMessageBox>();
    auto services = std::make_unique<app::ProgramServices>(control.get(), nullptr, box);
    settings::SetCurrentSource("test:0");
    {
        scan::TwainScanner scanner(*control);
        Window window(c.posting);
        std::vector<std::string> saved;
        auto handler = std::make_shared<app::ScanOperationHandler>(
            *control, scanner, window,
            [&](const core::ScanRequest&) { return std::make_unique<FolderProcessor>(record, saved); },
            app::SourceServices{[] { return std::string("test:0"); }, [](const std::string&) {}, [] {}});
        services->SetScanStatus(handler);
        Tap tap(*handler);
        // When the scanner says its run is over: how many pages it had handed over, and
        // whether the pages' recognition was still held then (the test lets it go when
        // the feeder's run is over).
        int transferred = 0, transferredAtEnd = -1;
        bool heldAtEnd = false;
        const bool cancelling = c.course == Course::Cancelled || c.course == Course::CancelledFeeding;
        tap.onEvent = [&](TwainEvent event) {
            if (event == TwainEvent::PageTransferred && ++transferred == 3 && c.course == Course::CancelledFeeding) {
                EXPECT_TRUE(control->CancelAcquisition());
            }
            const bool end = event == TwainEvent::AcquisitionEnded || event == TwainEvent::TransferCancelled ||
                             event == TwainEvent::TransferFailed;
            if (!end || transferredAtEnd >= 0) return;
            transferredAtEnd = transferred;
            {
                std::lock_guard<std::mutex> lock(gate.mutex);
                heldAtEnd = gate.held && !gate.released;
            }
            if (!real) {
                EXPECT_TRUE(saved.empty()) << "a page was delivered before its recognition";
            }
            if (!cancelling) gate.Release();
        };
        control->SetEventListener(&tap);
        // A scanner held by recognition never ends its run: the gate opens after a while
        // so that the test fails instead of hanging.
        std::atomic<bool> done{false};
        std::thread watchdog([&] {
            for (int i = 0; i < 600 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
            gate.Release();
        });

        ASSERT_TRUE(handler->StartScanTask(core::ScanRequest::ForButton(core::kDestFolder, "test:0")));
        bool cancelled = false;
        for (int i = 0; i < 12000 && window.outcomes.empty(); ++i) {
            scantest::Pump(10);
            if (c.course == Course::Cancelled && transferredAtEnd >= 0 && !cancelled) {
                EXPECT_TRUE(handler->Recognition().Pending()) << "the strip shows the recognition still to come";
                cancelled = handler->CancelRecognition();
                EXPECT_TRUE(cancelled);
            }
        }
        done = true;
        watchdog.join();
        control->SetEventListener(nullptr);
        services->SetScanStatus(nullptr);

        ASSERT_EQ(window.outcomes.size(), 1u);
        const app::ScanOutcome& outcome = window.outcomes[0];
        EXPECT_EQ(transferredAtEnd, c.course == Course::CancelledFeeding ? 3 : 10) << "the feeder's ten pages";
        if (!real) {
            EXPECT_TRUE(heldAtEnd) << "the scanner waited for the pages' recognition";
        }
        EXPECT_EQ(outcome.files, saved);
        EXPECT_FALSE(handler->Recognition().Pending());
        if (c.course == Course::Released || real) {
            EXPECT_EQ(handler->Recognition().pages, 10);
        }
        const std::vector<std::string> files = testsupport::SortedNames(out.path());
        switch (c.course) {
            case Course::Released:
            case Course::RealRecognition: {
                EXPECT_TRUE(box->texts.empty()) << (box->texts.empty() ? "" : box->texts.front());
                ASSERT_EQ(saved.size(), 10u);
                EXPECT_TRUE(outcome.delivered);
                // Page order: the documents took the numbers of their series in the order
                // of their pages (all of them chose the same first name while none was
                // published yet).
                EXPECT_TRUE(std::is_sorted(saved.begin(), saved.end()));
                EXPECT_EQ(files.size(), 10u) << "no working file left beside the documents";
                for (size_t i = 0; i < saved.size(); ++i) {
                    if (real && i >= 3) break; // three are enough to look into
                    int status = 1;
                    scantest::Run("qpdf --check '" + saved[i] + "' > /dev/null 2>&1", &status);
                    EXPECT_EQ(status, 0) << saved[i];
                    const std::string text = scantest::Run("pdftotext '" + saved[i] + "' - 2>/dev/null");
                    // The test backend's pattern carries no words for the engine to find:
                    // with the real engine every page was recognised (below), with the
                    // test's recogniser each document carries its word.
                    if (!real) {
                        EXPECT_NE(text.find("page"), std::string::npos) << saved[i];
                    }
                }
                break;
            }
            case Course::Cancelled:
            case Course::CancelledFeeding:
                EXPECT_EQ(cancelled, c.course == Course::Cancelled);
                EXPECT_EQ(outcome.endEvent,
                          static_cast<int>(c.course == Course::Cancelled ? TwainEvent::AcquisitionEnded
                                                                         : TwainEvent::TransferCancelled));
                EXPECT_TRUE(box->texts.empty()) << "a cancel is not a failure to tell";
                EXPECT_TRUE(saved.empty());
                EXPECT_FALSE(outcome.delivered);
                EXPECT_TRUE(files.empty()) << "no document, no working file";
                break;
            case Course::PublishFails:
                EXPECT_EQ(box->texts, std::vector<std::string>{core::LoadMessageText(core::MessageNumber::NotSaved) +
                                                               "\n" + output::SystemErrorText(ENOSPC)});
                ASSERT_EQ(saved.size(), 1u) << "nothing after the document that could not be written";
                EXPECT_FALSE(outcome.delivered);
                EXPECT_EQ(files, std::vector<std::string>{std::filesystem::path(saved[0]).filename().string()});
                break;
        }
        EXPECT_EQ(testsupport::SortedNames(settings::WorkingImageFolder()), workingBefore)
            << "no page left in the working folder";
    }
    services.reset();
    control->CloseSource();
    control->CloseSourceManager();
    output::SetPageRecogniserFactory(nullptr);
    g_gate = nullptr;
}

INSTANTIATE_TEST_SUITE_P(Runs, PagePerFileRecognition,
                         ::testing::Values(RecognitionCase{"window", true, Course::Released},
                                           RecognitionCase{"commandLine", false, Course::Released},
                                           RecognitionCase{"windowCancel", true, Course::Cancelled},
                                           RecognitionCase{"windowCancelWhileFeeding", true, Course::CancelledFeeding},
                                           RecognitionCase{"commandLineCancelWhileFeeding", false,
                                                           Course::CancelledFeeding},
                                           RecognitionCase{"windowPublishFails", true, Course::PublishFails},
                                           RecognitionCase{"commandLinePublishFails", false, Course::PublishFails},
                                           RecognitionCase{"windowTesseract", true, Course::RealRecognition}),
                         [](const ::testing::TestParamInfo<RecognitionCase>& p) { return std::string(p.param.name); });

// A grey 300-dpi page with one line of text, as a scanner hands it over.
scancontrol::PageImage TextPage(const std::string& text) {
    QImage canvas(1240, 400, QImage::Format_Grayscale8);
    canvas.fill(Qt::white);
    QFont font("DejaVu Sans");
    font.setPixelSize(64);
    QPainter painter(&canvas);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(100, 200, QString::fromStdString(text));
    painter.end();
    scancontrol::PageImage page = scancontrol::PageImage::Blank(canvas.width(), canvas.height(), 8, 300);
    for (int y = 0; y < canvas.height(); ++y)
        std::copy_n(canvas.constScanLine(y), canvas.width(), page.pixels.data() + y * page.stride);
    return page;
}

// The real engine on pages that carry words: every document gets its own page's text.
// The scripted control hands over whatever page it reached last, so the dispatch works on
// this thread here (as it does for a host that cannot be called from other threads).
TEST(PagePerFileRecognitionEngine, EachDocumentCarriesItsPagesText) {
    if (!output::OcrLanguagesInstalled("eng")) GTEST_SKIP() << "no English recognition data installed";
    scantest::EnsureApplication();
    testsupport::TempFolder out;
    scancontrol::FakeDynamictwain control;
    scancontrol::FakeSource source;
    source.identity = {"Noname", "frontend-tester", "test:0"};
    source.feederLoaded = true;
    const std::vector<std::string> numbers{"4711", "4712", "4713"};
    for (const std::string& number : numbers) source.pages.push_back(TextPage("Invoice " + number));
    control.AddSource(source);
    control.SetHandsOverPages(true);

    const settings::CommonSetting record = PerPageSearchable(out.path(), 300);

    auto box = std::make_shared<testsupport::RecordingMessageBox>();
    auto services = std::make_unique<app::ProgramServices>(&control, nullptr, box);
    settings::SetCurrentSource("test:0");
    std::vector<std::string> saved;
    {
        scan::TwainScanner scanner(control);
        Window window(false);
        auto handler = std::make_shared<app::ScanOperationHandler>(
            control, scanner, window,
            [&](const core::ScanRequest&) { return std::make_unique<FolderProcessor>(record, saved); },
            app::SourceServices{[] { return std::string("test:0"); }, [](const std::string&) {}, [] {}});
        services->SetScanStatus(handler);
        control.SetEventListener(handler.get());
        ASSERT_TRUE(handler->StartScanTask(core::ScanRequest::ForButton(core::kDestFolder, "test:0")));
        control.DeliverPendingEvents();
        for (int i = 0; i < 6000 && window.outcomes.empty(); ++i) scantest::Pump(10);
        control.SetEventListener(nullptr);
        services->SetScanStatus(nullptr);
        ASSERT_EQ(window.outcomes.size(), 1u);
        EXPECT_TRUE(window.outcomes[0].delivered);
    }
    services.reset();
    EXPECT_TRUE(box->texts.empty());
    ASSERT_EQ(saved.size(), numbers.size());
    for (size_t i = 0; i < saved.size(); ++i) {
        int status = 1;
        scantest::Run("qpdf --check '" + saved[i] + "' > /dev/null 2>&1", &status);
        EXPECT_EQ(status, 0) << saved[i];
        const std::string text = scantest::Run("pdftotext '" + saved[i] + "' - 2>/dev/null");
        EXPECT_NE(text.find("Invoice " + numbers[i]), std::string::npos) << saved[i] << ": " << text;
        EXPECT_NE(scantest::Run("pdffonts '" + saved[i] + "' 2>/dev/null").find("Type 3"), std::string::npos);
    }
}

} // namespace
