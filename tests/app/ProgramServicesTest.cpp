#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "app/ProgramServices.h"
#include "core/Texts.h"
#include "output/OutputHost.h"
#include "scan/DriverIdentifer.h"
#include "scan/TwainCap.h"
#include "settings/ProductData.h"
#include "settings/ScannerModel.h"
#include "support/FakeDynamictwain.h"
#include "support/RecordingMessageBox.h"

namespace {

using testsupport::RecordingMessageBox;

class Unattended : public core::IScanStatus {
public:
    core::ScanState GetScanState() const override { return core::ScanState::Running; }
    int CurrentOrigin() const override { return core::kOriginNetworkPush; }
};

// What the process-wide hooks answer, taken at one moment.
struct Hooks {
    bool scannerModel, control, sourceManager;
    std::string workingFolder;
    size_t outputMessagesShown, coreMessagesShown;
};

Hooks Observe(RecordingMessageBox& box) {
    Hooks h;
    h.scannerModel = settings::ScannerModel() != nullptr;
    h.control = scan::TwainCapHandler::GetInstance().Control() != nullptr;
    h.sourceManager = scan::DriverIdentifer::GetInstance().SourceManager() != nullptr;
    h.workingFolder = output::WorkingImageFolder();
    const size_t before = box.texts.size();
    output::ShowOutputMessage("from the output");
    h.outputMessagesShown = box.texts.size() - before;
    core::ShowMessage("from the core", core::kMbOk);
    h.coreMessagesShown = box.texts.size() - before - h.outputMessagesShown;
    return h;
}

TEST(ProgramServices, InstallsEveryServiceAndRemovesEveryOneAtTheEnd) {
    auto control = std::make_shared<scancontrol::FakeDynamictwain>();
    auto box = std::make_shared<RecordingMessageBox>();
    std::vector<std::string> hookCalls;
    {
        app::ProgramServices services(control.get(), control, box);
        services.AddHook([&] { hookCalls.push_back("install"); }, [&] { hookCalls.push_back("uninstall"); });
        Hooks in = Observe(*box);
        EXPECT_TRUE(in.scannerModel);
        EXPECT_TRUE(in.control);
        EXPECT_TRUE(in.sourceManager);
        EXPECT_EQ(in.workingFolder, settings::WorkingImageFolder());
        EXPECT_EQ(in.outputMessagesShown, 1u);
        EXPECT_EQ(in.coreMessagesShown, 1u);
        EXPECT_EQ(hookCalls, std::vector<std::string>{"install"});
        // An unattended scan silences both routes alike.
        services.SetScanStatus(std::make_shared<Unattended>());
        Hooks quiet = Observe(*box);
        EXPECT_EQ(quiet.outputMessagesShown + quiet.coreMessagesShown, 0u);
    }
    Hooks out = Observe(*box);
    EXPECT_FALSE(out.scannerModel);
    EXPECT_FALSE(out.control);
    EXPECT_FALSE(out.sourceManager);
    EXPECT_NE(out.workingFolder, settings::WorkingImageFolder());
    EXPECT_EQ(out.outputMessagesShown + out.coreMessagesShown, 0u);
    EXPECT_EQ(hookCalls, (std::vector<std::string>{"install", "uninstall"}));
}

TEST(ProgramServices, LeavesAMessageBoxItDidNotInstall) {
    auto box = std::make_shared<RecordingMessageBox>();
    core::SetMessageBox(box);
    { app::ProgramServices services(nullptr, nullptr); }
    core::ShowMessage("still shown", core::kMbOk);
    EXPECT_EQ(box->texts, std::vector<std::string>{"still shown"});
    core::SetMessageBox(nullptr);
}

} // namespace
