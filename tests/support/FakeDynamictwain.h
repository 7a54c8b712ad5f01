#pragma once
// FakeDynamictwain: a scripted scanning control for the logic tests of the callers
// (dispatch, acquisition, capability negotiation, source selection). No device, no
// threads, no Qt: a test sets the sources, their capability containers, the feeder
// state, the pages and the failures, then drives the caller and pumps the events with
// DeliverPendingEvents(). Every call on the control is recorded in Calls().
//
// Behaviour (close to the SANE control, deterministic):
// - OpenSourceManager fails when SetSourceManagerPresent(false); SourceCount and
//   SourceNameAt list the ProductName of every added source.
// - OpenSource opens the selected source (fails with the source's openError if set).
// - Properties with a matching capability (PixelType 0x0101, Resolution 0x1118/0x1119,
//   FeederEnabled 0x1002, FeederLoaded 0x1003, DuplexEnabled 0x1013, DuplexType 0x1012,
//   TransferCount 0x0001, AutoFeed 0x1007) read and write that capability's current value
//   when the source has it; otherwise a plain stored value.
// - CapGet copies the source's container into the control's container properties;
//   CapSet checks the value against it (enumeration: index in range; range: within
//   min..max on the step; one value: any value when settable) and stores it.
// - AcquireImage queues the events of the acquisition script (or, without a script, the
//   standard run: 3, then 2 and 1 per page of the source's page list up to
//   TransferCount (all pages for -1 with the feeder enabled, one otherwise), then 4;
//   no pages in the feeder: 5 with err::NoDocuments). Nothing is delivered until the test
//   calls DeliverPendingEvents().
// - SaveImageToFile writes the current page with the control's real image writers
//   (unless SetWriteFiles(false)), and records every call.

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "scancontrol/CapabilityContainer.h"
#include "scancontrol/Dynamictwain.h"
#include "scancontrol/PageImage.h"
#include "scancontrol/SourceManager.h"

namespace scancontrol {

struct FakeSource {
    SourceEntry identity;                        // productName is the source name
    std::map<long, CapabilityInfo> capabilities; // by capability id
    long duplexType = twain::TWDX_NONE;
    bool hasFeeder = true;
    bool feederLoaded = false;    // used when there is no 0x1003 capability
    std::vector<PageImage> pages; // the pages the source delivers, in order
    long openError = 0;           // nonzero: OpenSource fails with it
};

// One step of a scripted acquisition.
struct FakeStep {
    TwainEvent event = TwainEvent::AcquisitionEnded;
    std::optional<PageImage> page; // with PageTransferred: the page that becomes current
    long errorCode = 0;            // with TransferFailed: the ErrorCode set when delivered
};

// A failure injected into one named call ("OpenSource", "CapGet", "FeederLoaded",
// "PixelType=", "AcquireImage", ...; setters carry a trailing '=').
struct FakeFailure {
    long errorCode = err::Failure;
    bool raise = false; // true: throw AutomationError; false: return false / neutral
    int times = -1;     // how many calls fail; -1 every call
};

class FakeDynamictwain : public CDynamictwain, public ISourceManager {
public:
    FakeDynamictwain();
    ~FakeDynamictwain() override;

    // ---- Script ----
    void AddSource(FakeSource source);
    FakeSource& Source(const std::string& productName); // throws std::out_of_range
    void SetSourceManagerPresent(bool present);
    void SetAcquisitionScript(std::vector<FakeStep> steps); // used by the next AcquireImage only
    void FailOn(const std::string& call, FakeFailure failure);
    void ClearFailures();
    void SetWriteFiles(bool write);
    // Hands the current page over in memory (TakePageImage); off by default, as for a
    // control that only writes files.
    void SetHandsOverPages(bool on) { handsOverPages_ = on; }

    // Delivers queued events one by one to the listener (handlers may call back and even
    // queue more); returns how many were delivered.
    int DeliverPendingEvents();
    size_t PendingEventCount() const { return pending_.size(); }

    // ---- Observation ----
    const std::vector<std::string>& Calls() const { return calls_; }
    void ClearCalls() { calls_.clear(); }
    int CallCount(const std::string& call) const;
    struct SavedFile {
        std::string path;
        long format;
        bool ok;
    };
    const std::vector<SavedFile>& SavedFiles() const { return saved_; }
    std::vector<TwainEvent> DeliveredEvents() const { return delivered_; }
    bool SourceOpen() const { return sourceOpen_; }
    bool SourceManagerOpen() const { return managerOpen_; }
    std::string SelectedSourceName() const;
    // The frame given to the last SetImageLayout.
    struct Frame {
        float left, top, right, bottom;
    };
    Frame LastLayout() const { return layout_; }

    // ---- ISourceManager ----
    SourceListing EnumerateSources() override;

    // ---- CDynamictwain ----
    void SetEventListener(IDynamictwainEvents* listener) override;
    bool OpenSourceManager() override;
    bool CloseSourceManager() override;
    short SourceCount() override;
    std::string SourceNameAt(short index) override;
    bool SelectSourceByIndex(short index) override;
    bool OpenSource() override;
    bool CloseSource() override;
    bool DisableSource() override;
    bool AcquireImage() override;
    bool DeviceReady() override;
    long ScanInProgress() const override;
    long TransferMode() override;
    void TransferMode(long mode) override;
    bool DisableAfterAcquire() override;
    void DisableAfterAcquire(bool value) override;
    bool ShowUI() override;
    void ShowUI(bool value) override;
    bool DriverUIOption() override;
    void DriverUIOption(bool value) override;
    short PixelType() override;
    void PixelType(short type) override;
    short BitDepth() override;
    void BitDepth(short depth) override;
    float Resolution() override;
    void Resolution(float dpi) override;
    bool SetImageLayout(float left, float top, float right, float bottom) override;
    bool FeederEnabled() override;
    void FeederEnabled(bool value) override;
    bool DuplexEnabled() override;
    void DuplexEnabled(bool value) override;
    bool FeederLoaded() override;
    bool QueryMode() override;
    void QueryMode(bool value) override;
    long DuplexType() override;
    bool AutoFeed() override;
    void AutoFeed(bool value) override;
    short TransferCount() override;
    void TransferCount(short count) override;
    bool SaveImageToFile(const std::string& path, long format) override;
    std::shared_ptr<const PageImage> TakePageImage() override;
    long Capability() override;
    void Capability(long id) override;
    long CapType() override;
    void CapType(long type) override;
    bool CapGet() override;
    bool CapSet() override;
    double CapValue() override;
    void CapValue(double value) override;
    double CapMinValue() override;
    double CapMaxValue() override;
    double CapStepSize() override;
    double CapDefaultValue() override;
    double CapCurrentValue() override;
    void CapCurrentValue(double value) override;
    long CapCurrentIndex() override;
    void CapCurrentIndex(long index) override;
    long CapDefaultIndex() override;
    double CapItemAt(long index) override;
    long CapNumItems() override;
    long ErrorCode() override;
    std::string ErrorString() override;
    float XResolution() override;
    float YResolution() override;
    long ImageWidth() override;
    long ImageLength() override;
    short BitsPerPixel() override;
    long ImagePixelType() override;
    float FrameLeft() override;
    float FrameTop() override;
    float FrameRight() override;
    float FrameBottom() override;
    long DocumentNumber() override;
    long PageNumber() override;
    long FrameNumber() override;
    ImageInfo CurrentImageInfo() override;

private:
    // Records the call; applies an injected failure (returns true when the call must fail
    // quietly, throws when it must raise).
    bool Enter(const std::string& call);
    bool Fail(long code);
    FakeSource* Selected();
    FakeSource* Opened();
    CapabilityInfo* SourceCap(long id);
    double PropertyValue(long capId, double stored);
    void SetPropertyValue(long capId, double value, double& stored);

    struct Queued {
        unsigned long acquisition;
        FakeStep step;
    };

    std::vector<FakeSource> sources_;
    bool managerPresent_ = true;
    bool managerOpen_ = false;
    int selected_ = -1;
    bool sourceOpen_ = false;
    IDynamictwainEvents* listener_ = nullptr;
    std::map<std::string, FakeFailure> failures_;
    std::vector<std::string> calls_;
    std::vector<SavedFile> saved_;
    std::vector<TwainEvent> delivered_;
    std::optional<std::vector<FakeStep>> script_;
    std::deque<Queued> pending_;
    unsigned long acquisition_ = 0; // id of the running acquisition, 0 none
    unsigned long lastId_ = 0;
    bool writeFiles_ = true;

    long errorCode_ = 0;
    long transferMode_ = twain::TWSX_NATIVE;
    bool disableAfterAcquire_ = false;
    bool showUI_ = false;
    bool driverUIOption_ = false;
    double pixelType_ = twain::TWPT_RGB;
    short bitDepth_ = 24;
    double resolution_ = 200;
    Frame layout_{0, 0, 0, 0};
    double feederEnabled_ = 0;
    double duplexEnabled_ = 0;
    bool queryMode_ = false;
    double autoFeed_ = 0;
    double transferCount_ = -1;

    long capId_ = 0;
    long capReadId_ = -1; // the capability `cap_` was read for by CapGet
    CapContainer cap_;
    long capType_ = twain::TWON_ONEVALUE;
    double capValue_ = 0;
    double capCurrentValue_ = 0;
    long capCurrentIndex_ = 0;

    std::optional<PageImage> page_;
    bool handsOverPages_ = false;
    ImageInfo info_;
    long pageCounter_ = 0;
    std::string defaultPath_;
    long defaultFormat_ = twain::TWFF_BMP;
};

} // namespace scancontrol
