// Renders the program's windows under a real (virtual) display into PNG files for
// review: the main window, a button tip, the About box, the scanner selection, the four
// pages of the button settings, the Option and application-entry dialogs, the scanner
// options a destination can show before it scans, and the window while a scan runs (the
// scanners' pages must arrive slowly: scripts/screenshots.sh sees to that).
//   screenshot_tool OUTPUT_FOLDER
// Runs on the embedded default scanner (the SANE test devices) with the real services.
#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QtTest/QTest>
#include <cstdio>

#include "app/HotkeyDlg.h"
#include "app/ProgramWindowServices.h"
#include "settings/ProductData.h"
#include "settings/Profile.h"
#include "settings/AppList.h"
#include "settings/ScanSettingValues.h"
#include "ui/AppOperateDlg.h"
#include "ui/ButtonTip.h"
#include "ui/DlgAbout.h"
#include "ui/DlgSelectSource.h"
#include "ui/DlgSetting.h"
#include "ui/OptionDialog.h"
#include "ui/ScanProgressPanel.h"
#include "ui/SkinButton.h"
#include <QLabel>
#include <QProgressBar>

namespace {

// The window with its frame (and anything in `extra`), as the screen shows it.
bool Shoot(const QRect& area, const QString& path) {
    QTest::qWait(400); // let the window manager draw the frame
    QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    const bool ok = !shot.isNull() && shot.save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

QRect Framed(QWidget* w) { return w->frameGeometry().adjusted(-12, -36, 12, 12); }

} // namespace

int main(int argc, char** argv) {
    QApplication qtApp(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: screenshot_tool OUTPUT_FOLDER\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    QApplication::setWindowIcon(QIcon(QString::fromStdString(settings::SkinImageFolder() + "icon.png")));

    app::ProgramWindowServices services;
    if (services.CurrentSource().empty()) {
        auto sources = services.ListSources();
        if (!sources.empty()) services.SetCurrentSource(sources.front().productName);
    }
    app::CHotkeyDlg::Options options;
    options.checkSourceOnShow = false;
    options.startWorker = false;
    app::CHotkeyDlg window(services, options);
    window.move(60, 60);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) std::fprintf(stderr, "window not shown\n");
    window.CheckDefaultSource();
    // The check goes on once the scanners have been listed in the background.
    if (!QTest::qWaitFor([&] { return !window.LookingForScanners(); }, 30000))
        std::fprintf(stderr, "the scanners were not listed\n");
    bool ok = Shoot(Framed(&window), out + "/main-window.png");

    ui::CSkinButton* folder = window.Button(app::kCmdFolder);
    QEnterEvent enter(QPointF(10, 10), QPointF(10, 10), folder->mapToGlobal(QPointF(10, 10)));
    QApplication::sendEvent(folder, &enter);
    window.Tip(app::kCmdFolder)->ShowNow();
    QTest::qWait(100);
    ok &= Shoot(Framed(&window).united(window.Tip(app::kCmdFolder)->geometry().adjusted(-12, -12, 12, 12)),
                out + "/button-tip.png");
    window.Tip(app::kCmdFolder)->hide();
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(folder, &leave);

    ui::DlgAbout about(&window);
    about.show();
    about.move(120, 120);
    if (!QTest::qWaitForWindowExposed(&about)) std::fprintf(stderr, "window not shown\n");
    ok &= Shoot(Framed(&about), out + "/about.png");
    about.hide();

    ui::CDlgSelectSource select(
        services.CurrentSource(), [&] { return services.ListSources(); }, nullptr, &window);
    select.show();
    select.move(120, 120);
    if (!QTest::qWaitForWindowExposed(&select)) std::fprintf(stderr, "window not shown\n");
    ok &= Shoot(Framed(&select), out + "/select-scanner.png");
    select.hide();

    // The button settings dialog, one picture per destination page.
    {
        ui::DLGSetting buttonSettings(&window);
        buttonSettings.show();
        buttonSettings.move(40, 20);
        if (!QTest::qWaitForWindowExposed(&buttonSettings)) std::fprintf(stderr, "window not shown\n");
        const char* const pages[] = {"application1", "application2", "folder", "fax"};
        for (int i = 0; i < 4; ++i) {
            buttonSettings.SelectPage(i);
            ok &= Shoot(Framed(&buttonSettings), out + "/settings-" + pages[i] + ".png");
        }
        buttonSettings.hide();
    }

    // The options of the feeder on a scanner with a duplex unit, and the first entry of the
    // first application list opened for a change.
    ui::COptionDialog::SetDeviceSource([] { return ui::OptionDeviceFacts{true, 0}; });
    ui::COptionDialog option(settings::ScanMethodArr::FromText("Flatbed|left|lr|off|-ADF|left|lr|on|-"), "ADF", &window,
                             "A4");
    option.show();
    option.move(120, 120);
    if (!QTest::qWaitForWindowExposed(&option)) std::fprintf(stderr, "window not shown\n");
    ok &= Shoot(Framed(&option), out + "/option.png");
    option.hide();
    ui::COptionDialog::SetDeviceSource(nullptr);

    auto apps = std::make_shared<settings::AppListProvider>("Application1");
    apps->Reload();
    const int firstApp = apps->Entries().empty() ? 0 : apps->Entries().front()->GetId();
    ui::CAppOperateDlg entry(std::make_shared<settings::AppOperateModifyMode>(apps, firstApp), &window);
    entry.show();
    entry.move(120, 120);
    if (!QTest::qWaitForWindowExposed(&entry)) std::fprintf(stderr, "window not shown\n");
    ok &= Shoot(Framed(&entry), out + "/application-entry.png");
    entry.hide();

    // Scan To Folder set to show the scanner's options first (in the private settings the
    // script provides): the dialog is photographed, then cancelled.
    settings::WriteProfileString(settings::UserSettingsFilePath(), "Folder", "IsShowDriver", "true");
    bool shown = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || shown) return;
        shown = true;
        dialog->move(120, 60);
        ok &= Shoot(Framed(dialog), out + "/scanner-options.png");
        if (auto* cancel = dialog->findChild<QPushButton*>("cancelButton")) cancel->click();
    });
    poll.start(50);
    QTest::mouseClick(window.Button(app::kCmdFolder), Qt::LeftButton);
    if (!QTest::qWaitFor([&] { return shown && services.GetScanState() == core::ScanState::Idle; }, 20000)) {
        std::fprintf(stderr, "the scanner options did not show\n");
        ok = false;
    }
    poll.stop();

    // A feeder scan photographed in the middle of its second page, then cancelled.
    const std::pair<const char*, const char*> feeder[] = {
        {"IsShowDriver", "false"}, {"Scanmethod", "ADF"}, {"Savetype", "Multi-page PDF"}, {"Colormode", "Gray"}};
    for (const auto& [key, value] : feeder)
        settings::WriteProfileString(settings::UserSettingsFilePath(), "Folder", key, value);
    QTest::mouseClick(window.Button(app::kCmdFolder), Qt::LeftButton);
    ui::ScanProgressPanel* indicator = window.Indicator();
    const bool midPage = QTest::qWaitFor(
        [&] {
            const int value = indicator->Bar()->value();
            return indicator->isVisible() && indicator->PageLabel()->text().endsWith(QStringLiteral(" 2")) &&
                   value >= 40 && value <= 70;
        },
        60000);
    if (midPage) {
        ok &= Shoot(Framed(&window), out + "/scan-progress.png");
    } else {
        std::fprintf(stderr, "the scan's indicator did not show page 2 under way\n");
        ok = false;
    }
    QTest::mouseClick(indicator->CancelButton(), Qt::LeftButton);
    if (!QTest::qWaitFor([&] { return services.GetScanState() == core::ScanState::Idle; }, 20000)) {
        std::fprintf(stderr, "the scan did not end after Cancel\n");
        ok = false;
    }

    // A flatbed page to a searchable PDF, photographed while it is recognised (the
    // recognition of feeder pages keeps pace with this slow scanner), then cancelled.
    settings::WriteProfileString(settings::UserSettingsFilePath(), "Folder", "SearchablePdf", "1");
    settings::WriteProfileString(settings::UserSettingsFilePath(), "Folder", "OcrLanguages", "eng");
    settings::WriteProfileString(settings::UserSettingsFilePath(), "Folder", "Resolution", "200");
    settings::WriteProfileString(settings::UserSettingsFilePath(), "Folder", "Scanmethod", "Flatbed");
    QTest::mouseClick(window.Button(app::kCmdFolder), Qt::LeftButton);
    const bool recognising = QTest::qWaitFor(
        [&] { return indicator->isVisible() && indicator->PageLabel()->text().contains(QStringLiteral(" of ")); },
        300000);
    // The test page's text is recognised in well under a second, less than the window
    // manager's frame takes to draw: the window's own rendering is taken instead.
    if (recognising) {
        QTest::qWait(30); // the label's new text laid out
        const QString path = out + "/scan-recognising.png";
        const QPixmap shot = window.grab();
        const bool saved = !shot.isNull() && shot.save(path);
        std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(path));
        ok &= saved;
        QTest::mouseClick(indicator->CancelButton(), Qt::LeftButton);
    } else {
        std::fprintf(stderr, "the scan's indicator did not show the recognition step\n");
        ok = false;
    }
    if (!QTest::qWaitFor([&] { return services.GetScanState() == core::ScanState::Idle; }, 120000)) {
        std::fprintf(stderr, "the searchable scan did not end after Cancel\n");
        ok = false;
    }
    return ok ? 0 : 1;
}
