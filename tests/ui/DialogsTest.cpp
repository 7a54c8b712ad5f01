// The scanner selection dialog, the Qt message box and the delivery question.
#include <gtest/gtest.h>

#include <QListWidget>
#include <QPushButton>
#include <QtTest/QTest>
#include <atomic>
#include <thread>

#include "QtTestEnv.h"
#include "delivery/LaunchTaskWorker.h"
#include "scan/DriverIdentifer.h"
#include "scancontrol/SaneDynamictwain.h"
#include "scancontrol/SourceManager.h"
#include "settings/ProductData.h"
#include "ui/DlgSelectSource.h"
#include "ui/LaunchQuestion.h"
#include "ui/QtMessageBox.h"

namespace {

class RecordingBox : public core::IMessageBox {
public:
    int Show(const std::string& text, unsigned style, unsigned) override {
        texts.push_back(text);
        styles.push_back(style);
        return core::kIdOk;
    }
    std::vector<std::string> texts;
    std::vector<unsigned> styles;
};

ui::CDlgSelectSource::SourceLister Listing(std::vector<std::string> names) {
    std::vector<scancontrol::SourceEntry> sources;
    for (const auto& name : names) sources.push_back({"Noname", "frontend-tester", name});
    return [sources] { return sources; };
}

TEST(SelectSource, EmptyListAllowsOnlyCancel) {
    testsupport::QtApp();
    ui::CDlgSelectSource dialog("test:0", Listing({}));
    EXPECT_FALSE(dialog.OkButton()->isEnabled());
    EXPECT_TRUE(dialog.CancelButton()->isEnabled());
    EXPECT_TRUE(dialog.CanClose());
    dialog.show();
    dialog.reject();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(dialog.Result(), "test:0");
}

TEST(SelectSource, ScannersWithoutSelectionCannotBeCancelledOrClosedUntilOneIsPicked) {
    testsupport::QtApp();
    auto box = std::make_shared<RecordingBox>();
    ui::CDlgSelectSource dialog("other", Listing({"test:0", "test:1"}), box);
    ASSERT_EQ(dialog.List()->count(), 2);
    EXPECT_TRUE(dialog.List()->selectedItems().isEmpty());
    EXPECT_FALSE(dialog.OkButton()->isEnabled());
    EXPECT_FALSE(dialog.CancelButton()->isEnabled());
    EXPECT_FALSE(dialog.CanClose());
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowCloseButtonHint);

    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_TRUE(dialog.isVisible()) << "Escape must not close it";
    EXPECT_FALSE(dialog.close()) << "nor the close command";
    EXPECT_TRUE(dialog.isVisible());

    // OK without a selection (Enter on the default button) explains and stays.
    dialog.accept();
    ASSERT_EQ(box->texts.size(), 1u);
    EXPECT_EQ(box->texts[0], "Error when attempt to connect the twain driver.");
    EXPECT_EQ(box->styles[0], core::kMbOk | core::kMbIconStop);
    EXPECT_TRUE(dialog.isVisible());

    dialog.List()->setCurrentRow(1);
    EXPECT_TRUE(dialog.OkButton()->isEnabled());
    EXPECT_TRUE(dialog.CancelButton()->isEnabled());
    EXPECT_TRUE(dialog.CanClose());
    QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.Result(), "test:1");
}

TEST(SelectSource, CurrentNameSelectsByBeginningIgnoringCaseAndCancelRestoresIt) {
    testsupport::QtApp();
    ui::CDlgSelectSource dialog("TEST:1", Listing({"test:0", "test:1 (USB)", "test:1"}));
    ASSERT_EQ(dialog.List()->selectedItems().size(), 1);
    EXPECT_EQ(dialog.List()->currentRow(), 1) << "the first name that begins with it";
    EXPECT_TRUE(dialog.OkButton()->isEnabled());
    dialog.List()->setCurrentRow(0);
    dialog.show();
    QTest::mouseClick(dialog.CancelButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(dialog.Result(), "TEST:1");
}

// The SANE test backend's devices: each name with its maker and model; the choice and the
// result are the device name alone.
TEST(SelectSource, ListShowsMakerAndModelBesideEachNameAndChoosesByName) {
    testsupport::QtApp();
    auto& identifier = scan::DriverIdentifer::GetInstance();
    identifier.Reload();
    identifier.SetSourceManager(
        std::make_shared<scancontrol::KeptSourceListing>(scancontrol::CreateSaneSourceManager()));
    ui::CDlgSelectSource dialog("test:1", [&identifier] {
        std::vector<std::string> names;
        std::vector<scancontrol::SourceEntry> offered;
        identifier.KnownSources(names, nullptr, &offered);
        return offered;
    });
    identifier.SetSourceManager(nullptr);
    ASSERT_EQ(dialog.List()->count(), 2);
    const char* names[] = {"test:0", "test:1"};
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(dialog.List()->item(i)->text(),
                  QString::fromLatin1(names[i]) + QStringLiteral("  \u2014  Noname frontend-tester"));
        EXPECT_EQ(ui::CDlgSelectSource::NameOf(dialog.List()->item(i)), names[i]);
    }
    EXPECT_EQ(dialog.List()->currentRow(), 1);
    dialog.List()->setCurrentRow(0);
    dialog.accept();
    EXPECT_EQ(dialog.Result(), "test:0");
}

TEST(SelectSource, NameWithoutMakerOrModelShowsTheNameAlone) {
    testsupport::QtApp();
    const std::vector<scancontrol::SourceEntry> sources = {{"Maker", "Model", "a"}, {"", "", "b"}};
    ui::CDlgSelectSource dialog("b", [sources] { return sources; });
    EXPECT_EQ(dialog.List()->item(0)->text(), QStringLiteral("a  \u2014  Maker Model"));
    EXPECT_EQ(dialog.List()->item(1)->text(), QStringLiteral("b"));
    EXPECT_EQ(dialog.List()->currentRow(), 1);
}

TEST(SelectSource, EachScannerCarriesItsMakerAndModel) {
    testsupport::QtApp();
    const std::vector<scancontrol::SourceEntry> sources = {{"Noname", "PNM file reader", "pnm:0"},
                                                           {"Acme", "Office 9", "airscan:e0:Office"}};
    ui::CDlgSelectSource dialog("airscan:e0:Office", [sources] { return sources; });
    ASSERT_EQ(dialog.List()->count(), 2);
    EXPECT_EQ(dialog.List()->currentRow(), 1);
    for (int i = 0; i < 2; ++i) {
        const QListWidgetItem* item = dialog.List()->item(i);
        EXPECT_EQ(ui::CDlgSelectSource::NameOf(item), sources[i].productName);
        EXPECT_EQ(item->toolTip().toStdString(), sources[i].manufacturer + " " + sources[i].productFamily);
        EXPECT_EQ(item->data(ui::CDlgSelectSource::kMakerRole).toString().toStdString(), sources[i].manufacturer);
        EXPECT_EQ(item->data(ui::CDlgSelectSource::kModelRole).toString().toStdString(), sources[i].productFamily);
    }
    dialog.accept();
    EXPECT_EQ(dialog.Result(), "airscan:e0:Office") << "the device name is what is chosen";
}

TEST(QtMessageBox, StyleGivesButtonsAndIconAndTheChoiceComesBack) {
#if defined(__SANITIZE_THREAD__)
    // The box crosses threads through Qt's blocking queued call, whose synchronisation
    // lives in Debian's Qt, which is not built for ThreadSanitizer.
    GTEST_SKIP() << "Qt's internal hand-offs are not instrumented for ThreadSanitizer";
#endif
    testsupport::QtApp();
    ui::QtMessageBox box;
    QString shownText;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttons = 0;
    testsupport::WhenModalOpens([&](QWidget* w) {
        auto* mb = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(mb, nullptr);
        shownText = mb->text();
        icon = mb->icon();
        buttons = static_cast<int>(mb->buttons().size());
        mb->button(QMessageBox::No)->click();
    });
    int result = box.Show("save path is not exit,\\n try to create now?", core::kMbYesNo | core::kMbIconQuestion, 0);
    EXPECT_EQ(result, core::kIdNo);
    EXPECT_EQ(shownText, QStringLiteral("save path is not exit,\n try to create now?"));
    EXPECT_EQ(icon, QMessageBox::Question);
    EXPECT_EQ(buttons, 2);

    // From another thread the box still opens on the user-interface thread.
    testsupport::WhenModalOpens([&](QWidget* w) {
        auto* mb = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(mb, nullptr);
        icon = mb->icon();
        mb->button(QMessageBox::Ok)->click();
    });
    std::atomic<int> threaded{-1};
    std::thread other([&] { threaded = box.Show("x", core::kMbOk | core::kMbIconStop, 0); });
    while (threaded.load() < 0) QTest::qWait(10);
    other.join();
    EXPECT_EQ(threaded.load(), core::kIdOk);
    EXPECT_EQ(icon, QMessageBox::Critical);
}

// A task that records what the worker did with it.
class Probe : public delivery::IF_Operation {
public:
    explicit Probe(std::atomic<int>& executed, std::atomic<int>& discarded) : e_(executed), d_(discarded) {}
    int Execute() override { return ++e_, 1; }
    int Discard() override { return ++d_, 1; }
private:
    std::atomic<int>& e_;
    std::atomic<int>& d_;
};

TEST(LaunchQuestion, YesRunsTheTasksNewWorkRaisesAndStopClosesWithNo) {
#if defined(__SANITIZE_THREAD__)
    // The box crosses threads through Qt's blocking queued call, whose synchronisation
    // lives in Debian's Qt, which is not built for ThreadSanitizer.
    GTEST_SKIP() << "Qt's internal hand-offs are not instrumented for ThreadSanitizer";
#endif
    testsupport::QtApp();
    settings::SetProgramFolder("");
    std::atomic<int> executed{0}, discarded{0};
    auto question = std::make_shared<ui::LaunchQuestionWindow>();
    delivery::LauncherTaskCollector collector;
    delivery::LaunchTaskWorker worker(collector, question);

    collector.Add(std::make_unique<Probe>(executed, discarded));
    std::atomic<bool> passDone{false};
    std::thread pass([&] {
        worker.RunOnce();
        passDone = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(question->OpenBox() != nullptr, 5000);
    EXPECT_EQ(question->OpenBox()->text().toStdString(), core::LoadMessageText(211));
    // More work while the question is open brings it forward and keeps it on top.
    collector.Add(std::make_unique<Probe>(executed, discarded));
    QTRY_COMPARE_WITH_TIMEOUT(question->RaiseCount(), 1, 5000);
    EXPECT_TRUE(question->OpenBox()->windowFlags() & Qt::WindowStaysOnTopHint);
    question->OpenBox()->button(QMessageBox::Yes)->click();
    QTRY_VERIFY_WITH_TIMEOUT(passDone.load(), 5000);
    pass.join();
    EXPECT_EQ(executed.load(), 2);
    EXPECT_EQ(discarded.load(), 0);

    // A stop while the question is open closes it with "no": the files are discarded.
    collector.Add(std::make_unique<Probe>(executed, discarded));
    worker.Start();
    QTRY_VERIFY_WITH_TIMEOUT(question->OpenBox() != nullptr, 5000);
    worker.Stop(); // returns only once the worker has ended: the box must not hold it
    EXPECT_EQ(discarded.load(), 1);
    EXPECT_EQ(executed.load(), 2);
    QTRY_VERIFY_WITH_TIMEOUT(question->OpenBox() == nullptr, 5000);
}

} // namespace
