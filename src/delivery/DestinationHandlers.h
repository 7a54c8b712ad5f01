#pragma once
// The processors of the destinations: each supplies its destination's settings for the
// scan, may refuse the scan before the first page, and delivers the finished files —
// at once for scans started from the window, through a queued launch task for scans
// started from the device.

#include <memory>
#include <string>
#include <vector>

#include "core/ScanJob.h"
#include "delivery/FaxPrinting.h"
#include "settings/Records.h"

namespace delivery {

class IF_OperationCollector;
class DrawnPdf;

// The part every destination shares: its own record, loaded for each scan.
class DestinationProcesser : public core::ScanProcesser {
public:
    void ResetSettings() override { record_->Clear(); }
    bool LoadSettings() override { return record_->Load(); }
    bool IsMultiPage() const override;
    void SuppressDriverDialog() override { record_->SetShowDriver(false); }
    bool Start(core::IAcquisition& acquisition) override { return acquisition.Run(*record_); }

    // All four records as stored now.
    settings::DestinationSettings GetSettings() const;
    const settings::CommonSetting& Record() const { return *record_; }

protected:
    explicit DestinationProcesser(std::shared_ptr<settings::CommonSetting> record) : record_(std::move(record)) {}
    std::shared_ptr<settings::CommonSetting> record_;
};

// True when the file type's name holds "Multi".
bool IsMultiPageType(const std::string& saveType);

class AppHandler : public DestinationProcesser {
public:
    explicit AppHandler(std::string destinationName);
    // Refuses (message 148) when the destination names no application of the list.
    bool RefuseScan() override;
    void OnPageSaved(const std::string& path) override;
    void OnScanFinished(const std::string& path) override;
    void ResetSettings() override;
    bool LoadSettings() override;
    // The name of the destination's application.
    std::string Recipient() override { return LookUpApplication().GetAppName(); }

    const std::string& DestinationName() const { return destinationName_; }
    const std::string& DisplayPath() const { return displayPath_; }

protected:
    // The stored application record of this destination, or its defaults when it cannot
    // be read; refreshes applicationPath_.
    settings::AppElements LookUpApplication();
    std::string applicationPath_;

private:
    void Deliver(const std::string& path);
    std::string destinationName_;
    std::string displayPath_;
};

// Collects the files of a scan started from the device and queues one task that copies
// them into the destination folder and starts the application on each copy.
class NetPushScanAppHandler : public AppHandler {
public:
    NetPushScanAppHandler(std::string destinationName, IF_OperationCollector* queue)
        : AppHandler(std::move(destinationName)), queue_(queue) {}
    void OnPageSaved(const std::string& path) override { Collect(path); }
    void OnScanFinished(const std::string& path) override;
    const std::vector<std::string>& ProducedFiles() const { return producedFiles_; }
private:
    void Collect(const std::string& path);
    std::vector<std::string> producedFiles_;
    IF_OperationCollector* queue_;
};

class FolderHandler : public DestinationProcesser {
public:
    FolderHandler();
    bool RefuseScan() override { return false; }
    void OnPageSaved(const std::string&) override {}
    // Shows the file in the file manager when "Openfileoption" is exactly "true".
    void OnScanFinished(const std::string& path) override;
protected:
    static bool OpenFolderOption();
};

class NetPushFolderHandler : public FolderHandler {
public:
    explicit NetPushFolderHandler(IF_OperationCollector* queue) : queue_(queue) {}
    void OnPageSaved(const std::string& path) override { Collect(path); }
    void OnScanFinished(const std::string& path) override;
    const std::vector<std::string>& ProducedFiles() const { return producedFiles_; }
private:
    void Collect(const std::string& path);
    std::vector<std::string> producedFiles_;
    IF_OperationCollector* queue_;
};

// The fax destination prints the scanned pages to the print system's fax queue as one
// job, one printed page per scanned page in scan order, each page printed as it is
// saved; the fax software behind the queue asks for the recipient. A page that fails
// after the job started withdraws the job, so nothing half-sent reaches a recipient.
class FaxHandler : public DestinationProcesser {
public:
    FaxHandler();
    ~FaxHandler() override; // withdraws a job still open and releases the queue
    // Opens the fax job; on failure shows message 116 and refuses with the fax error.
    bool RefuseScan() override;
    void OnPageSaved(const std::string& path) override;
    void OnScanFinished(const std::string& path) override;

    // Connects to the print server, finds the fax queue, reads its printable area and
    // starts the job.
    bool OpenFaxJob();
    // Finds the first print queue of the fax kind; false (lastError set) when none.
    bool FindFaxPrinter();
    // Prints a bitmap file as the job's next page, fitted to the printable area at its
    // top-left corner. A failure withdraws the job.
    bool PrintPage(const std::string& path);
    // Ends the job (it goes to the fax software) and releases the queue.
    bool CloseFaxJob();

    int LastError() const { return lastError_; }
    const std::string& FaxPrinterName() const { return faxPrinterName_; }
    int PlatformClass() const { return platformClass_; }
    PixelSize PrintableSize() const { return printable_.pixels; }
    bool JobOpen() const { return jobOpen_; }

private:
    bool FailPage(int error);
    void AbandonJob();

    std::unique_ptr<FaxPrintSession> printer_; // the connection to the fax queue
    std::unique_ptr<DrawnPdf> document_;       // the job's document while the job is open
    std::string faxPrinterName_;
    int lastError_ = 0;
    int platformClass_ = kFaxPlatformClassUnknown;
    FaxPageGeometry geometry_;
    PrintableArea printable_;
    bool jobOpen_ = false;
};

// The processor for a request, by destination and origin; none for the Email
// destination and unknown indexes. The push variants get the task queue.
std::unique_ptr<core::ScanProcesser> CreateProcesser(const core::ScanRequest& request, IF_OperationCollector* queue);

} // namespace delivery
