// The Option dialog and the application-entry dialog: their rules without a display,
// then the real dialogs on the offscreen platform.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest/QTest>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

#include "QtTestEnv.h"
#include "settings/AppList.h"
#include "settings/ProductData.h"
#include "settings/Profile.h"
#include "settings/ScanSettingValues.h"
#include "support/RecordingMessageBox.h"
#include "support/TempFolder.h"
#include "ui/AppOperateDlg.h"
#include "ui/OptionDialog.h"
#include "ui/OptionRules.h"
#include "ui/StaticLink.h"

namespace {

using ui::OptionState;

// ---- the option rules ----------------------------------------------------------------

struct OptionCase {
    const char* what;
    const char* entry; // the stored entry ("" for none in the list)
    const char* method;
    const char* paper;
    bool duplexUnit;
    int family;
    OptionState expected; // left, lrBinding, duplexOff, duplexOffEnabled, bindingEnabled
};

const OptionCase kOptionCases[] = {
    {"flatbed: one side only", "Flatbed|upper|top|on|", "Flatbed", "A4", true, 0, {false, false, true, false, false}},
    {"auto: one side only", "Auto|left|lr|on|", "Auto", "A4", true, 0, {true, true, true, false, false}},
    {"feeder, duplex unit, both sides", "ADF|left|top|on|", "ADF", "A4", true, 0, {true, false, false, true, true}},
    {"feeder, duplex unit, off", "ADF|upper|lr|off|", "ADF", "A4", true, 0, {false, true, true, true, false}},
    {"feeder, duplex unit, A6 on family 2", "ADF|left|lr|on|", "ADF", "A6", true, 2, {true, true, true, false, false}},
    {"feeder, duplex unit, A6 on family 1", "ADF|left|lr|on|", "ADF", "A6", true, 1, {true, true, false, true, true}},
    {"feeder, duplex unit, A5 on family 2", "ADF|left|lr|on|", "ADF", "A5", true, 2, {true, true, false, true, true}},
    {"feeder without duplex unit", "ADF|upper|top|on|", "ADF", "A4", false, 0, {false, false, true, false, false}},
    {"other feeder method keeps its flag",
     "ADFSimplex|left|lr|off|",
     "ADFSimplex",
     "A4",
     false,
     0,
     {true, true, true, true, false}},
    {"method not in the list", "", "ADF", "A4", true, 0, {true, true, false, true, true}},
};

void PrintTo(const OptionCase& c, std::ostream* os) { *os << c.what; }

class OptionRules : public ::testing::TestWithParam<OptionCase> {};

TEST_P(OptionRules, InitialState) {
    const OptionCase& c = GetParam();
    SCOPED_TRACE(c.what);
    std::shared_ptr<settings::ScanMethod> entry = *c.entry ? settings::ScanMethodFromText(c.entry) : nullptr;
    int asked = 0;
    ui::OptionDeviceSource device = [&] {
        ++asked;
        return ui::OptionDeviceFacts{c.duplexUnit, c.family};
    };
    const OptionState s = ui::InitialOptionState(entry.get(), c.method, c.paper, device);
    const OptionState& e = c.expected;
    EXPECT_EQ(s.left, e.left);
    EXPECT_EQ(s.lrBinding, e.lrBinding);
    EXPECT_EQ(s.duplexOff, e.duplexOff);
    EXPECT_EQ(s.duplexOffEnabled, e.duplexOffEnabled);
    EXPECT_EQ(s.bindingEnabled, e.bindingEnabled);
    // The device is asked only for the feeder method.
    EXPECT_EQ(asked, std::string(c.method) == "ADF" ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, OptionRules, ::testing::ValuesIn(kOptionCases),
                         [](const ::testing::TestParamInfo<OptionCase>& p) { return std::to_string(p.index); });

TEST(OptionRulesWrite, ChoicesBecomeTheEntrysTexts) {
    const struct {
        OptionState choices;
        const char* text;
    } rows[] = {
        {{true, true, false, true, true}, "ADF|left|lr|on|"},
        {{false, true, true, true, true}, "ADF|upper|lr|off|"},
        {{true, false, false, true, true}, "ADF|left|top|on|"},
        {{false, false, true, true, true}, "ADF|upper|top|off|"},
    };
    for (const auto& row : rows) {
        auto entry = settings::ScanMethodFromText("ADF|left|lr|on|");
        ui::WriteOptionChoices(*entry, row.choices);
        EXPECT_EQ(settings::ScanMethodToText(*entry), row.text);
    }
}

TEST(AppEntryRules, EveryResultHasItsMessage) {
    const std::pair<int, int> rows[] = {{0, 0},   {1, 143}, {2, 103}, {3, 144}, {4, 145},
                                        {5, 146}, {6, 0},   {7, 102}, {42, 0},  {-1, 0}};
    for (const auto& [result, message] : rows) EXPECT_EQ(ui::AppEntryMessage(result), message) << result;
}

// ---- the Option dialog ---------------------------------------------------------------

class OptionDialog : public ::testing::Test {
protected:
    void SetUp() override { testsupport::QtApp(); }
    void TearDown() override { ui::COptionDialog::SetDeviceSource(nullptr); }
    static void Device(bool duplexUnit, int family) {
        ui::COptionDialog::SetDeviceSource([=] { return ui::OptionDeviceFacts{duplexUnit, family}; });
    }
    std::shared_ptr<settings::ScanMethodArr> methods =
        settings::ScanMethodArr::FromText("Flatbed|left|lr|off|-ADF|upper|top|on|-Auto|left|lr|off|-");
};

TEST_F(OptionDialog, FlatbedShowsOffCheckedAndDisabled) {
    Device(true, 0);
    ui::COptionDialog dialog(methods, "Flatbed", nullptr, "A4");
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Option"));
    EXPECT_TRUE(dialog.DuplexOffBox()->isChecked());
    EXPECT_FALSE(dialog.DuplexOffBox()->isEnabled());
    EXPECT_FALSE(dialog.LRBindingRadio()->isEnabled());
    EXPECT_FALSE(dialog.TopBindingRadio()->isEnabled());
    EXPECT_TRUE(dialog.LeftRadio()->isChecked());
    EXPECT_EQ(dialog.HelpLink()->text(), QStringLiteral("More"));
    EXPECT_EQ(dialog.HelpLink()->Target(),
              "mk:@MSITStore:" + settings::ProgramFolder() + "Help.chm::/Quorin.htm#option");
}

TEST_F(OptionDialog, FeederA6OnFamilyTwoWithDuplexUnitIsOneSided) {
    Device(true, 2);
    ui::COptionDialog dialog(methods, "ADF", nullptr, "A6");
    EXPECT_TRUE(dialog.DuplexOffBox()->isChecked());
    EXPECT_FALSE(dialog.DuplexOffBox()->isEnabled());
    EXPECT_FALSE(dialog.TopBindingRadio()->isEnabled());
    EXPECT_TRUE(dialog.UpperRadio()->isChecked());
    EXPECT_TRUE(dialog.TopBindingRadio()->isChecked());
}

TEST_F(OptionDialog, FeederWithoutDuplexUnitIsOneSided) {
    Device(false, 0);
    ui::COptionDialog dialog(methods, "ADF", nullptr, "A4");
    EXPECT_TRUE(dialog.DuplexOffBox()->isChecked());
    EXPECT_FALSE(dialog.DuplexOffBox()->isEnabled());
    EXPECT_FALSE(dialog.LRBindingRadio()->isEnabled());
}

TEST_F(OptionDialog, OffTogglesTheBindingsAndOkWritesTheEntry) {
    Device(true, 0);
    ui::COptionDialog dialog(methods, "ADF", nullptr, "A4");
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    ASSERT_TRUE(dialog.DuplexOffBox()->isEnabled());
    EXPECT_FALSE(dialog.DuplexOffBox()->isChecked());
    EXPECT_TRUE(dialog.LRBindingRadio()->isEnabled());

    QTest::mouseClick(dialog.DuplexOffBox(), Qt::LeftButton);
    EXPECT_FALSE(dialog.LRBindingRadio()->isEnabled());
    EXPECT_FALSE(dialog.TopBindingRadio()->isEnabled());
    QTest::mouseClick(dialog.DuplexOffBox(), Qt::LeftButton);
    EXPECT_TRUE(dialog.TopBindingRadio()->isEnabled());

    QTest::mouseClick(dialog.LeftRadio(), Qt::LeftButton);
    QTest::mouseClick(dialog.LRBindingRadio(), Qt::LeftButton);
    QTest::mouseClick(dialog.DuplexOffBox(), Qt::LeftButton);
    QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(methods->ToText(), "Flatbed|left|lr|off|-ADF|left|lr|off|-Auto|left|lr|off|-");
}

TEST_F(OptionDialog, CancelChangesNothing) {
    Device(true, 0);
    const std::string before = methods->ToText();
    ui::COptionDialog dialog(methods, "ADF", nullptr, "A4");
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    QTest::mouseClick(dialog.LeftRadio(), Qt::LeftButton);
    QTest::mouseClick(dialog.DuplexOffBox(), Qt::LeftButton);
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(methods->ToText(), before);
}

// ---- the application-entry dialog ----------------------------------------------------

class AppEntryDialog : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::QtApp();
        file = home / "Sets.dat";
        tool = home.Write("bin/tool", "#!/bin/sh\n");
        ::chmod(tool.c_str(), 0755);
        settings::WriteProfileString(file, "Application1", "ListMapping", "1|Viewer|" + tool + "|");
        provider = std::make_shared<settings::AppListProvider>("Application1", file);
    }
    std::string Stored() const { return home.Read("Sets.dat"); }
    // Runs OK with these texts; the dialog's message texts.
    std::vector<std::string> Ok(ui::CAppOperateDlg& dialog, const QString& title, const QString& path) {
        auto box = std::make_shared<testsupport::RecordingMessageBox>();
        dialog.SetMessageBox(box);
        dialog.TitleEdit()->setText(title);
        dialog.PathEdit()->setText(path);
        QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
        return box->texts;
    }

    testsupport::TempFolder home;
    std::string file;
    std::string tool;
    std::shared_ptr<settings::AppListProvider> provider;
};

TEST_F(AppEntryDialog, RefusedEntriesKeepTheDialogOpenAndTheListUnchanged) {
    const struct {
        QString title;
        bool validPath;
        const char* message;
    } rows[] = {
        {QStringLiteral("a|b"), true, "Can not use the charactor '|' to name the title."},
        {QStringLiteral("Viewer"), true, "The title has been named. Please rename the application title."},
        {QStringLiteral("   "), true, "The title cannot empty."},
        {QStringLiteral("Editor"), false, "Please enter a valid path."},
    };
    const std::string before = Stored();
    for (const auto& row : rows) {
        ui::CAppOperateDlg dialog(std::make_shared<settings::AppOperateAddMode>(provider));
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        const auto texts = Ok(dialog, row.title, QString::fromStdString(row.validPath ? tool : home / "none"));
        ASSERT_EQ(texts.size(), 1u) << row.title.toStdString();
        EXPECT_EQ(texts[0], row.message);
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(Stored(), before);
    }
}

TEST_F(AppEntryDialog, AddAcceptsAndStoresTheEntry) {
    ui::CAppOperateDlg dialog(std::make_shared<settings::AppOperateAddMode>(provider));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Add Application"));
    EXPECT_TRUE(dialog.TitleEdit()->text().isEmpty());
    EXPECT_TRUE(dialog.PathEdit()->isReadOnly());
    EXPECT_EQ(dialog.TitleEdit()->maxLength(), 50);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_TRUE(Ok(dialog, QStringLiteral("Editor"), QString::fromStdString(tool)).empty());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(settings::ReadProfileStringWhole(file, "Application1", "ListMapping"),
              "1|Viewer|" + tool + "|2|Editor|" + tool + "|");
}

TEST_F(AppEntryDialog, ModifyShowsTheEntryAndCancelLeavesTheFileAlone) {
    const std::string before = Stored();
    ui::CAppOperateDlg dialog(std::make_shared<settings::AppOperateModifyMode>(provider, 1));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Modify Application"));
    EXPECT_EQ(dialog.TitleEdit()->text(), QStringLiteral("Viewer"));
    EXPECT_EQ(dialog.PathEdit()->text(), QString::fromStdString(tool));
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    QTest::keyClicks(dialog.TitleEdit(), QStringLiteral("2"));
    QTest::mouseClick(dialog.CancelButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(Stored(), before);
}

// The chooser lists folders and programs only, and takes nothing else even when typed.
TEST_F(AppEntryDialog, BrowseOffersProgramsOnly) {
    home.Write("bin/notes.txt", "text\n");
    home.Write("bin/sub/x", "");
    ui::CAppOperateDlg dialog(std::make_shared<settings::AppOperateAddMode>(provider));
    const QString folder = QString::fromStdString(home / "bin");
    for (const char* typed : {"tool", "notes.txt"}) {
        QStringList shown;
        testsupport::WhenModalOpens([&](QWidget* modal) {
            auto* chooser = qobject_cast<QFileDialog*>(modal);
            ASSERT_NE(chooser, nullptr);
            EXPECT_EQ(chooser->directory().absolutePath(), folder);
            auto* view = chooser->findChild<QListView*>(QStringLiteral("listView"));
            ASSERT_NE(view, nullptr);
            EXPECT_TRUE(QTest::qWaitFor([&] { return view->model()->rowCount(view->rootIndex()) >= 2; }, 5000));
            for (int r = 0; r < view->model()->rowCount(view->rootIndex()); ++r)
                shown << view->model()->index(r, 0, view->rootIndex()).data().toString();
            // Typed into the name field, as a user would.
            auto* name = chooser->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            ASSERT_NE(name, nullptr);
            name->setText(folder + QLatin1Char('/') + QString::fromLatin1(typed));
            static_cast<QDialog*>(chooser)->accept();
            // Should the chooser itself refuse the name, it is closed here.
            if (chooser->isVisible()) chooser->reject();
        });
        const QString chosen = dialog.BrowseForProgram(folder);
        shown.sort();
        EXPECT_EQ(shown, QStringList({QStringLiteral("sub"), QStringLiteral("tool")}));
        EXPECT_EQ(chosen, std::string(typed) == "tool" ? QString::fromStdString(tool) : QString()) << typed;
    }
    EXPECT_STREQ(ui::CAppOperateDlg::kBrowseStart, "/usr/bin");
}

} // namespace
