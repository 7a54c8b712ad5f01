// The main window against a scripted set of services, on the offscreen platform.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QtTest/QTest>
#include <ostream>

#include "../ui/QtTestEnv.h"
#include "app/ButtonTips.h"
#include "app/HotkeyDlg.h"
#include "delivery/LaunchTasks.h"
#include "settings/ProductData.h"
#include "settings/Profile.h"
#include "support/RecordingMessageBox.h"
#include "support/TempFolder.h"
#include "ui/ButtonTip.h"
#include "ui/DlgSelectSource.h"
#include "ui/ScanProgressPanel.h"
#include "ui/SkinButton.h"

namespace {

using core::ScanState;
using testsupport::TempFolder;

using RecordingBox = testsupport::RecordingMessageBox;

class ScriptedServices : public app::IMainWindowServices {
public:
    explicit ScriptedServices(const TempFolder& dir) : userFile(dir / "Sets.dat"), defaultsFile(dir / "Def.dat") {}

    void Attach(app::IScanWindow& w) override { window = &w; }
    bool StartScanTask(const core::ScanRequest& r) override {
        requests.push_back(r);
        return accept;
    }
    core::ScanState GetScanState() override { return state; }
    bool SetScanState(core::ScanState s) override {
        if (s == core::ScanState::Modal && state != core::ScanState::Idle) return false;
        state = s;
        return true;
    }
    void PrepareSources(std::function<void()> ready) override {
        if (holdListing) pendingListing = std::move(ready);
        else ready();
    }
    app::SourceCheck CheckSources() override { return ++checks, check; }
    std::vector<scancontrol::SourceEntry> ListSources() override {
        std::vector<scancontrol::SourceEntry> sources;
        for (const auto& name : check.sources) sources.push_back({"Noname", "frontend-tester", name});
        return sources;
    }
    void ListSourcesInBackground(std::function<void(std::vector<scancontrol::SourceEntry>)> ready) override {
        if (holdSourceList) pendingSourceList = std::move(ready);
        else ready(ListSources());
    }
    std::string CurrentSource() override { return current; }
    void SetCurrentSource(const std::string& n) override { current = n, ++sourceChanges; }
    bool IsIdentified(const std::string& n) override { return identified && !n.empty(); }
    int DeviceStatus(bool probe) override { return probes += probe, status; }
    void RefreshDeviceKnowledge() override { ++knowledgeRefreshes; }
    std::string UserSettingsFile() override { return userFile; }
    std::string DefaultsFile() override { return defaultsFile; }
    app::ButtonTipSet LoadButtonTips() override { return tips; }
    bool RunButtonSettings(void*) override { return ++settingsRuns, true; }
    delivery::LauncherTaskCollector& Collector() override { return collector; }
    void ReleaseAcquisition() override { ++releases; }
    scancontrol::AcquisitionProgress ScanProgress() override { return progress; }
    core::RecognitionStep RecognitionProgress() override { return recognition; }
    bool CancelScan() override { return ++cancels, true; }

    app::IScanWindow* window = nullptr;
    std::vector<core::ScanRequest> requests;
    bool accept = true;
    core::ScanState state = core::ScanState::Idle;
    app::SourceCheck check;
    int checks = 0;
    bool holdListing = false; // keep the listing "under way" until the test ends it
    std::function<void()> pendingListing;
    bool holdSourceList = false; // Select Scanner's listing stays under way until the test ends it
    std::function<void(std::vector<scancontrol::SourceEntry>)> pendingSourceList;
    std::string current = "test:0";
    int sourceChanges = 0;
    bool identified = true;
    int status = 0;
    int probes = 0;
    int knowledgeRefreshes = 0;
    int settingsRuns = 0;
    int releases = 0;
    scancontrol::AcquisitionProgress progress;
    core::RecognitionStep recognition;
    int cancels = 0;
    std::string userFile, defaultsFile;
    app::ButtonTipSet tips;
    delivery::LauncherTaskCollector collector;
};

struct Fixture : ::testing::Test {
    Fixture() : services(dir) {
        testsupport::QtApp();
        settings::SetProgramFolder("");
        dir.Write("Def.dat", "[Config]\nIsShowToolTips=true\n");
        dir.Write("Sets.dat", "[Config]\n");
    }
    std::unique_ptr<app::CHotkeyDlg> MakeWindow(int indicatorDelayMs = 500) {
        app::CHotkeyDlg::Options options;
        options.checkSourceOnShow = false;
        options.indicatorDelayMs = indicatorDelayMs;
        options.messageBox = box;
        auto w = std::make_unique<app::CHotkeyDlg>(services, options);
        w->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(w.get()));
        return w;
    }
    TempFolder dir;
    ScriptedServices services;
    std::shared_ptr<RecordingBox> box = std::make_shared<RecordingBox>();
};

using MainWindow = Fixture;

TEST_F(MainWindow, EachButtonRequestsItsDestinationAndARefusalShowsNothing) {
    auto w = MakeWindow();
    EXPECT_EQ(services.window, w.get()) << "the window is the dispatch's window";
    const std::pair<int, int> expected[] = {{app::kCmdApplication1, core::kDestApplication1},
                                            {app::kCmdApplication2, core::kDestApplication2},
                                            {app::kCmdFolder, core::kDestFolder},
                                            {app::kCmdPcFax, core::kDestPcFax}};
    for (auto [command, destination] : expected) {
        ui::CSkinButton* button = w->Button(command);
        ASSERT_NE(button, nullptr);
        EXPECT_FALSE(button->Image(0).isNull()) << "picture for " << command << " from the skin folder";
        QTest::mouseClick(button, Qt::LeftButton);
        ASSERT_FALSE(services.requests.empty());
        EXPECT_EQ(services.requests.back().destination, destination);
        EXPECT_EQ(services.requests.back().origin, core::kOriginButton);
        EXPECT_EQ(services.requests.back().requestedSource, "test:0");
    }
    EXPECT_EQ(services.requests.size(), 4u);

    services.accept = false;
    const auto before = QApplication::topLevelWidgets().size();
    QTest::mouseClick(w->Button(app::kCmdFolder), Qt::LeftButton);
    QTest::qWait(50);
    EXPECT_EQ(services.requests.size(), 5u);
    EXPECT_TRUE(box->texts.empty());
    EXPECT_EQ(QApplication::topLevelWidgets().size(), before);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(MainWindow, EscapeAndEnterDoNotCloseIt) {
    auto w = MakeWindow();
    for (QWidget* target : {static_cast<QWidget*>(w.get()), static_cast<QWidget*>(w->Button(app::kCmdFolder))}) {
        target->setFocus();
        QTest::keyClick(target, Qt::Key_Escape);
        QTest::keyClick(target, Qt::Key_Return);
        QTest::keyClick(target, Qt::Key_Enter);
    }
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->result(), 0);
    EXPECT_TRUE(services.requests.empty()) << "Enter is no click";
}

TEST_F(MainWindow, TipsShowEachDestinationsSettingsBelowItsButton) {
    app::TipValues v;
    v.scanMethod = "Flatbed";
    v.colorMode = "Color";
    v.paperSize = std::nullopt; // no display text for this value
    v.resolution = "300 dpi";
    v.fileType = "PDF";
    v.applicationName = "Viewer";
    v.fileName = "Scan";
    v.saveFolder = "/home/user/Pictures/a-rather-long-folder-name/for/scans/xyz/"; // 60 characters
    ASSERT_EQ(v.saveFolder.size(), 60u);
    v.openFolder = true;
    services.tips = {v, v, v, v};
    services.tips.application2.applicationName = std::string(51, 'a');
    auto w = MakeWindow();
    w->RefreshButtons();
    EXPECT_TRUE(w->TipsReady());

    const std::string input =
        "[Input Settings]\r\nScan Method:Flatbed\r\nColor mode:Color\r\n"
        "Paper Size:Error when attempt to connect the twain driver.\r\nResolution:300 dpi\r\n\r\n";
    const std::string folder = "Save Scan Image to:\r\n...ctures/a-rather-long-folder-name/for/scans/xyz/\r\n";
    EXPECT_EQ(w->Tip(app::kCmdApplication1)->TipText(),
              "Scan To Application1\r\n" + input +
                  "[OutPut Settings]\r\nSave as Type:PDF\r\nApplication:Viewer\r\nFile Name:Scan***\r\n" + folder);
    EXPECT_EQ(w->Tip(app::kCmdApplication2)->TipText(),
              "Scan To Application2\r\n" + input + "[OutPut Settings]\r\nSave as Type:PDF\r\nApplication:..." +
                  std::string(47, 'a') + "\r\nFile Name:Scan***\r\n" + folder);
    EXPECT_EQ(w->Tip(app::kCmdFolder)->TipText(), "Scan To Folder\r\n" + input +
                                                      "[OutPut Settings]\r\nSave as Type:PDF\r\nFile Name:Scan***\r\n" +
                                                      folder + "Open Current folder when scan is completed\r\n");
    EXPECT_EQ(w->Tip(app::kCmdPcFax)->TipText(),
              "Scan To PC-Fax\r\n" + input + "[OutPut Settings]\r\nFile Name:Scan***\r\n" + folder);
    EXPECT_EQ(app::ShortenForTip(std::string(50, 'b')), std::string(50, 'b'));

    ui::CButtonTip* tip = w->Tip(app::kCmdFolder);
    tip->ShowNow();
    ASSERT_TRUE(tip->isVisible());
    ui::CSkinButton* button = w->Button(app::kCmdFolder);
    const QPoint bottomLeft = button->mapToGlobal(QPoint(0, button->height()));
    EXPECT_EQ(tip->geometry().topLeft(), bottomLeft) << "top-left at the button's bottom-left";
}

// Tip shortening counts characters, not bytes: folders and application names in
// other scripts are neither shortened early nor cut inside a letter.
struct ShortenCase {
    const char* text;
    const char* shown;
};
void PrintTo(const ShortenCase& c, std::ostream* os) { *os << c.text; }
class TipShortening : public ::testing::TestWithParam<ShortenCase> {};

TEST_P(TipShortening, CountsAndCutsWholeCharacters) {
    EXPECT_EQ(app::ShortenForTip(GetParam().text), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Folders, TipShortening,
                         ::testing::Values(
                             // 50 and 51 plain characters: the edge of the rule.
                             ShortenCase{"/home/user/Pictures/scans-of-the-year/2026/xxxxxx/",
                                         "/home/user/Pictures/scans-of-the-year/2026/xxxxxx/"},
                             ShortenCase{"/home/user/Pictures/scans-of-the-year/2026/xxxxxxx/",
                                         "...e/user/Pictures/scans-of-the-year/2026/xxxxxxx/"},
                             // 48 characters in 82 bytes, 33 characters in 67 bytes: short enough to stay whole.
                             ShortenCase{"/srv/Документы/Сканированные/Счета/Декабрь-2026/",
                                         "/srv/Документы/Сканированные/Счета/Декабрь-2026/"},
                             ShortenCase{"/home/user/スキャン/書類/請求書/二〇二六年/十二月/",
                                         "/home/user/スキャン/書類/請求書/二〇二六年/十二月/"},
                             // 51 characters in 52 bytes: shortened, keeping the last 47 characters.
                             ShortenCase{"/home/jürgen/Bilder/Gescannte Dokumente/Rechnungen/",
                                         "...e/jürgen/Bilder/Gescannte Dokumente/Rechnungen/"},
                             // 54 characters in 90 bytes: the last 47 bytes would begin inside a letter.
                             ShortenCase{"/home/ольга/Документы/Сканы/Счета за 2026 год/декабрь/",
                                         "...льга/Документы/Сканы/Счета за 2026 год/декабрь/"},
                             // A save folder of 60 characters in 65 bytes.
                             ShortenCase{"/home/andré/Images/Numérisations/Reçus/année-2026/décembre/x",
                                         "...mages/Numérisations/Reçus/année-2026/décembre/x"},
                             // Four-byte characters count once.
                             ShortenCase{"/home/zoë/Pictures/📷 Scans from the office 2026/📷 December/",
                                         "...ctures/📷 Scans from the office 2026/📷 December/"}));

TEST_F(MainWindow, ShowTipsOptionComesFromDefaultsUntilTheFirstToggleStoresIt) {
    dir.Write("Def.dat", "[Config]\nIsShowToolTips= FALSE \n");
    auto w = MakeWindow();
    QAction* option = w->Action(app::kCmdShowTips);
    EXPECT_FALSE(option->isChecked()) << "the user file lacks the key: Def.dat decides";
    EXPECT_FALSE(w->Tip(app::kCmdFolder)->IsActive());
    EXPECT_EQ(settings::ReadProfileString(services.userFile, "Config", "IsShowToolTips", "absent"), "absent");

    option->trigger();
    EXPECT_TRUE(option->isChecked());
    EXPECT_TRUE(w->Tip(app::kCmdFolder)->IsActive());
    EXPECT_EQ(settings::ReadProfileString(services.userFile, "Config", "IsShowToolTips"), "true");
    option->trigger();
    EXPECT_EQ(settings::ReadProfileString(services.userFile, "Config", "IsShowToolTips"), "false");

    // From now on the user's value wins over the defaults.
    dir.Write("Def.dat", "[Config]\nIsShowToolTips=true\n");
    auto again = MakeWindow();
    EXPECT_FALSE(again->Action(app::kCmdShowTips)->isChecked());
}

TEST_F(MainWindow, MenuIsGreyedByTheDeviceStatusGroup) {
    auto w = MakeWindow();
    struct Case {
        int status;
        bool selectOn, settingsOn;
    } cases[] = {{0, true, true},  {2, false, false}, {17, false, false}, {3, true, false},  {12, true, false},
                 {13, true, true}, {14, true, false}, {19, true, false},  {26, true, false}, {18, true, true}};
    for (const Case& c : cases) {
        services.status = c.status;
        const bool usable = w->UpdateMenuForDevice(true);
        EXPECT_EQ(usable, c.settingsOn) << "status " << c.status;
        EXPECT_EQ(w->Action(app::kCmdSelectScanner)->isEnabled(), c.selectOn) << "status " << c.status;
        EXPECT_EQ(w->Action(app::kCmdButtonSetting)->isEnabled(), c.settingsOn) << "status " << c.status;
        EXPECT_EQ(w->Action(app::kCmdShowTips)->isEnabled(), c.settingsOn) << "status " << c.status;
        EXPECT_EQ(w->Tip(app::kCmdApplication1)->IsActive(), c.settingsOn) << "status " << c.status;
    }
    // An unknown source is never greyed; an unchecked option keeps the tips off.
    services.status = 2;
    services.identified = false;
    w->Action(app::kCmdShowTips)->setChecked(false);
    EXPECT_TRUE(w->UpdateMenuForDevice(true));
    EXPECT_TRUE(w->Action(app::kCmdSelectScanner)->isEnabled());
    EXPECT_FALSE(w->Tip(app::kCmdApplication1)->IsActive());
}

TEST_F(MainWindow, ButtonSettingKeepsTheModalStateProtocol) {
    auto w = MakeWindow();
    w->OnCommand(app::kCmdButtonSetting);
    EXPECT_EQ(services.settingsRuns, 1);
    EXPECT_EQ(services.state, core::ScanState::Idle);
    services.state = core::ScanState::Running; // a busy window ignores it
    w->OnCommand(app::kCmdButtonSetting);
    EXPECT_EQ(services.settingsRuns, 1);
    services.state = core::ScanState::Idle;
    services.status = 5; // restricted: no dialog, state back to idle
    w->OnCommand(app::kCmdButtonSetting);
    EXPECT_EQ(services.settingsRuns, 1);
    EXPECT_EQ(services.state, core::ScanState::Idle);
}

TEST_F(MainWindow, SourceCheckWithoutScannersShowsMessage153AndEnds) {
    auto w = MakeWindow();
    services.check = {{}, core::kNoKnownSource};
    w->CheckDefaultSource();
    ASSERT_EQ(box->texts.size(), 1u);
    EXPECT_EQ(box->texts[0], "The avaiable device is not found.");
    EXPECT_FALSE(w->isVisible()) << "the program closes";
    EXPECT_EQ(services.releases, 1);
}

TEST_F(MainWindow, StartUpCheckWaitsForTheListWithoutHoldingTheWindow) {
    services.holdListing = true;
    services.check.sources = {"test:0"};
    auto w = MakeWindow();
    w->CheckDefaultSource();
    // The window is back at once and says that it is looking; scans and dialogs wait.
    EXPECT_TRUE(w->LookingForScanners());
    EXPECT_EQ(services.checks, 0);
    EXPECT_EQ(services.state, core::ScanState::Modal);
    ASSERT_TRUE(services.pendingListing);
    services.pendingListing();
    EXPECT_FALSE(w->LookingForScanners());
    EXPECT_EQ(services.checks, 1);
    EXPECT_EQ(services.probes, 1);
    EXPECT_EQ(services.state, core::ScanState::Idle);
    EXPECT_TRUE(box->texts.empty());
}

TEST_F(MainWindow, SourceCheckMakesTheOnlyScannerCurrent) {
    auto w = MakeWindow();
    services.current = "gone";
    services.check = {{"test:1"}, core::kSourceNotKnown};
    services.tips.folder.fileName = "Only";
    w->CheckDefaultSource();
    EXPECT_EQ(services.current, "test:1");
    EXPECT_TRUE(box->texts.empty());
    EXPECT_TRUE(w->TipsReady());
    EXPECT_NE(w->Tip(app::kCmdFolder)->TipText().find("File Name:Only***"), std::string::npos);
    EXPECT_EQ(services.state, core::ScanState::Idle);
    EXPECT_GE(services.probes, 1);
    EXPECT_TRUE(w->isVisible());

    // A usable current source is kept as it is.
    services.check = {{"test:0", "test:1"}, core::kSourceUsable};
    w->CheckDefaultSource();
    EXPECT_EQ(services.current, "test:1");
    EXPECT_EQ(services.sourceChanges, 1);
}

TEST_F(MainWindow, SourceCheckWithSeveralScannersAsksTheUser) {
    auto w = MakeWindow();
    services.current = "gone";
    services.check = {{"test:0", "test:1"}, core::kSourceNotKnown};
    bool couldCancel = true;
    testsupport::WhenModalOpens([&](QWidget* modal) {
        auto* dialog = qobject_cast<ui::CDlgSelectSource*>(modal);
        ASSERT_NE(dialog, nullptr);
        couldCancel = dialog->CancelButton()->isEnabled();
        dialog->List()->setCurrentRow(1);
        dialog->OkButton()->click();
    });
    w->CheckDefaultSource();
    EXPECT_FALSE(couldCancel);
    EXPECT_EQ(services.current, "test:1");
    EXPECT_EQ(services.state, core::ScanState::Idle);
}

TEST_F(MainWindow, StartUpChoiceShowsEachScannersMakerAndModel) {
    auto w = MakeWindow();
    services.current = "gone";
    services.check = {{"pnm:0", "test:1"},
                      core::kSourceNotKnown,
                      {{"Noname", "PNM file reader", "pnm:0"}, {"Noname", "frontend-tester", "test:1"}}};
    std::vector<std::string> tips;
    testsupport::WhenModalOpens([&](QWidget* modal) {
        auto* dialog = qobject_cast<ui::CDlgSelectSource*>(modal);
        ASSERT_NE(dialog, nullptr);
        for (int i = 0; i < dialog->List()->count(); ++i)
            tips.push_back(dialog->List()->item(i)->toolTip().toStdString());
        dialog->List()->setCurrentRow(0);
        dialog->OkButton()->click();
    });
    w->CheckDefaultSource();
    EXPECT_EQ(tips, (std::vector<std::string>{"Noname PNM file reader", "Noname frontend-tester"}));
    EXPECT_EQ(services.current, "pnm:0");
}

// Select Scanner shows at once, saying that it is looking, while the scanners are listed;
// the list fills when it arrives, with the current scanner chosen. Each row: what the
// user does once the list is there, or before it when `early`.
struct SelectCase {
    const char* name;
    bool early; // the user answers before the list arrives
    int choose; // row chosen before OK; -1: Cancel
    const char* result;
};
std::ostream& operator<<(std::ostream& out, const SelectCase& c) { return out << c.name; }
class SelectScanner : public Fixture, public ::testing::WithParamInterface<SelectCase> {};

TEST_P(SelectScanner, ShowsAtOnceAndTakesTheListWhenItArrives) {
    const SelectCase& c = GetParam();
    auto w = MakeWindow();
    services.check.sources = {"test:0", "test:1"};
    services.current = "test:1";
    services.holdSourceList = true;
    bool lookingAtFirst = false, okAtFirst = true, cancelAtFirst = false;
    int rowsAtFirst = -1, chosenWhenListed = -1;
    testsupport::WhenModalOpens([&](QWidget* modal) {
        auto* dialog = qobject_cast<ui::CDlgSelectSource*>(modal);
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(services.pendingSourceList) << "the listing was not under way when the dialog showed";
        lookingAtFirst = dialog->Looking();
        rowsAtFirst = dialog->List()->count();
        okAtFirst = dialog->OkButton()->isEnabled();
        cancelAtFirst = dialog->CancelButton()->isEnabled();
        if (c.early) {
            dialog->CancelButton()->click();
            return;
        }
        services.pendingSourceList(services.ListSources());
        EXPECT_FALSE(dialog->Looking());
        chosenWhenListed = dialog->List()->currentRow();
        if (c.choose < 0) {
            dialog->CancelButton()->click();
        } else {
            dialog->List()->setCurrentRow(c.choose);
            dialog->OkButton()->click();
        }
    });
    w->OnCommand(app::kCmdSelectScanner);
    EXPECT_TRUE(lookingAtFirst);
    EXPECT_EQ(rowsAtFirst, 0);
    EXPECT_FALSE(okAtFirst);
    EXPECT_TRUE(cancelAtFirst) << "a dialog that is still looking can be cancelled";
    if (!c.early) {
        EXPECT_EQ(chosenWhenListed, 1) << "the current scanner is chosen when the list arrives";
    }
    // A list arriving after the dialog closed changes nothing.
    if (services.pendingSourceList) services.pendingSourceList(services.ListSources());
    EXPECT_EQ(services.current, c.result);
    EXPECT_EQ(services.state, core::ScanState::Idle);
    EXPECT_TRUE(box->texts.empty());
}

INSTANTIATE_TEST_SUITE_P(Table, SelectScanner,
                         ::testing::Values(SelectCase{"ChooseAnother", false, 0, "test:0"},
                                           SelectCase{"CancelWhenListed", false, -1, "test:1"},
                                           SelectCase{"CancelWhileLooking", true, -1, "test:1"}),
                         [](const ::testing::TestParamInfo<SelectCase>& row) { return std::string(row.param.name); });

TEST_F(MainWindow, DraggingAFreeSpotMovesTheWindow) {
    auto w = MakeWindow();
    QLabel* caption = w->Caption(app::kCmdFolder);
    const QPoint start = w->pos();
    const QPoint inside = caption->geometry().center() + caption->parentWidget()->pos();
    QTest::mousePress(w.get(), Qt::LeftButton, {}, inside);
    QMouseEvent move(QEvent::MouseMove, QPointF(inside + QPoint(40, 25)),
                     QPointF(w->mapToGlobal(inside + QPoint(40, 25))), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w.get(), &move);
    QTest::mouseRelease(w.get(), Qt::LeftButton, {}, inside + QPoint(40, 25));
    EXPECT_EQ(w->pos(), start + QPoint(40, 25));
}

// The scan's strip: the page the scanner reads while it reads, and once every page is in,
// the recognition of the pages still waiting for their text as a step of its own, which
// Cancel (here Escape) stops.
struct StepCase {
    const char* name;
    long page;         // page being read, 0 when the scanner is done
    int done, pages;   // recognition
    const char* shown; // the strip's text
};
class IndicatorSteps : public Fixture, public ::testing::WithParamInterface<StepCase> {};

TEST_P(IndicatorSteps, ShowTheStepTheScanIsIn) {
    const StepCase& c = GetParam();
    auto w = MakeWindow(0);
    services.state = ScanState::Running;
    services.progress = {c.page, 10, 100};
    services.recognition = {c.done, c.pages};
    w->AcquisitionStarted(core::ScanRequest::ForButton(core::kDestFolder, "test:0"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->Indicator()->isVisible(); }, 5000));
    EXPECT_EQ(w->Indicator()->PageLabel()->text(), QString::fromUtf8(c.shown));
    QTest::keyClick(w.get(), Qt::Key_Escape);
    EXPECT_EQ(services.cancels, 1);
    services.state = ScanState::Idle;
}

INSTANTIATE_TEST_SUITE_P(Steps, IndicatorSteps,
                         ::testing::Values(StepCase{"reading", 3, 1, 2, "Page 3"},
                                           StepCase{"recognising", 0, 1, 4, "Recognising text, page 2 of 4"},
                                           StepCase{"lastPage", 0, 9, 10, "Recognising text, page 10 of 10"}),
                         [](const ::testing::TestParamInfo<StepCase>& p) { return std::string(p.param.name); });

} // namespace
