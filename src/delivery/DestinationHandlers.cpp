#include "delivery/DestinationHandlers.h"

#include "core/Texts.h"
#include "delivery/LaunchTasks.h"
#include "settings/DefaultLoader.h"
#include "settings/IniStorage.h"
#include "settings/Persistence.h"

namespace delivery {
namespace {

void AddOnce(std::vector<std::string>& files, const std::string& path) {
    for (const auto& f : files)
        if (f == path) return;
    files.push_back(path);
}

} // namespace

bool IsMultiPageType(const std::string& saveType) { return saveType.find("Multi") != std::string::npos; }

bool DestinationProcesser::IsMultiPage() const { return IsMultiPageType(record_->GetSaveType()); }

settings::DestinationSettings DestinationProcesser::GetSettings() const {
    settings::DestinationSettings all;
    all.LoadAll();
    return all;
}

// ---- applications ----------------------------------------------------------------------

AppHandler::AppHandler(std::string destinationName)
    : DestinationProcesser(std::make_shared<settings::AppElements>(destinationName)),
      destinationName_(std::move(destinationName)) {}

void AppHandler::ResetSettings() {
    DestinationProcesser::ResetSettings();
    displayPath_.clear();
}

bool AppHandler::LoadSettings() {
    if (!DestinationProcesser::LoadSettings()) return false;
    displayPath_ = record_->GetSaveFolder() + record_->GetFileName() + "." + record_->GetSaveType();
    return true;
}

settings::AppElements AppHandler::LookUpApplication() {
    settings::AppElements record(destinationName_);
    if (!record.Load()) {
        auto loader = settings::ClassInstanceFactory::GetInstance().CreateDefaultLoader();
        record = settings::AppElements(destinationName_);
        if (destinationName_ == "Application1") loader->LoadApplication1Defaults(record);
        else loader->LoadApplication2Defaults(record);
    }
    applicationPath_ = record.GetAppPath();
    return record;
}

bool AppHandler::RefuseScan() {
    if (LookUpApplication().GetAppListId() != 0) return false;
    core::ShowMessage(core::LoadMessageText(core::MessageNumber::NoApplication), core::kMbOk | core::kMbIconStop);
    return true;
}

void AppHandler::Deliver(const std::string& path) {
    LookUpApplication();
    CAppLauncher(applicationPath_, path, record_->GetSaveFolder()).Execute();
}

void AppHandler::OnPageSaved(const std::string& path) {
    if (!IsMultiPage()) Deliver(path);
}

void AppHandler::OnScanFinished(const std::string& path) {
    if (IsMultiPage()) Deliver(path);
}

void NetPushScanAppHandler::Collect(const std::string& path) { AddOnce(producedFiles_, path); }

void NetPushScanAppHandler::OnScanFinished(const std::string& path) {
    Collect(path);
    LookUpApplication();
    auto task = std::make_unique<CNetworkAppLauncher>(producedFiles_, applicationPath_, record_->GetFileName(),
                                                      record_->GetSaveFolder());
    if (queue_) queue_->Add(std::move(task));
}

// ---- folder ------------------------------------------------------------------------------

FolderHandler::FolderHandler() : DestinationProcesser(std::make_shared<settings::FolderElements>("Folder")) {}

bool FolderHandler::OpenFolderOption() {
    auto& handler = settings::GetSettingsHandler();
    if (!handler.OpenSection("Folder")) return false;
    bool open = handler.ReadValue("Openfileoption") == "true";
    handler.CloseSection();
    return open;
}

void FolderHandler::OnScanFinished(const std::string& path) {
    if (OpenFolderOption()) CFolderLauncher(path).Execute();
}

void NetPushFolderHandler::Collect(const std::string& path) { AddOnce(producedFiles_, path); }

void NetPushFolderHandler::OnScanFinished(const std::string& path) {
    Collect(path);
    auto task = std::make_unique<CNetworkFolderLauncher>(producedFiles_, record_->GetFileName(),
                                                         record_->GetSaveFolder(), OpenFolderOption());
    if (queue_) queue_->Add(std::move(task));
}

// ---- the class table ---------------------------------------------------------------------

std::unique_ptr<core::ScanProcesser> CreateProcesser(const core::ScanRequest& request, IF_OperationCollector* queue) {
    const int origin = request.origin;
    switch (request.destination) {
        case core::kDestApplication2:
            if (origin == core::kOriginNetworkPush)
                return std::make_unique<NetPushScanAppHandler>("Application2", queue);
            return std::make_unique<AppHandler>("Application2");
        case core::kDestApplication1:
            if (origin == core::kOriginButton) return std::make_unique<AppHandler>("Application1");
            return std::make_unique<NetPushScanAppHandler>("Application1", queue);
        case core::kDestFolder:
            if (origin == core::kOriginButton) return std::make_unique<FolderHandler>();
            return std::make_unique<NetPushFolderHandler>(queue);
        case core::kDestPcFax: return std::make_unique<FaxHandler>();
        default: return nullptr;
    }
}

} // namespace delivery
