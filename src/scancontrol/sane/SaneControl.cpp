// The SANE scanning control: sources, settings, acquisition and events. Capabilities
// are in SaneCapabilities.cpp. See SaneControl.h for the thread contract.
#include "scancontrol/sane/SaneControl.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QSocketNotifier>

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <utility>

#include "scancontrol/ImageFileWriter.h"
#include "scancontrol/SaneDynamictwain.h"
#include "scancontrol/sane/SaneDevice.h"
#include "scancontrol/sane/RememberedOptions.h"
#include "scancontrol/sane/SaneOptionsDialog.h"
#include "scancontrol/sane/SaneWorker.h"

namespace scancontrol::sanectl {

// The worker's reports on their way to the UI thread. The worker appends to a queue
// under a mutex and wakes the UI thread through an eventfd; a QSocketNotifier on the
// UI thread drains the queue in order. Events and pages thus cross threads only under
// our own lock (which ThreadSanitizer sees), never through Qt's cross-thread posting.
// Close() (the control's destructor) stops delivery; the gate itself lives on while
// a worker task still holds it.
class EventGate : public AcquisitionSink {
public:
    EventGate(SaneControl* control, QObject* receiver) : control_(control), receiver_(receiver) {
        fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    }

    // UI thread, before an acquisition: the notifier needs the thread's Qt event
    // dispatcher, which exists once the QCoreApplication does (the control itself may be
    // created earlier). False when events cannot be delivered.
    bool Arm() {
        if (notifier_) return true;
        if (fd_ < 0 || !QCoreApplication::instance()) return false;
        notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, receiver_);
        QObject::connect(notifier_, &QSocketNotifier::activated, receiver_, [this] { Drain(); });
        return true;
    }
    ~EventGate() override {
        if (fd_ >= 0) ::close(fd_);
    }
    EventGate(const EventGate&) = delete;
    EventGate& operator=(const EventGate&) = delete;

    // UI thread. The notifier goes with the control's receiver object.
    void Close() {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
        queue_.clear();
        if (notifier_) notifier_->setEnabled(false); // deleted with the control's receiver
        notifier_ = nullptr;
    }

    // UI thread. While held, events stay queued in their order (and the control's own
    // state stays as the listener last saw it); released, they are delivered from the
    // event loop.
    void Hold(bool hold) {
        held_ = hold;
        if (hold) return;
        std::lock_guard<std::mutex> lock(mutex_);
        if (closed_ || fd_ < 0 || queue_.empty()) return;
        const uint64_t one = 1;
        ssize_t written = ::write(fd_, &one, sizeof one);
        (void)written;
    }

    // Worker thread.
    void Post(unsigned long id, TwainEvent event, long errorCode, std::shared_ptr<const PageDelivery> page) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closed_ || fd_ < 0) return;
        queue_.push_back({id, event, errorCode, std::move(page)});
        const uint64_t one = 1;
        ssize_t written = ::write(fd_, &one, sizeof one);
        (void)written; // the counter cannot overflow at one write per event
    }

private:
    struct Pending {
        unsigned long id;
        TwainEvent event;
        long errorCode;
        std::shared_ptr<const PageDelivery> page;
    };

    // UI thread: delivers everything queued, one at a time and in order. A listener may
    // run a nested event loop; a nested Drain then continues with the next event.
    void Drain() {
        uint64_t count = 0;
        ssize_t got = ::read(fd_, &count, sizeof count);
        (void)got;
        for (;;) {
            Pending p;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (held_ || closed_ || queue_.empty()) return;
                p = std::move(queue_.front());
                queue_.pop_front();
            }
            control_->Deliver(p.id, p.event, p.errorCode, std::move(p.page));
        }
    }

    std::mutex mutex_;
    SaneControl* control_;
    QObject* receiver_;
    int fd_ = -1;
    QSocketNotifier* notifier_ = nullptr; // UI thread only
    bool closed_ = false;
    bool held_ = false; // UI thread only
    std::deque<Pending> queue_;
};

namespace {

const char* DefaultText(long code) {
    switch (code) {
        case err::None: return "";
        case err::OutOfMemory: return "out of memory";
        case err::BadCapability: return "unknown capability";
        case err::BadProtocol: return "operation not supported by the device";
        case err::BadValue: return "value not accepted";
        case err::SequenceError: return "not allowed in the current state";
        case err::BadDestination: return "no such source";
        case err::CapUnsupported: return "capability not supported by the source";
        case err::CapBadOperation: return "operation not supported on this capability";
        case err::CapSequenceError: return "capability not available in the current settings";
        case err::Denied: return "device busy or access denied";
        case err::DeviceNotFound: return "device not found";
        case err::NoDocuments: return "no documents in the feeder";
        case err::PaperJam: return "paper jammed";
        case err::DoubleFeed: return "double feed";
        case err::FileWriteError: return "file could not be written";
        case err::CheckDeviceOnline: return "input/output error: check the device";
        case err::CoverOpen: return "cover open";
        case err::NoSourceManager: return "SANE could not be initialised";
        case err::NoImage: return "no page image";
        case err::Unsupported: return "not supported";
        default: return "failure";
    }
}

} // namespace

SaneControl::SaneControl(std::shared_ptr<ISourceManager> sources)
    : worker_(SaneWorker::Instance()), device_(std::make_shared<SaneDevice>()), receiver_(std::make_unique<QObject>()),
      sourceManager_(sources ? std::move(sources) : std::shared_ptr<ISourceManager>(CreateSaneSourceManager())) {
    gate_ = std::make_shared<EventGate>(this, receiver_.get());
}

SaneControl::~SaneControl() {
    DisableSource();
    gate_->Close();
    // The device is closed on the worker, after anything still queued for it.
    std::shared_ptr<SaneDevice> device = std::move(device_);
    worker_->Post([device]() { device->Close(); });
}

bool SaneControl::Fail(long code, const std::string& text) {
    errorCode_ = code;
    errorText_ = text.empty() ? DefaultText(code) : text;
    return false;
}

void SaneControl::Raise(long code, const std::string& text) {
    Fail(code, text);
    throw AutomationError(code, errorText_);
}

template <class F>
auto SaneControl::Ask(F f) -> decltype(f()) {
    try {
        return worker_->Call(std::move(f));
    } catch (const AutomationError& e) {
        Raise(e.Code(), e.what());
    }
}

void SaneControl::RequireIdleOpen(const char* what) {
    if (!open_) Raise(err::SequenceError, std::string(what) + ": no source is open");
    if (Acquiring()) Raise(err::SequenceError, std::string(what) + ": an acquisition is running");
}

// ---- Events ----

void SaneControl::SetEventListener(IDynamictwainEvents* listener) { listener_ = listener; }

void SaneControl::HoldEvents(bool hold) { gate_->Hold(hold); }

void SaneControl::Deliver(unsigned long id, TwainEvent event, long errorCode,
                          std::shared_ptr<const PageDelivery> page) {
    if (id == 0 || id != acquisitionId_) return; // a late event of an ended acquisition
    // After the user's cancel nothing of the acquisition reaches the listener but its end.
    if (cancelling_ && event != TwainEvent::TransferCancelled) return;
    switch (event) {
        case TwainEvent::PageTransferred:
            page_ = std::move(page);
            pageInfo_ = page_ ? page_->info : ImageInfo{};
            pageSaved_ = false;
            pageTaken_ = false;
            break;
        case TwainEvent::AcquisitionEnded:
        case TwainEvent::TransferFailed:
        case TwainEvent::TransferCancelled:
            if (event == TwainEvent::TransferFailed) Fail(errorCode);
            acquisitionId_ = 0;
            cancelling_ = false;
            link_.reset();
            page_.reset();
            pageInfo_ = {};
            scanInProgress_ = 0;
            break;
        default: break;
    }
    if (listener_) listener_->OnTwainEvent(event);
    // In file transfer mode a page the listener did not save itself goes to the default
    // target. Writing it only then spares every page a second full-size write.
    if (event == TwainEvent::PageTransferred && !pageSaved_ && page_ && transferMode_ == twain::TWSX_FILE &&
        !defaultPath_.empty()) {
        std::string why;
        if (!WriteImageFile(page_->image, defaultPath_, defaultFormat_, &why)) Fail(err::FileWriteError, why);
    }
    // The page has been used: the control lets it go, and the worker sends the next one
    // once its memory is free (a page handed over in memory: when its last handle goes).
    // Its information stays current until the next page.
    if (event == TwainEvent::PageEnded) page_.reset();
}

// ---- Source manager and sources ----

bool SaneControl::OpenSourceManager() {
    if (managerOpen_) return true;
    // The manager is there when SANE could be initialised. Listing the devices can take
    // seconds, so the list is asked for only when a caller needs it.
    SaneWorker* w = worker_.get();
    if (!Ask([w]() { return w->Initialised(); })) return Fail(err::NoSourceManager);
    managerOpen_ = true;
    sourcesLoaded_ = false;
    sources_.clear();
    return true;
}

void SaneControl::LoadSources() {
    if (!managerOpen_ || sourcesLoaded_) return;
    SourceListing listing = sourceManager_->EnumerateSources();
    sources_ = listing.status == 1 ? std::move(listing.sources) : std::vector<SourceEntry>();
    sourcesLoaded_ = true;
}

bool SaneControl::CloseSourceManager() {
    CloseSource();
    managerOpen_ = false;
    sourcesLoaded_ = false;
    sources_.clear();
    selected_ = -1;
    return true;
}

short SaneControl::SourceCount() {
    LoadSources();
    return managerOpen_ ? static_cast<short>(sources_.size()) : 0;
}

std::string SaneControl::SourceNameAt(short index) {
    LoadSources();
    if (!managerOpen_ || index < 0 || index >= static_cast<short>(sources_.size())) {
        Fail(err::BadDestination);
        return {};
    }
    return sources_[static_cast<size_t>(index)].productName;
}

bool SaneControl::SelectSourceByIndex(short index) {
    LoadSources();
    if (!managerOpen_ || index < 0 || index >= static_cast<short>(sources_.size())) return Fail(err::BadDestination);
    if (open_) return Fail(err::SequenceError, "a source is open");
    selected_ = index;
    return true;
}

bool SaneControl::OpenSource() {
    if (!managerOpen_ || selected_ < 0) return Fail(err::BadDestination);
    if (open_) return true;
    const std::string name = sources_[static_cast<size_t>(selected_)].productName;
    std::shared_ptr<SaneDevice> device = device_;
    std::pair<long, OptionSnapshot> r = Ask([device, name]() {
        OptionSnapshot s;
        long code = device->Open(name);
        if (code == 0) code = device->Snapshot(&s);
        if (code) device->Close(); // a device whose options cannot be read cannot be used
        return std::make_pair(code, std::move(s));
    });
    if (r.first) return Fail(r.first, "cannot open " + name + ": " + DefaultText(r.first));
    open_ = true;
    options_ = std::move(r.second);
    openedOptions_ = options_;
    session_ = {};
    TakeStateFromOptions();
    return true;
}

void SaneControl::TakeStateFromOptions() {
    pixelType_ = CurrentPixelType(options_);
    halftone_ = false;
    resolution_ = CurrentResolution(options_);
    resolutionSet_ = false;
    frame_ = CurrentFrame(options_);
    frameSet_ = false;
    feederWanted_ = FeederSelected(options_);
    duplexWanted_ = DuplexSelected(options_);
}

bool SaneControl::CloseSource() {
    DisableSource();
    if (open_) {
        std::shared_ptr<SaneDevice> device = device_;
        worker_->Post([device]() { device->Close(); });
    }
    open_ = false;
    options_ = {};
    openedOptions_ = {};
    session_ = {};
    page_.reset();
    pageInfo_ = {};
    return true;
}

bool SaneControl::DisableSource() {
    if (Acquiring()) {
        // The worker sees the request at its next read and ends with sane_cancel; no
        // further event of this acquisition reaches the listener.
        if (link_) link_->Cancel();
        link_.reset();
        acquisitionId_ = 0;
        cancelling_ = false;
        page_.reset();
        pageInfo_ = {};
        scanInProgress_ = 0;
    }
    return true;
}

bool SaneControl::DeviceReady() { return open_; }

long SaneControl::ScanInProgress() const { return scanInProgress_.load(); }

AcquisitionProgress SaneControl::Progress() const { return link_ ? link_->Progress() : AcquisitionProgress{}; }

bool SaneControl::CancelAcquisition() {
    if (!Acquiring()) return false;
    if (cancelling_) return true;
    // The worker stops at its next read and sends sane_cancel; the end reaches the
    // listener through the same queue as every event, after whatever is queued already
    // (which Deliver now drops).
    if (link_) link_->Cancel();
    cancelling_ = true;
    gate_->Post(acquisitionId_, TwainEvent::TransferCancelled, 0, nullptr);
    return true;
}

// ---- Acquisition ----

bool SaneControl::AcquireImage() {
    if (!open_) return Fail(err::SequenceError, "AcquireImage: no source is open");
    if (Acquiring()) return Fail(err::SequenceError, "AcquireImage: an acquisition is running");
    if (!gate_->Arm()) return Fail(err::Unsupported, "events need a Qt event loop (create the QCoreApplication first)");
    if (showUI_ && (!InstalledOptionsDialogRunner() || !QCoreApplication::instance() ||
                    !QCoreApplication::instance()->inherits("QApplication")))
        return Fail(err::Unsupported, "the driver dialog needs a window system and InstallSaneDriverDialog()");
    errorCode_ = 0;
    errorText_.clear();
    page_.reset();
    pageInfo_ = {};
    const unsigned long id = ++lastAcquisitionId_;
    acquisitionId_ = id;
    link_ = std::make_shared<AcquisitionLink>();
    scanInProgress_ = 1;
    if (showUI_) {
        // Shown from the event loop, not from inside this call: callers get `true`
        // first, as with any acquisition, and the dialog's outcome arrives as events.
        QMetaObject::invokeMethod(
            receiver_.get(), [this, id]() { RunDriverDialog(id); }, Qt::QueuedConnection);
    } else {
        StartWorker(id);
    }
    return true;
}

void SaneControl::StartWorker(unsigned long id) {
    AcquireJob job;
    job.id = id;
    job.feeder = FeederSelected(options_);
    job.duplex = DuplexSelected(options_);
    job.transferCount = session_.transferCount;
    const ImageTypePlan plan = PlanImageType(options_, pixelType_, halftone_);
    job.targetBits = plan.targetBits;
    job.conversion = plan.conversion;
    // When the options no longer say what was asked (e.g. the driver dialog changed the
    // mode), deliver what the device gives.
    if (CurrentPixelType(options_) != pixelType_ && plan.conversion == Conversion::None) job.targetBits = 0;
    job.orientation = session_.orientation;
    job.flipBacks = session_.flipRotation == twain::TWFR_FANFOLD;
    const double dpi = CurrentResolution(options_);
    job.xResolution = static_cast<float>(dpi > 0 ? dpi : 72);
    job.yResolution = job.xResolution;
    if (const OptionInfo* y = options_.Active("y-resolution"); y && options_.Active("x-resolution"))
        job.yResolution = static_cast<float>(y->Value());
    job.frame = CurrentFrame(options_);
    job.encodeJpeg = encodeArriving_;
    job.jpeg = arrivingJpeg_;
    job.link = link_;
    std::shared_ptr<SaneDevice> device = device_;
    std::shared_ptr<EventGate> gate = gate_;
    worker_->Post([device, job, gate]() { device->Acquire(job, *gate); });
}

namespace {

class ControlOptionEditor : public OptionEditor {
public:
    ControlOptionEditor(SaneWorker& worker, std::shared_ptr<SaneDevice> device, OptionSnapshot& options)
        : worker_(worker), device_(std::move(device)), options_(options) {}
    OptionSnapshot Options() override { return options_; }
    long Write(const OptionWrite& write) override {
        std::shared_ptr<SaneDevice> device = device_;
        try {
            auto r = worker_.Call([device, write, s = options_]() mutable {
                long code = device->Apply({write});
                const long read = device->Snapshot(&s);
                return std::make_pair(code ? code : read, std::move(s));
            });
            options_ = std::move(r.second);
            return r.first;
        } catch (const AutomationError& e) {
            return e.Code();
        }
    }

private:
    SaneWorker& worker_;
    std::shared_ptr<SaneDevice> device_;
    OptionSnapshot& options_;
};

} // namespace

void SaneControl::RunDriverDialog(unsigned long id) {
    if (id != acquisitionId_) return;
    ControlOptionEditor editor(*worker_, device_, options_);
    std::string name, remembered;
    if (selected_ >= 0) {
        const SourceEntry& source = sources_[static_cast<size_t>(selected_)];
        name = source.productName;
        remembered = RememberedOptionsPath(source.manufacturer, source.productFamily);
    }
    // What the device has before the dialog: the user's choices are measured against it.
    const OptionSnapshot before = options_;
    // The dialog opens with what the user chose last time for this scanner model. A
    // value the device no longer accepts is left as the device has it.
    if (!remembered.empty()) {
        for (const RememberedOption& option : LoadRemembered(remembered)) {
            OptionWrite write;
            if (RestoreWrite(options_, option, write)) editor.Write(write);
        }
    }
    const OptionsDialogRunner run = InstalledOptionsDialogRunner();
    const bool scan = run && run(editor, name);
    if (id != acquisitionId_) return; // ended meanwhile (DisableSource, CloseSource)
    if (!scan) {
        Deliver(id, TwainEvent::TransferCancelled, 0, nullptr);
        return;
    }
    // Choices confirmed with Scan are kept for next time (a cancelled dialog keeps the
    // earlier ones); failing to store them does not stop the scan.
    if (!remembered.empty()) SaveRemembered(remembered, ChosenOptions(before, options_));
    // The user's choices become the control's settings.
    TakeStateFromOptions();
    StartWorker(id);
}

namespace {
std::atomic<OptionsDialogRunner> dialogRunner{nullptr};
} // namespace

void SetOptionsDialogRunner(OptionsDialogRunner runner) { dialogRunner = runner; }
OptionsDialogRunner InstalledOptionsDialogRunner() { return dialogRunner.load(); }

// ---- Transfer set-up ----

long SaneControl::TransferMode() { return transferMode_; }
void SaneControl::TransferMode(long mode) {
    if (mode != twain::TWSX_NATIVE && mode != twain::TWSX_FILE && mode != twain::TWSX_MEMORY)
        Raise(err::BadValue, "unknown transfer mode");
    transferMode_ = mode;
}
bool SaneControl::DisableAfterAcquire() { return disableAfterAcquire_; }
void SaneControl::DisableAfterAcquire(bool value) { disableAfterAcquire_ = value; }
bool SaneControl::ShowUI() { return showUI_; }
void SaneControl::ShowUI(bool value) { showUI_ = value; }
bool SaneControl::DriverUIOption() { return driverUIOption_; }
void SaneControl::DriverUIOption(bool value) { driverUIOption_ = value; }
bool SaneControl::QueryMode() { return queryMode_; }
// Kept for the callers' save/set/restore pattern; capability queries answer in full
// whatever its value.
void SaneControl::QueryMode(bool value) { queryMode_ = value; }
bool SaneControl::AutoFeed() { return session_.autoFeed; }
void SaneControl::AutoFeed(bool value) { session_.autoFeed = value; }
short SaneControl::TransferCount() { return session_.transferCount; }
void SaneControl::TransferCount(short count) {
    if (count == 0 || count < -1) Raise(err::BadValue, "transfer count must be -1 or positive");
    session_.transferCount = count;
}

// ---- Settings applied to the device ----

long SaneControl::ApplyWanted(unsigned steps) {
    std::shared_ptr<SaneDevice> device = device_;
    const bool feeder = feederWanted_, duplex = duplexWanted_, halftone = halftone_;
    const short pixelType = pixelType_;
    const double dpi = resolution_;
    const FrameInches frame = frame_;
    const bool frameSet = frameSet_, resolutionSet = resolutionSet_;
    auto r = Ask([=, s = options_]() mutable {
        // Each step is planned on the options as the previous one left them; a failed
        // write or read ends the plan with its error.
        long code = device->Snapshot(&s);
        auto step = [&](std::vector<OptionWrite> writes) {
            if (code || writes.empty()) return;
            code = device->Apply(writes);
            const long read = device->Snapshot(&s);
            if (code == 0) code = read;
        };
        if (steps & kSource) step(PlanSource(s, feeder, duplex));
        if (steps & kImageType) step(PlanImageType(s, pixelType, halftone).writes);
        if ((steps & kResolution) && resolutionSet) step(PlanResolution(s, dpi));
        if ((steps & kFrame) && frameSet) step(PlanFrame(s, frame));
        return std::make_pair(code, std::move(s));
    });
    options_ = std::move(r.second);
    return r.first;
}

short SaneControl::PixelType() { return pixelType_; }

void SaneControl::PixelType(short type) {
    RequireIdleOpen("PixelType");
    if (type != twain::TWPT_BW && type != twain::TWPT_GRAY && type != twain::TWPT_RGB)
        Raise(err::BadValue, "unknown pixel type");
    pixelType_ = type;
    if (long code = ApplyWanted(kImageType | kResolution | kFrame))
        Raise(code, "PixelType: " + std::string(DefaultText(code)));
}

short SaneControl::BitDepth() { return pixelType_ == twain::TWPT_BW ? 1 : pixelType_ == twain::TWPT_GRAY ? 8 : 24; }

void SaneControl::BitDepth(short depth) {
    RequireIdleOpen("BitDepth");
    short type = pixelType_;
    if (depth == 1) type = twain::TWPT_BW;
    else if (depth == 8)
        type = pixelType_ == twain::TWPT_RGB ? twain::TWPT_RGB : twain::TWPT_GRAY; // 8 per sample in colour
    else if (depth == 24) type = twain::TWPT_RGB;
    else Raise(err::BadValue, "bit depth must be 1, 8 or 24");
    if (type != pixelType_) PixelType(type);
}

float SaneControl::Resolution() {
    const double dpi = open_ ? CurrentResolution(options_) : resolution_;
    return static_cast<float>(dpi);
}

void SaneControl::Resolution(float dpi) {
    RequireIdleOpen("Resolution");
    if (!(dpi > 0)) Raise(err::BadValue, "resolution must be positive");
    resolution_ = dpi;
    resolutionSet_ = true;
    if (long code = ApplyWanted(kResolution | kFrame)) Raise(code, "Resolution: " + std::string(DefaultText(code)));
}

bool SaneControl::SetImageLayout(float left, float top, float right, float bottom) {
    if (!open_ || Acquiring()) return Fail(err::SequenceError);
    FrameInches f{left, top, right, bottom};
    if (!f.IsZero() && (left < 0 || top < 0 || right <= left || bottom <= top))
        return Fail(err::BadValue, "invalid frame");
    frame_ = f;
    frameSet_ = true;
    if (long code = ApplyWanted(kFrame)) return Fail(code);
    return true;
}

bool SaneControl::FeederEnabled() { return open_ && FeederSelected(options_); }

void SaneControl::FeederEnabled(bool value) {
    RequireIdleOpen("FeederEnabled");
    feederWanted_ = value;
    if (!value) duplexWanted_ = false;
    // A device without a feeder keeps its glass: the value reads back false.
    if (long code = ApplyWanted(kSource | kResolution | kFrame))
        Raise(code, "FeederEnabled: " + std::string(DefaultText(code)));
}

bool SaneControl::DuplexEnabled() { return open_ && DuplexSelected(options_); }

void SaneControl::DuplexEnabled(bool value) {
    RequireIdleOpen("DuplexEnabled");
    duplexWanted_ = value;
    // Duplex is a way of feeding: it is only switched on together with the feeder.
    if (!FeederSelected(options_) && !feederWanted_) return;
    if (long code = ApplyWanted(kSource | kResolution | kFrame))
        Raise(code, "DuplexEnabled: " + std::string(DefaultText(code)));
}

bool SaneControl::FeederLoaded() {
    RequireIdleOpen("FeederLoaded");
    if (!FindSources(options_).HasFeeder()) return false;
    const Sensor sensor = FindFeederSensor(options_);
    // Without a sensor nothing is known: report no paper, so that automatic selection
    // falls back to the glass, which always works.
    if (sensor.name.empty()) return false;
    std::shared_ptr<SaneDevice> device = device_;
    const std::string name = sensor.name;
    auto r = Ask([device, name]() {
        double v = 0;
        long code = device->ReadNumber(name, &v);
        return std::make_pair(code, v);
    });
    if (r.first) Raise(r.first, "FeederLoaded: " + std::string(DefaultText(r.first)));
    return sensor.inverted ? r.second == 0 : r.second != 0;
}

long SaneControl::DuplexType() {
    if (!open_) Raise(err::SequenceError, "DuplexType: no source is open");
    return FindSources(options_).HasDuplex() ? twain::TWDX_2PASSDUPLEX : twain::TWDX_NONE;
}

// ---- Any option by name ----

bool SaneControl::SetOptionText(const std::string& name, const std::string& value) {
    if (!open_ || Acquiring()) return Fail(err::SequenceError);
    const OptionInfo* o = options_.Find(name);
    if (!o) return Fail(err::CapUnsupported, "no option " + name);
    OptionWrite w;
    w.name = name;
    if (o->type == OptType::String) {
        w.text = value;
    } else if (o->type == OptType::Bool) {
        w.numbers = {value == "yes" || value == "true" || value == "1" ? 1.0 : 0.0};
    } else if (o->type == OptType::Int || o->type == OptType::Fixed) {
        char* end = nullptr;
        const double v = std::strtod(value.c_str(), &end);
        if (value.empty() || !end || *end) return Fail(err::BadValue, "not a number: " + value);
        w.numbers = {v};
    }
    std::shared_ptr<SaneDevice> device = device_;
    auto r = Ask([device, w, s = options_]() mutable {
        long code = device->Apply({w});
        const long read = device->Snapshot(&s);
        return std::make_pair(code ? code : read, std::move(s));
    });
    options_ = std::move(r.second);
    if (r.first) return Fail(r.first);
    TakeStateFromOptions(); // the device's options now say what the settings are
    return true;
}

// ---- Files ----

bool SaneControl::SaveImageToFile(const std::string& path, long format) {
    if (!IsSupportedFileFormat(format))
        return Fail(err::Unsupported, "file format " + std::to_string(format) + " is not supported");
    if (!Acquiring() || !page_) {
        // Before the pages: the default target of file transfers.
        defaultPath_ = path;
        defaultFormat_ = format;
        return true;
    }
    const std::string target = path.empty() ? defaultPath_ : path;
    std::string why;
    if (!WriteImageFile(page_->image, target, format, &why)) return Fail(err::FileWriteError, why);
    pageSaved_ = true;
    return true;
}

std::shared_ptr<const PageImage> SaneControl::TakePageImage() {
    if (!Acquiring() || !page_ || pageTaken_) return nullptr;
    pageTaken_ = true;
    pageSaved_ = true; // nothing goes to the default target
    // The handle keeps the page alive; the worker sends the next once it has gone.
    return std::shared_ptr<const PageImage>(page_, &page_->image);
}

void SaneControl::EncodeArrivingPages(const codec::JpegOptions* options) {
    encodeArriving_ = options != nullptr;
    arrivingJpeg_ = options ? *options : codec::JpegOptions{};
}

// ---- Errors and image information ----

long SaneControl::ErrorCode() { return errorCode_; }
std::string SaneControl::ErrorString() { return errorText_; }

ImageInfo SaneControl::CurrentImageInfo() { return pageInfo_; }
float SaneControl::XResolution() { return CurrentImageInfo().xResolution; }
float SaneControl::YResolution() { return CurrentImageInfo().yResolution; }
long SaneControl::ImageWidth() { return CurrentImageInfo().imageWidth; }
long SaneControl::ImageLength() { return CurrentImageInfo().imageLength; }
short SaneControl::BitsPerPixel() { return CurrentImageInfo().bitsPerPixel; }
long SaneControl::ImagePixelType() { return CurrentImageInfo().pixelType; }
float SaneControl::FrameLeft() { return CurrentImageInfo().frameLeft; }
float SaneControl::FrameTop() { return CurrentImageInfo().frameTop; }
float SaneControl::FrameRight() { return CurrentImageInfo().frameRight; }
float SaneControl::FrameBottom() { return CurrentImageInfo().frameBottom; }
long SaneControl::DocumentNumber() { return CurrentImageInfo().documentNumber; }
long SaneControl::PageNumber() { return CurrentImageInfo().pageNumber; }
long SaneControl::FrameNumber() { return CurrentImageInfo().frameNumber; }

} // namespace scancontrol::sanectl

namespace scancontrol {

namespace {

class SaneSourceManager : public ISourceManager {
public:
    SaneSourceManager() : worker_(sanectl::SaneWorker::Instance()) {}
    SourceListing EnumerateSources() override {
        sanectl::SaneWorker* w = worker_.get();
        try {
            return worker_->Call([w]() { return w->ListDevices(); });
        } catch (const AutomationError&) {
            SourceListing none;
            none.status = 2; // a source manager that does not answer is no source manager
            return none;
        }
    }

private:
    std::shared_ptr<sanectl::SaneWorker> worker_;
};

} // namespace

bool SetSaneOption(CDynamictwain& control, const std::string& name, const std::string& value) {
    auto* sane = dynamic_cast<sanectl::SaneControl*>(&control);
    try {
        return sane && sane->SetOptionText(name, value);
    } catch (const AutomationError&) {
        return false; // recorded in ErrorCode
    }
}

std::unique_ptr<CDynamictwain> CreateSaneDynamictwain(std::shared_ptr<ISourceManager> sources) {
    return std::make_unique<sanectl::SaneControl>(std::move(sources));
}
std::unique_ptr<ISourceManager> CreateSaneSourceManager() { return std::make_unique<SaneSourceManager>(); }

} // namespace scancontrol
