#pragma once
// One scan job as the dispatch, the acquisition and the destinations see it: the
// request, the acquisition's side and the destination's processor.

#include <functional>
#include <memory>
#include <string>

#include "core/ScanState.h"

namespace settings {
class CommonSetting;
} // namespace settings
namespace scancontrol {
struct ImageInfo;
} // namespace scancontrol

namespace core {

// Destination indexes of a request.
enum Destination : int {
    kDestApplication2 = 0,
    kDestApplication1 = 1,
    kDestFolder = 2,
    kDestEmail = 3,
    kDestPcFax = 4,
};

struct ScanRequest {
    int origin = kOriginButton; // RequestOrigin
    int destination = kDestApplication1;
    int reserved = 0;
    std::string requestedSource; // the source the request is for
    std::string extraText;       // network push: carried, not interpreted
    std::string deviceKey;       // network push: names the push semaphore
    std::string activeSource;    // the source used; filled in on acceptance
    // Nobody watches this scan at the window (scans started at the device over the
    // network): no progress indicator is shown for it.
    bool quiet = false;

    void Reset() { *this = ScanRequest(); }
    // A request from a window button for the current source.
    static ScanRequest ForButton(int destination, const std::string& currentSource);
};

// The name of the semaphore that tells the scanner driver a push scan is being served
// for its device; empty for button requests.
std::string PushSemaphoreName(const ScanRequest& request, const std::string& currentSource);

// How far the text recognition of the open document has come: pages handed to it, and
// of them the pages done with.
struct RecognitionStep {
    int done = 0;
    int pages = 0;
    bool Pending() const { return done < pages; }
};

// A one-page document handed over to be finished aside, as it ended.
struct DocumentAside {
    enum class End {
        Published, // complete under its final name, `path`
        Failed,    // not written (TakeFailureMessage says why)
        Dropped,   // stopped by the user: nothing of it is kept
    };
    End end = End::Dropped;
    std::string path;
};

// What the dispatch needs of the acquisition object for one scan.
class IAcquisition {
public:
    virtual ~IAcquisition() = default;
    // Opens the current source, applies the record and starts the acquisition; true when
    // events will follow.
    virtual bool Run(const settings::CommonSetting& record) = 0;
    // Opens the output for a transferred page and has the control write the page; false
    // when the page cannot be taken (the scan then ends).
    virtual bool ProcessPage(bool newFile, const scancontrol::ImageInfo& info, int origin, int destination) = 0;
    // Adds the page just written to the open document: 0 success, 3 document full (keep
    // it and stop scanning), other values failure.
    virtual int AddPage() = 0;
    virtual void FinishDocument() = 0;
    virtual void AbortDocument() = 0;
    virtual std::string DocumentPath() const = 0;
    // What the user is to be told about the last failure of ProcessPage, AddPage or
    // FinishDocument (a full disk, a refused folder), once; empty when there is nothing
    // to add (the user has been told already, or a failed ProcessPage means the series
    // of names is full).
    virtual std::string TakeFailureMessage() { return {}; }

    // Work that may run away from the user-interface thread. True when the AddPage for
    // the page ProcessPage just took, and then AbortDocument or FinishDocument, may run
    // on another thread: the page is held in memory and the control sends no further page
    // until ReleasePage. The calls never overlap another call on this object.
    virtual bool AddsPageInBackground() const { return false; }
    // True when FinishDocument may run on another thread (it may wait for recognition).
    virtual bool FinishesInBackground() const { return false; }
    // The page taken by ProcessPage is done with (user-interface thread).
    virtual void ReleasePage() {}
    // Recognition of the open document (any thread), and a request to stop it: the
    // document is then not kept. False when nothing is being recognised.
    virtual RecognitionStep Recognition() const { return {}; }
    virtual bool CancelRecognition() { return false; }

    // One-page files whose text is recognised are finished aside, so that the scan goes
    // on while earlier pages are still recognised. True when the open document is to be
    // handed over with HandOverDocument (where FinishDocument would run) once its page is
    // added; the documents handed over are finished one after another, in their order.
    virtual bool FinishesAside() const { return false; }
    virtual void HandOverDocument() {}
    // The oldest document handed over, once it is finished (user-interface thread, not
    // while another call runs): true and how it ended; DocumentPath() then names a
    // published one. False while it is still being finished, or when none waits.
    virtual bool TakeDocumentAside(DocumentAside&) { return false; }
    // Documents handed over and not yet taken (any thread).
    virtual int DocumentsAside() const { return 0; }
    // Blocks until every document handed over is finished.
    virtual void WaitForDocumentsAside() {}
    // Stops the documents handed over that are not finished yet: they are dropped and
    // leave nothing (any thread). False when none was.
    virtual bool DropDocumentsAside() { return false; }
    // Called on another thread whenever a document handed over is finished; an empty
    // function stops the calls (none runs once this returns).
    virtual void SetAsideListener(std::function<void()>) {}
};

// A destination's processor: supplies its settings for the scan, may refuse the scan
// before the first page, and delivers finished files.
class ScanProcesser {
public:
    virtual ~ScanProcesser() = default;
    // True when the destination cannot take this scan (the user has been told why).
    virtual bool RefuseScan() = 0;
    virtual void OnPageSaved(const std::string& path) = 0;    // one-page file types
    virtual void OnScanFinished(const std::string& path) = 0; // end of the acquisition
    virtual void ResetSettings() = 0;
    virtual bool LoadSettings() = 0;

    bool Prepare() {
        ResetSettings();
        return LoadSettings();
    }
    // The destination's file type holds many pages per file.
    virtual bool IsMultiPage() const = 0;
    // Never show the driver's dialog for this scan (unattended network pushes).
    virtual void SuppressDriverDialog() = 0;
    // Starts the acquisition with the processor's own record.
    virtual bool Start(IAcquisition& acquisition) = 0;
    // The application the files are handed to; empty when they only go to a folder.
    virtual std::string Recipient() { return {}; }
};

using ProcesserFactory = std::function<std::unique_ptr<ScanProcesser>(const ScanRequest&)>;

} // namespace core
