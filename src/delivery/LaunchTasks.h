#pragma once
// Launch tasks: deferred delivery actions — start an application on scanned files, or
// show a file in the file manager — and the queue through which scans started from the
// device hand them to the worker that asks the user first.

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace delivery {

class IF_Operation {
public:
    virtual int Execute() = 0;          // 1 when done
    virtual int Discard() { return 1; } // the network variants delete their files
    virtual ~IF_Operation() = default;
};

// Starts the application with the file as its one argument in the working folder.
// Returns 1 when started. Empty inputs give 0 without a message; a failed start shows
// message 119 when reportFailure is set.
int RunApplication(const std::string& applicationPath, const std::string& fileText, const std::string& workingFolder,
                   bool reportFailure);
// Opens the file manager on the file's folder with the file selected.
bool ShowInExplorer(const std::string& path);

class CAppLauncher : public IF_Operation {
public:
    CAppLauncher(std::string applicationPath, std::string argumentText, std::string workingFolder)
        : applicationPath_(std::move(applicationPath)), argumentText_(std::move(argumentText)),
          workingFolder_(std::move(workingFolder)) {}
    int Execute() override;
protected:
    std::string applicationPath_;
    std::string argumentText_;  // the file; the base name in the network variant
    std::string workingFolder_; // the destination folder in the network variant
};

// Copies each received file into the destination folder under the next numbered name
// of the series (never overwriting) and starts the application on that copy before the
// next file is copied, without reporting failures; the received file is deleted
// whatever happened.
class CNetworkAppLauncher : public CAppLauncher {
public:
    CNetworkAppLauncher(std::vector<std::string> receivedFiles, std::string applicationPath, std::string baseName,
                        std::string destinationFolder)
        : CAppLauncher(std::move(applicationPath), std::move(baseName), std::move(destinationFolder)),
          receivedFiles_(std::move(receivedFiles)) {}
    int Execute() override;
    int Discard() override;
    const std::vector<std::string>& ReceivedFiles() const { return receivedFiles_; }
private:
    std::vector<std::string> receivedFiles_;
};

class CFolderLauncher : public IF_Operation {
public:
    explicit CFolderLauncher(std::string selectPath) : selectPath_(std::move(selectPath)) {}
    int Execute() override;
protected:
    std::string selectPath_;
};

// Copies each received file into the destination folder under the next numbered name,
// deletes the received file, and shows the last name formed when asked to.
class CNetworkFolderLauncher : public CFolderLauncher {
public:
    CNetworkFolderLauncher(std::vector<std::string> receivedFiles, std::string baseName, std::string destinationFolder,
                           bool openAfterCopy)
        : CFolderLauncher(std::string()), receivedFiles_(std::move(receivedFiles)), baseName_(std::move(baseName)),
          destinationFolder_(std::move(destinationFolder)), openAfterCopy_(openAfterCopy) {}
    int Execute() override;
    int Discard() override;
    const std::vector<std::string>& ReceivedFiles() const { return receivedFiles_; }
private:
    std::vector<std::string> receivedFiles_;
    std::string baseName_;
    std::string destinationFolder_;
    bool openAfterCopy_;
};

// What a network task does with one file as soon as it has been copied (the name formed
// and whether the copy succeeded), before the next file is touched.
using AfterCopy = std::function<void(const std::string& newName, bool copied)>;

// Copies files into a folder under numbered names, one file at a time: name it, copy it,
// hand it to afterCopy, delete the received file, then the next. The shared step of both
// network tasks. Returns the names formed (one per file until the series is full; a
// failed copy still forms its name). Every received file is deleted.
std::vector<std::string> CopyIntoSeries(const std::vector<std::string>& files, const std::string& folder,
                                        const std::string& baseName, const AfterCopy& afterCopy = nullptr);

class IF_OperationCollector {
public:
    virtual void Add(std::unique_ptr<IF_Operation> task) = 0;
    virtual std::unique_ptr<IF_Operation> Take() = 0;
    virtual bool IsStopRequested() const = 0;
    virtual bool TakeNewWork() = 0;
    virtual ~IF_OperationCollector() = default;
};

class LauncherTaskCollector : public IF_OperationCollector {
public:
    void Add(std::unique_ptr<IF_Operation> task) override;
    std::unique_ptr<IF_Operation> Take() override;
    bool IsStopRequested() const override { return stopRequested_.load(); }
    bool TakeNewWork() override { return newWork_.exchange(false); }
    void RequestStop() { stopRequested_.store(true); }
    size_t Size() const;
private:
    mutable std::mutex lock_;
    std::deque<std::unique_ptr<IF_Operation>> tasks_;
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> newWork_{false};
};

} // namespace delivery
