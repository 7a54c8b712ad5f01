#include "delivery/LaunchTasks.h"

#include <stdexcept>

#include "core/Texts.h"
#include "output/FileNaming.h"
#include "platform/Desktop.h"
#include "platform/FileSystem.h"
#include "platform/Services.h"

namespace delivery {

int RunApplication(const std::string& applicationPath, const std::string& fileText, const std::string& workingFolder,
                   bool reportFailure) {
    if (applicationPath.empty() || fileText.empty() || workingFolder.empty()) return 0;
    // The file is passed as one argument, so no quoting is needed for names with blanks.
    if (platform::Desktop().StartProgram(applicationPath, {fileText}, workingFolder)) return 1;
    if (reportFailure)
        core::ShowMessage(core::LoadMessageText(core::MessageNumber::FileNotOpened), core::kMbOk | core::kMbIconStop);
    return 0;
}

bool ShowInExplorer(const std::string& path) { return platform::Desktop().ShowInFileManager(path); }

int CAppLauncher::Execute() { return RunApplication(applicationPath_, argumentText_, workingFolder_, true); }

int CFolderLauncher::Execute() { return ShowInExplorer(selectPath_) ? 1 : 0; }

namespace {

// The file type with its dot (".PDF"); empty when the file name has none.
std::string DottedExtensionOf(const std::string& path) {
    const std::string extension = platform::ExtensionOf(path);
    return extension.empty() ? extension : "." + extension;
}

void DeleteAll(const std::vector<std::string>& files) {
    for (const auto& f : files) platform::FileSystem().Remove(f);
}

} // namespace

std::vector<std::string> CopyIntoSeries(const std::vector<std::string>& files, const std::string& folder,
                                        const std::string& baseName, const AfterCopy& afterCopy) {
    std::vector<std::string> names;
    bool seriesFull = false;
    auto& fs = platform::FileSystem();
    for (const auto& file : files) {
        if (!seriesFull) {
            try {
                std::string newName = output::MakeSequencedFileName(folder, baseName, DottedExtensionOf(file));
                names.push_back(newName);
                bool ok = fs.CopyNoOverwrite(file, newName);
                if (afterCopy) afterCopy(newName, ok);
            } catch (const std::range_error&) {
                seriesFull = true;
            }
        }
        fs.Remove(file);
    }
    return names;
}

int CNetworkAppLauncher::Execute() {
    // Each copy is handed to the application before the next file is copied.
    CopyIntoSeries(receivedFiles_, workingFolder_, argumentText_, [this](const std::string& newName, bool copied) {
        if (copied) RunApplication(applicationPath_, newName, workingFolder_, false);
    });
    return 1;
}

int CNetworkAppLauncher::Discard() {
    DeleteAll(receivedFiles_);
    return 1;
}

int CNetworkFolderLauncher::Execute() {
    auto names = CopyIntoSeries(receivedFiles_, destinationFolder_, baseName_);
    if (openAfterCopy_ && !names.empty()) ShowInExplorer(names.back());
    return 1;
}

int CNetworkFolderLauncher::Discard() {
    DeleteAll(receivedFiles_);
    return 1;
}

void LauncherTaskCollector::Add(std::unique_ptr<IF_Operation> task) {
    if (!task) return;
    {
        std::lock_guard<std::mutex> guard(lock_);
        tasks_.push_back(std::move(task));
    }
    newWork_.store(true);
}

std::unique_ptr<IF_Operation> LauncherTaskCollector::Take() {
    std::lock_guard<std::mutex> guard(lock_);
    if (tasks_.empty()) return nullptr;
    auto task = std::move(tasks_.front());
    tasks_.pop_front();
    return task;
}

size_t LauncherTaskCollector::Size() const {
    std::lock_guard<std::mutex> guard(lock_);
    return tasks_.size();
}

} // namespace delivery
