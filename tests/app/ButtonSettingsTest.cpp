// The button settings dialog on the real program: the main window's Button Setting
// command opens it over the SANE test scanner with the user's provisioned settings. OK
// stores exactly what the pages changed, and the next scan follows it; Cancel and
// Escape store nothing; Default refills a page; the application list grows through the
// application-entry dialog.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QtTest/QTest>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "../ui/QtTestEnv.h"
#include "app/HotkeyDlg.h"
#include "app/ProgramWindowServices.h"
#include "core/Texts.h"
#include "platform/Desktop.h"
#include "platform/FileSystem.h"
#include "platform/Folders.h"
#include "platform/Services.h"
#include "settings/ProductData.h"
#include "settings/Profile.h"
#include "support/RecordingMessageBox.h"
#include "support/TempFolder.h"
#include "ui/AppOperateDlg.h"
#include "ui/ButtonTip.h"
#include "ui/DlgPages.h"
#include "ui/DlgSetting.h"
#include "ui/SkinButton.h"
#include "ui/StaticLink.h"

namespace {

using testsupport::TempFolder;

std::string ReadAll(const std::string& path) {
    std::string content;
    platform::PosixFileSystem().ReadFile(path, content);
    return content;
}

// Selects the item with that stored text; false when the list has none.
bool Choose(ui::CChoiceComboBox* box, const std::string& key) {
    const auto& values = box->BoundValues();
    for (size_t i = 0; i < values.size(); ++i) {
        if (values[i].first != key) continue;
        box->setCurrentIndex(static_cast<int>(i));
        return true;
    }
    return false;
}

// Runs `act` once on the first modal dialog of type T that comes up.
template <typename T>
void WhenOpens(std::function<void(T*)> act) {
    auto* timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible()) return;
        timer->stop();
        timer->deleteLater();
        act(dialog);
    });
    timer->start();
}

class ButtonSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::QtApp();
        ASSERT_TRUE(settings::SetCurrentSource("test:0"));
        services = std::make_unique<app::ProgramWindowServices>();
        sets = settings::UserSettingsFilePath();
        // The saved pictures go to the user's pictures folder, which a new user has.
        ASSERT_TRUE(platform::CreateFolderPath(platform::PicturesFolder()));
        // A quick scan that opens nothing afterwards.
        ASSERT_TRUE(settings::WriteProfileString(sets, "Folder", "Resolution", "75"));
        ASSERT_TRUE(settings::WriteProfileString(sets, "Folder", "Openfileoption", "false"));
        app::CHotkeyDlg::Options options;
        options.messageBox = box;
        window = std::make_unique<app::CHotkeyDlg>(*services, options);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        ASSERT_TRUE(QTest::qWaitFor([&] { return window->TipsReady() && !window->LookingForScanners(); }, 30000));
        core::SetMessageBox(box);
        before = ReadAll(sets);
        ASSERT_FALSE(before.empty());
    }
    void TearDown() override {
        core::SetMessageBox(nullptr);
        window.reset();
        services.reset();
    }
    // Opens the dialog through the window's command; `act` works it while it is up.
    void RunDialog(std::function<void(ui::DLGSetting*)> act) {
        bool ran = false;
        WhenOpens<ui::DLGSetting>([&](ui::DLGSetting* dialog) {
            ran = true;
            stateWhileOpen = services->GetScanState();
            refusedWhileOpen = !services->StartScanTask(core::ScanRequest::ForButton(2, "test:0"));
            act(dialog);
        });
        window->OnCommand(app::kCmdButtonSetting);
        EXPECT_TRUE(ran) << "the command opened no dialog";
        EXPECT_EQ(services->GetScanState(), core::ScanState::Idle);
    }
    // What Sets.dat should hold: the file before, with these keys changed in place.
    std::string Expected(const std::vector<std::vector<std::string>>& changes) {
        const std::string copy = scratch / "Expected.dat";
        EXPECT_TRUE(platform::PosixFileSystem().WriteFileAtomic(copy, before));
        for (const auto& c : changes) EXPECT_TRUE(settings::WriteProfileString(copy, c[0], c[1], c[2]));
        return ReadAll(copy);
    }

    TempFolder out;
    TempFolder scratch;
    std::string sets;
    std::string before;
    core::ScanState stateWhileOpen = core::ScanState::Idle;
    bool refusedWhileOpen = false;
    std::shared_ptr<testsupport::RecordingMessageBox> box =
        std::make_shared<testsupport::RecordingMessageBox>(core::kIdYes);
    std::unique_ptr<app::ProgramWindowServices> services;
    std::unique_ptr<app::CHotkeyDlg> window;
};

TEST_F(ButtonSettingsTest, OkStoresTheFolderPageAndTheNextScanFollowsIt) {
    const std::string folder = out / "new/scans";
    RunDialog([&](ui::DLGSetting* dialog) {
        dialog->SelectPage(2);
        const ui::PageControls& c = dialog->Page(2)->Controls();
        EXPECT_TRUE(c.pdfCompression->isVisibleTo(dialog->Page(2))) << "PDF shows its compression list";
        ASSERT_TRUE(Choose(c.saveType, "Multi-page PDF"));
        c.saveFolder->setText(QString::fromStdString(folder));
        c.ok->click();
        EXPECT_FALSE(dialog->isVisible());
    });
    // The window's tip over Scan To Folder tells the new folder.
    EXPECT_NE(window->Tip(app::kCmdFolder)->TipText().find(folder), std::string::npos)
        << window->Tip(app::kCmdFolder)->TipText();
    EXPECT_EQ(stateWhileOpen, core::ScanState::Modal);
    EXPECT_TRUE(refusedWhileOpen) << "a button scan started while the dialog was open";
    // The missing folder was offered and created.
    ASSERT_EQ(box->texts.size(), 1u);
    EXPECT_EQ(box->texts[0], core::LoadMessageText(core::MessageNumber::CreateFolderAsk));
    EXPECT_EQ(ReadAll(sets), Expected({{"Folder", "Savetype", "Multi-page PDF"},
                                       {"Folder", "Savefolder", folder + "/"},
                                       {"SetAll", "Curdlg", "TabFolder"}}));

    box->texts.clear();
    QTest::mouseClick(window->Button(app::kCmdFolder), Qt::LeftButton);
    std::vector<std::string> names;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            names.clear();
            platform::PosixFileSystem().ListFolder(folder + "/", names);
            return names.size() == 3 && services->GetScanState() == core::ScanState::Idle;
        },
        30000))
        << "no file in the new folder";
    std::string file;
    for (const auto& n : names)
        if (n != "." && n != "..") file = n;
    EXPECT_EQ(file.substr(file.size() - 4), ".PDF") << file;
    EXPECT_EQ(ReadAll(folder + "/" + file).substr(0, 5), "%PDF-");
    EXPECT_TRUE(box->texts.empty()) << (box->texts.empty() ? "" : box->texts[0]);
}

// The searchable-PDF option sits beside the PDF compression list with the installed
// languages; OK stores its two keys and nothing else, and the tip tells it.
TEST_F(ButtonSettingsTest, SearchablePdfOptionIsStoredAndShownInTheTip) {
    RunDialog([&](ui::DLGSetting* dialog) {
        dialog->SelectPage(2);
        const ui::PageControls& c = dialog->Page(2)->Controls();
        ASSERT_TRUE(Choose(c.saveType, "JPEG"));
        EXPECT_FALSE(c.searchablePdf->isVisibleTo(dialog->Page(2))) << "JPEG has no text layer";
        ASSERT_TRUE(Choose(c.saveType, "Multi-page PDF"));
        EXPECT_TRUE(c.searchablePdf->isVisibleTo(dialog->Page(2)));
        EXPECT_FALSE(c.searchablePdf->isChecked());
        EXPECT_FALSE(c.ocrLanguage->isEnabled()) << "the language waits for the option";
        c.searchablePdf->click();
        EXPECT_TRUE(c.ocrLanguage->isEnabled());
        ASSERT_TRUE(Choose(c.ocrLanguage, "eng"));
        c.ok->click();
        EXPECT_FALSE(dialog->isVisible());
    });
    EXPECT_EQ(ReadAll(sets), Expected({{"Folder", "SearchablePdf", "1"},
                                       {"Folder", "OcrLanguages", "eng"},
                                       {"Folder", "Savetype", "Multi-page PDF"},
                                       {"Folder", "Savefolder", platform::WithSlash(platform::PicturesFolder())},
                                       {"SetAll", "Curdlg", "TabFolder"}}));
    const std::string tip = window->Tip(app::kCmdFolder)->TipText();
    EXPECT_NE(tip.find("Searchable text (OCR): eng"), std::string::npos) << tip;
}

// Cancel, Escape and the window's close store nothing, whatever the pages hold.
class ButtonSettingsEnd : public ButtonSettingsTest, public ::testing::WithParamInterface<int> {};

TEST_P(ButtonSettingsEnd, WithoutOkStoresNothing) {
    RunDialog([&](ui::DLGSetting* dialog) {
        dialog->SelectPage(2);
        const ui::PageControls& c = dialog->Page(2)->Controls();
        ASSERT_TRUE(Choose(c.saveType, "Multi-page PDF"));
        c.fileName->setText(QStringLiteral("Changed"));
        if (GetParam() == 0) c.cancel->click();
        if (GetParam() == 1) QTest::keyClick(c.fileName, Qt::Key_Escape);
        if (GetParam() == 2) dialog->close();
        EXPECT_FALSE(dialog->isVisible());
    });
    EXPECT_EQ(ReadAll(sets), before);
    EXPECT_TRUE(box->texts.empty());
}
INSTANTIATE_TEST_SUITE_P(CancelEscapeClose, ButtonSettingsEnd, ::testing::Values(0, 1, 2));

TEST_F(ButtonSettingsTest, DefaultRefillsThePageFromTheDefaults) {
    ASSERT_TRUE(settings::WriteProfileString(sets, "Folder", "Filename", "Custom"));
    ASSERT_TRUE(settings::WriteProfileString(sets, "Folder", "Savetype", "JPEG"));
    RunDialog([&](ui::DLGSetting* dialog) {
        dialog->SelectPage(2);
        const ui::PageControls& c = dialog->Page(2)->Controls();
        EXPECT_EQ(c.fileName->text(), QStringLiteral("Custom"));
        EXPECT_TRUE(c.jpegLevel->isVisibleTo(dialog->Page(2)));
        c.defaults->click();
        EXPECT_EQ(c.fileName->text(), QStringLiteral("Scan"));
        EXPECT_EQ(c.saveType->GetSelectedValue()->first, "PDF");
        EXPECT_TRUE(c.pdfCompression->isVisibleTo(dialog->Page(2)));
        EXPECT_FALSE(c.jpegLevel->isVisibleTo(dialog->Page(2)));
        c.cancel->click();
    });
}

TEST_F(ButtonSettingsTest, AddPutsTheApplicationInTheListAndTheSettings) {
    RunDialog([&](ui::DLGSetting* dialog) {
        dialog->SelectPage(0);
        const ui::PageControls& c = dialog->Page(0)->Controls();
        const int count = c.application->count();
        WhenOpens<ui::CAppOperateDlg>([](ui::CAppOperateDlg* entry) {
            entry->TitleEdit()->setText(QStringLiteral("Shell"));
            entry->PathEdit()->setText(QStringLiteral("/bin/sh"));
            entry->OkButton()->click();
        });
        c.add->click();
        ASSERT_EQ(c.application->count(), count + 1);
        EXPECT_EQ(c.application->currentText(), QStringLiteral("Shell"));
        c.cancel->click();
    });
    EXPECT_NE(settings::ReadProfileStringWhole(sets, "Application1", "ListMapping").find("|Shell|/bin/sh|"),
              std::string::npos);
}

TEST_F(ButtonSettingsTest, ADuplicateTitleShows145AndTheEntryDialogStaysOpen) {
    RunDialog([&](ui::DLGSetting* dialog) {
        const ui::PageControls& c = dialog->Page(0)->Controls();
        dialog->SelectPage(0);
        const std::string taken = c.application->currentText().toStdString();
        bool stayed = false;
        WhenOpens<ui::CAppOperateDlg>([&](ui::CAppOperateDlg* entry) {
            entry->SetMessageBox(box);
            entry->TitleEdit()->setText(QString::fromStdString(taken));
            entry->PathEdit()->setText(QStringLiteral("/bin/sh"));
            entry->OkButton()->click();
            stayed = entry->isVisible();
            entry->CancelButton()->click();
        });
        c.add->click();
        EXPECT_TRUE(stayed);
        c.cancel->click();
    });
    ASSERT_EQ(box->texts.size(), 1u);
    EXPECT_EQ(box->texts[0], core::LoadMessageText(145));
    EXPECT_EQ(ReadAll(sets), before);
}

} // namespace

namespace {

// The keyboard path the test on a real X server takes: the Folder tab, two Tabs to its
// scan method, Down to the next method, Enter for OK.
TEST_F(ButtonSettingsTest, TheKeyboardReachesTheScanMethodFromTheTabsAndEnterIsOk) {
    std::string chosen;
    RunDialog([&](ui::DLGSetting* dialog) {
        QTest::mouseClick(dialog->TabButton(2), Qt::LeftButton);
        EXPECT_EQ(dialog->CurrentPage(), 2);
        // The offscreen platform does not move the focus into a dialog by itself.
        dialog->TabButton(2)->setFocus();
        QTest::keyClick(dialog->focusWidget(), Qt::Key_Tab);
        QTest::keyClick(dialog->focusWidget(), Qt::Key_Tab);
        const ui::PageControls& c = dialog->Page(2)->Controls();
        EXPECT_EQ(dialog->focusWidget(), c.scanMethod);
        // The current page's picture stays pressed after the focus has left it.
        for (int i = 0; i < 4; ++i) EXPECT_EQ(dialog->TabButton(i)->CurrentImageIndex(), i == 2 ? 3 : 0) << i;
        QTest::keyClick(dialog->focusWidget(), Qt::Key_Down);
        chosen = c.scanMethod->GetSelectedValue()->first;
        QTest::keyClick(dialog->focusWidget(), Qt::Key_Return);
        if (dialog->isVisible()) {
            ADD_FAILURE() << "Enter did not end the dialog";
            dialog->reject();
        }
    });
    EXPECT_NE(chosen, "Flatbed");
    EXPECT_EQ(settings::ReadProfileString(sets, "Folder", "Scanmethod"), chosen);
}

} // namespace

namespace {

// OK checks the pages in order; the first refused page is shown and nothing is stored.
TEST_F(ButtonSettingsTest, OkStopsOnTheFirstRefusedPageAndShowsIt) {
    RunDialog([&](ui::DLGSetting* dialog) {
        dialog->SelectPage(3);
        dialog->Page(1)->Controls().fileName->setText(QStringLiteral("a:b"));
        dialog->Page(2)->Controls().fileName->setText(QStringLiteral("c*d"));
        dialog->Page(3)->Controls().ok->click();
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_TRUE(dialog->Page(1)->isVisible());
        EXPECT_FALSE(dialog->Page(3)->isVisible());
        dialog->reject();
    });
    ASSERT_EQ(box->texts.size(), 1u);
    EXPECT_EQ(box->texts[0], core::LoadMessageText(core::MessageNumber::BadFileName));
    EXPECT_EQ(ReadAll(sets), before);
}

TEST_F(ButtonSettingsTest, ControlsFollowTheDriverBoxTheFileTypeAndTheColourMode) {
    RunDialog([&](ui::DLGSetting* dialog) {
        ui::CDlgPage* page = dialog->Page(2);
        const ui::PageControls& c = page->Controls();
        dialog->SelectPage(2);
        c.showDriver->setChecked(true);
        for (QWidget* w :
             {static_cast<QWidget*>(c.scanMethod), static_cast<QWidget*>(c.colorMode),
              static_cast<QWidget*>(c.paperSize), static_cast<QWidget*>(c.resolution), static_cast<QWidget*>(c.option)})
            EXPECT_FALSE(w->isEnabled());
        c.showDriver->setChecked(false);
        EXPECT_TRUE(c.scanMethod->isEnabled());

        const std::pair<const char*, QWidget*> shown[] = {
            {"JPEG", c.jpegLevel}, {"TIFF", c.tifCompression}, {"Multi-page PDF", c.pdfCompression}};
        for (const auto& [type, control] : shown) {
            ASSERT_TRUE(Choose(c.saveType, type)) << type;
            EXPECT_TRUE(control->isVisibleTo(page)) << type;
            EXPECT_TRUE(c.compressLabel->isVisibleTo(page)) << type;
        }
        // Grey uses the first of the two PDF values, black and white the second.
        ASSERT_TRUE(Choose(c.colorMode, "Gray"));
        const std::string pair = page->PdfCompressionPair();
        const std::string second = pair.substr(pair.find('|'));
        ASSERT_GE(c.pdfCompression->count(), 2);
        c.pdfCompression->setCurrentIndex(c.pdfCompression->currentIndex() == 0 ? 1 : 0);
        emit c.pdfCompression->activated(c.pdfCompression->currentIndex());
        const std::string chosen = c.pdfCompression->GetSelectedValue()->first;
        EXPECT_EQ(page->PdfCompressionPair(), chosen + second);
        // The fax page's colour mode and resolution are fixed.
        EXPECT_FALSE(dialog->Page(3)->Controls().colorMode->isEnabled());
        EXPECT_FALSE(dialog->Page(3)->Controls().resolution->isEnabled());
        EXPECT_EQ(dialog->Page(3)->Controls().saveType, nullptr);
        dialog->reject();
    });
}

TEST_F(ButtonSettingsTest, DeleteAsks147AndDefaultBringsTheListBack) {
    std::string deleted = "not read";
    RunDialog([&](ui::DLGSetting* dialog) {
        const ui::PageControls& c = dialog->Page(1)->Controls();
        dialog->SelectPage(1);
        ASSERT_EQ(c.application->count(), 1);
        c.remove->click();
        EXPECT_EQ(c.application->count(), 0);
        EXPECT_TRUE(c.add->isEnabled());
        EXPECT_FALSE(c.modify->isEnabled());
        EXPECT_FALSE(c.remove->isEnabled());
        deleted = settings::ReadProfileStringWhole(sets, "Application2", "ListMapping");
        // Default brings the list of the defaults back; OK stores it.
        c.defaults->click();
        EXPECT_EQ(c.application->count(), 1);
        EXPECT_TRUE(c.modify->isEnabled());
        c.ok->click();
    });
    ASSERT_EQ(box->texts.size(), 1u);
    EXPECT_EQ(box->texts[0], core::LoadMessageText(core::MessageNumber::DeleteApplication));
    EXPECT_EQ(deleted, "");
    EXPECT_EQ(settings::ReadProfileStringWhole(sets, "Application2", "ListMapping"),
              settings::ReadProfileStringWhole(settings::DefaultsFilePath(), "Application2", "ListMapping"));
}

} // namespace

namespace {

// The real file system, except that no file can be replaced.
class UnwritableFiles : public platform::PosixFileSystem {
public:
    bool WriteFileAtomic(const std::string&, const std::string&) override { return false; }
};

// A desktop that records what it was asked to start.
class RecordingDesktop : public platform::IDesktop {
public:
    bool StartProgram(const std::string& program, const std::vector<std::string>& args, const std::string&) override {
        started.push_back(program);
        for (const auto& a : args) started.push_back(a);
        return true;
    }
    bool ShowInFileManager(const std::string&) override { return true; }
    std::vector<std::string> started;
};

TEST_F(ButtonSettingsTest, AFailedSaveShows102AndTheDialogStaysOpen) {
    RunDialog([&](ui::DLGSetting* dialog) {
        dialog->SelectPage(2);
        dialog->Page(2)->Controls().fileName->setText(QStringLiteral("Other"));
        {
            platform::ScopedService<platform::IFileSystem> unwritable(std::make_shared<UnwritableFiles>());
            dialog->Page(2)->Controls().ok->click();
        }
        EXPECT_TRUE(dialog->isVisible());
        dialog->reject();
    });
    ASSERT_EQ(box->texts.size(), 1u);
    EXPECT_EQ(box->texts[0], core::LoadMessageText(core::MessageNumber::DataUpdateFailed));
    EXPECT_EQ(ReadAll(sets), before);
}

TEST_F(ButtonSettingsTest, ViewFolderOpensTheFolderAndTheLinksLeadToTheirHelp) {
    auto desktop = std::make_shared<RecordingDesktop>();
    platform::SetDesktop(desktop);
    RunDialog([&](ui::DLGSetting* dialog) {
        const ui::PageControls& c = dialog->Page(2)->Controls();
        c.saveFolder->setText(QString::fromStdString(out.path()));
        c.viewFolder->click();
        const char* anchors[] = {"#app", "#app", "#folder", "#fax"};
        for (int i = 0; i < 4; ++i) {
            const std::string target = dialog->Page(i)->Controls().moreInformation->Target();
            EXPECT_EQ(target.rfind("mk:@MSITStore:", 0), 0u) << target;
            EXPECT_EQ(target.substr(target.find("::/")), std::string("::/Quorin.htm") + anchors[i]) << target;
        }
        dialog->reject();
    });
    platform::SetDesktop(nullptr);
    EXPECT_EQ(desktop->started, (std::vector<std::string>{"xdg-open", out.path()}));
}

} // namespace
