#pragma once
// The SANE scanning control (internal; callers use SaneDynamictwain.h).
//
// Ownership and threads: the control lives on its creating ("UI") thread. The device
// (SaneDevice) is used only inside tasks on the SANE worker thread. The worker reports
// an acquisition's events through the EventGate, which queues them to `receiver_` (a
// QObject of the UI thread); Deliver() then hands them to the listener, after checking
// the acquisition id, so that late events of an ended acquisition are dropped. The
// control's own state is touched on the UI thread only; ScanInProgress is an atomic.

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "scancontrol/CapabilityContainer.h"
#include "scancontrol/Dynamictwain.h"
#include "scancontrol/SourceManager.h"
#include "scancontrol/sane/Acquisition.h"
#include "scancontrol/sane/OptionMapping.h"
#include "scancontrol/sane/OptionModel.h"

class QObject;

namespace scancontrol::sanectl {

class SaneDevice;
class SaneWorker;
class EventGate;

class SaneControl : public CDynamictwain {
public:
    // `sources` lists the devices for the source manager; the SANE listing when null.
    explicit SaneControl(std::shared_ptr<ISourceManager> sources = nullptr);
    ~SaneControl() override;

    // UI thread: one queued event of acquisition `id`.
    void Deliver(unsigned long id, TwainEvent event, long errorCode, std::shared_ptr<const PageDelivery> page);
    // SetSaneOption (SaneDynamictwain.h).
    bool SetOptionText(const std::string& name, const std::string& value);

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
    AcquisitionProgress Progress() const override;
    bool CancelAcquisition() override;
    void HoldEvents(bool hold) override;
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
    void EncodeArrivingPages(const codec::JpegOptions* options) override;
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
    // Which of the wanted settings to (re)apply, in the order source, image type,
    // resolution, frame: each planned against the options the previous one left.
    enum Step : unsigned { kSource = 1, kImageType = 2, kResolution = 4, kFrame = 8 };

    bool Fail(long code, const std::string& text = {});
    // A task on the SANE worker, waited for; a worker that does not answer becomes an
    // automation error (err::CheckDeviceOnline) recorded in ErrorCode.
    template <class F>
    auto Ask(F f) -> decltype(f());
    [[noreturn]] void Raise(long code, const std::string& text);
    void RequireIdleOpen(const char* what); // throws SequenceError
    long ApplyWanted(unsigned steps);       // 0 or the error code; refreshes options_
    void TakeStateFromOptions();
    void StartWorker(unsigned long id);
    void RunDriverDialog(unsigned long id);
    bool Acquiring() const { return acquisitionId_ != 0; }
    // The source manager's list, taken from `sourceManager_` when first needed after the
    // manager was opened.
    void LoadSources();

    // Capabilities (SaneCapabilities.cpp).
    bool Describe(long id, CapabilityInfo* out); // false: ErrorCode set
    bool ApplyCapability(long id, double value); // false: ErrorCode set
    bool ContainerValue(double* value);          // the value CapSet is asked to set

    std::shared_ptr<SaneWorker> worker_;
    std::shared_ptr<SaneDevice> device_;
    std::unique_ptr<QObject> receiver_;
    std::shared_ptr<EventGate> gate_;
    IDynamictwainEvents* listener_ = nullptr;

    std::shared_ptr<ISourceManager> sourceManager_;
    bool managerOpen_ = false;
    bool sourcesLoaded_ = false;
    std::vector<SourceEntry> sources_;
    int selected_ = -1;
    bool open_ = false;
    OptionSnapshot options_;       // as the device last reported them
    OptionSnapshot openedOptions_; // as they were when the source was opened (defaults)

    long errorCode_ = 0;
    std::string errorText_;

    long transferMode_ = twain::TWSX_NATIVE;
    bool disableAfterAcquire_ = false;
    bool showUI_ = false;
    bool encodeArriving_ = false; // pages are made into JPEG data as they arrive
    codec::JpegOptions arrivingJpeg_;
    bool driverUIOption_ = false;
    bool queryMode_ = false;

    // Wanted settings; taken afresh from the device's options when a source opens.
    short pixelType_ = twain::TWPT_RGB;
    bool halftone_ = false;
    double resolution_ = 0;
    bool resolutionSet_ = false;
    FrameInches frame_;
    bool frameSet_ = false;
    bool feederWanted_ = false;
    bool duplexWanted_ = false;
    // The settings the control keeps itself for the open source (capabilities without a
    // SANE option). They belong to one source session: opening a source starts from
    // these defaults, so that nothing one scan set steers the next.
    struct SessionSettings {
        short transferCount = -1;
        bool autoFeed = false;
        int orientation = twain::TWOR_ROT0;
        int flipRotation = twain::TWFR_BOOK;
        long imageFileFormat = twain::TWFF_BMP;
        long compression = twain::TWCP_NONE;
        double customCompression = 0;
        double scanMode = 1;
    };
    SessionSettings session_;

    std::string defaultPath_;
    long defaultFormat_ = twain::TWFF_BMP;
    bool pageSaved_ = false; // the current page was written by SaveImageToFile
    bool pageTaken_ = false; // the current page was handed over in memory (TakePageImage)

    std::atomic<long> scanInProgress_{0};
    unsigned long acquisitionId_ = 0;
    unsigned long lastAcquisitionId_ = 0;
    // The user cancelled the running acquisition: only its event 6 is still delivered.
    bool cancelling_ = false;
    std::shared_ptr<AcquisitionLink> link_;
    std::shared_ptr<const PageDelivery> page_; // from its "page transferred" to its "page ended"
    ImageInfo pageInfo_;                       // the last page's, until the acquisition ends

    // The capability container properties.
    long capId_ = 0;
    long capType_ = twain::TWON_ONEVALUE;
    long capReadId_ = -1; // the capability `cap_` was read for
    CapContainer cap_;
    double capValue_ = 0;
    double capCurrentValue_ = 0;
    long capCurrentIndex_ = 0;
};

} // namespace scancontrol::sanectl
