#include <gtest/gtest.h>

#include "core/Texts.h"
#include "delivery/DestinationHandlers.h"
#include "delivery/LaunchTasks.h"
#include "platform/Clock.h"
#include "platform/Desktop.h"
#include "platform/Services.h"
#include "settings/IniStorage.h"
#include "settings/ProductData.h"
#include "settings/Profile.h"
#include "support/RecordingMessageBox.h"
#include "support/TempFolder.h"

namespace {

using namespace delivery;
using testsupport::TempFolder;

class RecordingDesktop : public platform::IDesktop {
public:
    bool StartProgram(const std::string& p, const std::vector<std::string>& a, const std::string& f) override {
        started.push_back(p + "|" + (a.empty() ? "" : a[0]) + "|" + f);
        return true;
    }
    bool ShowInFileManager(const std::string& path) override {
        shown.push_back(path);
        return true;
    }
    std::vector<std::string> started, shown;
};

using RecordingBox = testsupport::RecordingMessageBox;

class Handlers : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetDesktop(desktop);
        platform::SetClock(std::make_shared<platform::FixedClock>(platform::LocalTime{2026, 12, 7, 8, 0, 0}));
        core::SetMessageBox(box);
        settings::SetSettingsFileLocator([] { return settings::UserSettingsFilePath(); });
        sets = settings::UserSettingsFilePath();
        for (const char* section : {"Application1", "Application2", "Folder"}) {
            settings::WriteProfileString(sets, section, "Savefolder", dest.path());
            settings::WriteProfileString(sets, section, "Filename", "Scan");
        }
        settings::WriteProfileString(sets, "Application1", "ListMapping", "1|Viewer|/usr/bin/env|");
        settings::WriteProfileString(sets, "Application1", "AppListID", "1");
        settings::WriteProfileString(sets, "Application1", "Appexepath", "/usr/bin/env");
        settings::WriteProfileString(sets, "Application1", "AppName", "Viewer");
        settings::WriteProfileString(sets, "Folder", "Openfileoption", "false");
    }
    void TearDown() override {
        platform::SetDesktop(nullptr);
        platform::SetClock(nullptr);
        core::SetMessageBox(nullptr);
        settings::SetSettingsFileLocator(nullptr);
    }
    std::shared_ptr<RecordingDesktop> desktop = std::make_shared<RecordingDesktop>();
    std::shared_ptr<RecordingBox> box = std::make_shared<RecordingBox>();
    TempFolder received, dest;
    std::string sets;
};

TEST_F(Handlers, ProcessorTableByDestinationAndOrigin) {
    struct Row {
        int destination;
        int origin;
        const char* type;
    };
    const Row rows[] = {{core::kDestApplication2, 0, "AppHandler"},
                        {core::kDestApplication2, 1, "AppHandler"},
                        {core::kDestApplication2, 2, "NetPushScanAppHandler"},
                        {core::kDestApplication1, 0, "AppHandler"},
                        {core::kDestApplication1, 1, "NetPushScanAppHandler"},
                        {core::kDestApplication1, 2, "NetPushScanAppHandler"},
                        {core::kDestFolder, 0, "FolderHandler"},
                        {core::kDestFolder, 1, "NetPushFolderHandler"},
                        {core::kDestFolder, 2, "NetPushFolderHandler"},
                        {core::kDestPcFax, 0, "FaxHandler"},
                        {core::kDestPcFax, 2, "FaxHandler"},
                        {core::kDestEmail, 0, nullptr},
                        {7, 0, nullptr}};
    LauncherTaskCollector queue;
    for (const auto& row : rows) {
        core::ScanRequest r;
        r.destination = row.destination;
        r.origin = row.origin;
        auto p = CreateProcesser(r, &queue);
        std::string got = !p                                              ? "none"
                          : dynamic_cast<NetPushScanAppHandler*>(p.get()) ? "NetPushScanAppHandler"
                          : dynamic_cast<AppHandler*>(p.get())            ? "AppHandler"
                          : dynamic_cast<NetPushFolderHandler*>(p.get())  ? "NetPushFolderHandler"
                          : dynamic_cast<FolderHandler*>(p.get())         ? "FolderHandler"
                          : dynamic_cast<FaxHandler*>(p.get())            ? "FaxHandler"
                                                                          : "other";
        EXPECT_EQ(got, row.type ? row.type : "none") << row.destination << "/" << row.origin;
        if (auto* a = dynamic_cast<AppHandler*>(p.get())) {
            EXPECT_EQ(a->DestinationName(),
                      row.destination == core::kDestApplication1 ? "Application1" : "Application2");
        }
    }
}

TEST_F(Handlers, NetworkFolderQueuesOneTaskWithEachFileOnce) {
    LauncherTaskCollector queue;
    NetPushFolderHandler handler(&queue);
    handler.Prepare();
    std::string a = received.Write("p1.jpg", "A"), b = received.Write("p2.jpg", "B");
    handler.OnPageSaved(a);
    handler.OnPageSaved(b);
    handler.OnScanFinished(b);
    EXPECT_EQ(handler.ProducedFiles(), (std::vector<std::string>{a, b}));
    ASSERT_EQ(queue.Size(), 1u);
    auto task = queue.Take();
    EXPECT_EQ(task->Execute(), 1);
    EXPECT_EQ(dest.Read("Scan(2026-12-7)0001.jpg"), "A");
    EXPECT_EQ(dest.Read("Scan(2026-12-7)0002.jpg"), "B");
    EXPECT_FALSE(platform::FileSystem().Exists(a));
    EXPECT_TRUE(desktop->shown.empty()) << "Openfileoption is false";
}

TEST_F(Handlers, NetworkAppTaskDiscardDeletesReceivedFiles) {
    LauncherTaskCollector queue;
    NetPushScanAppHandler handler("Application1", &queue);
    handler.Prepare();
    std::string a = received.Write("doc.pdf", "D");
    handler.OnScanFinished(a);
    ASSERT_EQ(queue.Size(), 1u);
    queue.Take()->Discard();
    EXPECT_FALSE(platform::FileSystem().Exists(a));
    std::vector<std::string> names;
    platform::FileSystem().ListFolder(dest.path(), names);
    EXPECT_EQ(names.size(), 2u);
    EXPECT_TRUE(desktop->started.empty());
}

TEST_F(Handlers, WithoutQueueTheTaskIsDroppedUnexecuted) {
    NetPushFolderHandler handler(nullptr);
    handler.Prepare();
    std::string a = received.Write("p.jpg", "A");
    handler.OnScanFinished(a);
    std::vector<std::string> names;
    platform::FileSystem().ListFolder(dest.path(), names);
    EXPECT_EQ(names.size(), 2u);
}

struct OpenCase {
    const char* stored;
    bool opens;
};
class OpenFolderOption : public Handlers, public ::testing::WithParamInterface<OpenCase> {};

TEST_P(OpenFolderOption, OnlyExactTrueOpensTheFileManager) {
    settings::WriteProfileString(sets, "Folder", "Openfileoption", GetParam().stored);
    FolderHandler handler;
    handler.OnScanFinished("/scans/Scan(2026-12-7)0001.PDF");
    EXPECT_EQ(desktop->shown.size(), GetParam().opens ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Values, OpenFolderOption,
                         ::testing::Values(OpenCase{"true", true}, OpenCase{"True", false}, OpenCase{"1", false},
                                           OpenCase{"", false}));

TEST_F(Handlers, ApplicationSinglePageDeliversPerPageMultiPageAtEnd) {
    AppHandler handler("Application1");
    ASSERT_FALSE(handler.RefuseScan());
    handler.Prepare();
    settings::WriteProfileString(sets, "Application1", "Savetype", "JPEG");
    handler.Prepare();
    handler.OnPageSaved("/scans/a.JPEG");
    handler.OnScanFinished("/scans/a.JPEG");
    ASSERT_EQ(desktop->started.size(), 1u);
    EXPECT_EQ(desktop->started[0], "/usr/bin/env|/scans/a.JPEG|" + dest.path());
    EXPECT_EQ(handler.DisplayPath(), dest.path() + "Scan.JPEG");
    settings::WriteProfileString(sets, "Application1", "Savetype", "Multi-page TIFF");
    handler.Prepare();
    handler.OnPageSaved("/scans/b.TIFF");
    handler.OnScanFinished("/scans/b.TIFF");
    ASSERT_EQ(desktop->started.size(), 2u);
    EXPECT_EQ(desktop->started[1], "/usr/bin/env|/scans/b.TIFF|" + dest.path());
}

TEST_F(Handlers, FaxWithoutFaxQueueRefusesWithMessage116) {
    FaxHandler fax;
    EXPECT_TRUE(fax.RefuseScan());
    ASSERT_EQ(box->texts.size(), 1u);
    EXPECT_EQ(box->texts[0], core::LoadMessageText(116));
    EXPECT_EQ(fax.LastError(), kFaxNoPrinter);
}

} // namespace
