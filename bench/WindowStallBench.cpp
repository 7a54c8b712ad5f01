// The longest stall of the main window's thread while it scans: the real window on the
// real services (SANE control, acquisition, dispatch, destination handlers), Scan To
// Folder pressed, and a heartbeat timer on the window's thread whose longest gap between
// ticks, less its period, is the stall. Run by bench_window_stall.sh, which sets up a
// private user and the SANE test backend.
//
//   bench_window_stall NAME RESOLUTION [OCR-LANGUAGES [FILE-TYPE]]
// prints   RESULT NAME <ms> ms goal <= 50   then the first delivered file, the number of
// files delivered, and the time from the first page's start to the end of the feeder's
// last page (ms), each on a line of its own. The file type is "Multi-page PDF" unless
// given ("-" for no recognition).

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QtTest/QTest>

#include <cstdio>
#include <memory>
#include <string>

#include "app/ButtonTips.h"
#include "app/HotkeyDlg.h"
#include "app/ProgramWindowServices.h"
#include "core/Texts.h"
#include "settings/ProductData.h"
#include "settings/Profile.h"
#include "ui/SkinButton.h"

namespace {

constexpr int kPeriodMs = 5;

// Messages go to the terminal: a box would hold the window's thread.
class ConsoleBox : public core::IMessageBox {
public:
    int Show(const std::string& text, unsigned, unsigned) override {
        std::fprintf(stderr, "message: %s\n", text.c_str());
        ++shown;
        return core::kIdOk;
    }
    int shown = 0;
};

bool SetFolder(const std::string& key, const std::string& value) {
    return settings::WriteProfileString(settings::UserSettingsFilePath(), "Folder", key, value);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_window_stall NAME RESOLUTION [OCR-LANGUAGES]\n");
        return 2;
    }
    const std::string name = argv[1], resolution = argv[2];
    const std::string ocr = argc > 3 && std::string(argv[3]) != "-" ? argv[3] : "";
    const std::string fileType = argc > 4 ? argv[4] : "Multi-page PDF";
    QApplication qapp(argc, argv);
    const char* out = std::getenv("STALL_OUT");
    if (!out || !settings::SetCurrentSource("test:0")) {
        std::fprintf(stderr, "bench_window_stall: STALL_OUT unset or no test:0 source\n");
        return 2;
    }
    bool ok = SetFolder("Savefolder", std::string(out) + "/") && SetFolder("Savetype", fileType) &&
              SetFolder("Resolution", resolution) && SetFolder("Colormode", "Color") &&
              SetFolder("Scanmethod", "ADF") &&
              SetFolder("ScanmethodArr", "Flatbed|left|lr|off|-ADF|left|lr|off|-Auto|left|lr|off|-") &&
              SetFolder("Papersize", "A4") && SetFolder("PDFCompression", "Middle|G4") &&
              SetFolder("Openfileoption", "false") && SetFolder("IsShowDriver", "false");
    if (!ocr.empty()) ok = ok && SetFolder("SearchablePdf", "true") && SetFolder("OcrLanguages", ocr);
    if (!ok) return 2;

    auto box = std::make_shared<ConsoleBox>();
    auto services = std::make_unique<app::ProgramWindowServices>();
    app::CHotkeyDlg::Options options;
    options.messageBox = box;
    options.startWorker = false;
    auto window = std::make_unique<app::CHotkeyDlg>(*services, options);
    window->show();
    if (!QTest::qWaitFor([&] { return window->TipsReady() && !window->LookingForScanners(); }, 60000)) {
        std::fprintf(stderr, "bench_window_stall: the window found no scanner\n");
        return 1;
    }
    QTest::qWait(200);

    // The heartbeat: the longest gap between two ticks while the scan runs.
    QElapsedTimer clock;
    qint64 last = 0, longest = 0;
    // The feeder's run: from the first tick that sees a page under way to the first that
    // sees none any more.
    qint64 feedStart = -1, feedEnd = -1;
    bool scanning = false;
    QTimer beat;
    beat.setTimerType(Qt::PreciseTimer);
    beat.setInterval(kPeriodMs);
    QObject::connect(&beat, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (scanning && now - last > longest) longest = now - last;
        last = now;
        if (!scanning || feedEnd >= 0) return;
        const long page = services->ScanProgress().page;
        if (page > 0 && feedStart < 0) feedStart = now;
        else if (page == 0 && feedStart >= 0) feedEnd = now;
    });
    clock.start();
    beat.start();
    QTest::qWait(50);

    ui::CSkinButton* button = window->Button(app::kCmdFolder);
    QTimer::singleShot(0, [&] {
        scanning = true;
        last = clock.nsecsElapsed();
        button->click();
    });
    const bool started = QTest::qWaitFor([&] { return services->GetScanState() != core::ScanState::Idle; }, 10000);
    const bool ended =
        started && QTest::qWaitFor([&] { return services->GetScanState() == core::ScanState::Idle; }, 600000);
    scanning = false;
    QTest::qWait(20);
    beat.stop();
    const app::ScanOutcome outcome = services->Dispatch() ? services->Dispatch()->LastOutcome() : app::ScanOutcome();
    window.reset();
    services.reset();
    if (!ended || !outcome.delivered || outcome.files.empty()) {
        std::fprintf(stderr, "bench_window_stall: the scan delivered nothing (%d messages)\n", box->shown);
        return 1;
    }
    const double stallMs = longest / 1e6 - kPeriodMs;
    std::printf("RESULT %s %.1f ms goal <= 50\n", name.c_str(), stallMs < 0 ? 0.0 : stallMs);
    std::printf("%s\n", outcome.files.front().c_str());
    std::printf("%zu\n", outcome.files.size());
    std::printf("%.0f\n", feedStart >= 0 && feedEnd >= 0 ? (feedEnd - feedStart) / 1e6 : -1.0);
    return 0;
}
