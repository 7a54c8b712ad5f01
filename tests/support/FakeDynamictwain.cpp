// The scripted scanning control. See FakeDynamictwain.h for the behaviour.
#include "support/FakeDynamictwain.h"

#include <cmath>
#include <stdexcept>
#include <utility>

#include "scancontrol/ImageFileWriter.h"

namespace scancontrol {

namespace {

std::string Num(double v) {
    if (v == std::floor(v) && std::fabs(v) < 1e15) return std::to_string(static_cast<long long>(v));
    return std::to_string(v);
}

bool Near(double a, double b) { return std::fabs(a - b) < 1e-6; }

} // namespace

FakeDynamictwain::FakeDynamictwain() = default;
FakeDynamictwain::~FakeDynamictwain() = default;

// ---- Script ----

void FakeDynamictwain::AddSource(FakeSource source) { sources_.push_back(std::move(source)); }

FakeSource& FakeDynamictwain::Source(const std::string& productName) {
    for (auto& s : sources_)
        if (s.identity.productName == productName) return s;
    throw std::out_of_range("no fake source " + productName);
}

void FakeDynamictwain::SetSourceManagerPresent(bool present) { managerPresent_ = present; }
void FakeDynamictwain::SetAcquisitionScript(std::vector<FakeStep> steps) { script_ = std::move(steps); }
void FakeDynamictwain::FailOn(const std::string& call, FakeFailure failure) { failures_[call] = failure; }
void FakeDynamictwain::ClearFailures() { failures_.clear(); }
void FakeDynamictwain::SetWriteFiles(bool write) { writeFiles_ = write; }

int FakeDynamictwain::CallCount(const std::string& call) const {
    int n = 0;
    for (const auto& c : calls_)
        if (c == call || c.rfind(call + "=", 0) == 0 || c.rfind(call + "(", 0) == 0) ++n;
    return n;
}

std::string FakeDynamictwain::SelectedSourceName() const {
    if (selected_ < 0 || selected_ >= static_cast<int>(sources_.size())) return {};
    return sources_[static_cast<size_t>(selected_)].identity.productName;
}

int FakeDynamictwain::DeliverPendingEvents() {
    int n = 0;
    while (!pending_.empty()) {
        Queued q = std::move(pending_.front());
        pending_.pop_front();
        if (q.acquisition != acquisition_) continue; // a late event of an ended acquisition
        const TwainEvent e = q.step.event;
        if (e == TwainEvent::PageTransferred) {
            if (q.step.page) {
                page_ = std::move(*q.step.page);
            } else if (!page_) {
                page_ = PageImage::Blank(85, 110, 24, 10);
            }
            ++pageCounter_;
            info_ = ImageInfo{};
            info_.xResolution = page_->xResolution;
            info_.yResolution = page_->yResolution;
            info_.imageWidth = page_->width;
            info_.imageLength = page_->height;
            info_.bitsPerPixel = page_->bitsPerPixel;
            info_.pixelType = page_->PixelType();
            info_.frameLeft = layout_.left;
            info_.frameTop = layout_.top;
            info_.frameRight = layout_.right;
            info_.frameBottom = layout_.bottom;
            info_.documentNumber = pageCounter_;
            info_.pageNumber = pageCounter_;
            info_.frameNumber = 1;
            if (transferMode_ == twain::TWSX_FILE && !defaultPath_.empty() && writeFiles_)
                WriteImageFile(*page_, defaultPath_, defaultFormat_);
        }
        if (e == TwainEvent::TransferFailed) errorCode_ = q.step.errorCode ? q.step.errorCode : err::Failure;
        if (e == TwainEvent::AcquisitionEnded || e == TwainEvent::TransferFailed || e == TwainEvent::TransferCancelled)
            acquisition_ = 0;
        delivered_.push_back(e);
        ++n;
        if (listener_) listener_->OnTwainEvent(e);
    }
    return n;
}

// ---- Helpers ----

bool FakeDynamictwain::Enter(const std::string& call) {
    calls_.push_back(call);
    std::string key = call;
    auto eq = key.find('=');
    if (eq != std::string::npos) key = key.substr(0, eq + 1);
    auto paren = key.find('(');
    if (paren != std::string::npos) key = key.substr(0, paren);
    auto it = failures_.find(key);
    if (it == failures_.end()) return false;
    FakeFailure f = it->second;
    if (f.times == 0) return false;
    if (f.times > 0) --it->second.times;
    errorCode_ = f.errorCode;
    if (f.raise) throw AutomationError(f.errorCode, "injected failure of " + call);
    return true;
}

bool FakeDynamictwain::Fail(long code) {
    errorCode_ = code;
    return false;
}

FakeSource* FakeDynamictwain::Selected() {
    if (selected_ < 0 || selected_ >= static_cast<int>(sources_.size())) return nullptr;
    return &sources_[static_cast<size_t>(selected_)];
}

FakeSource* FakeDynamictwain::Opened() { return sourceOpen_ ? Selected() : nullptr; }

CapabilityInfo* FakeDynamictwain::SourceCap(long id) {
    FakeSource* s = Opened();
    if (!s) return nullptr;
    auto it = s->capabilities.find(id);
    return it == s->capabilities.end() ? nullptr : &it->second;
}

double FakeDynamictwain::PropertyValue(long capId, double stored) {
    if (CapabilityInfo* c = SourceCap(capId)) return CurrentValue(c->container);
    return stored;
}

void FakeDynamictwain::SetPropertyValue(long capId, double value, double& stored) {
    stored = value;
    CapabilityInfo* c = SourceCap(capId);
    if (!c) return;
    if (auto* one = std::get_if<CapOneValue>(&c->container)) {
        one->value = value;
    } else if (auto* en = std::get_if<CapEnumeration>(&c->container)) {
        for (size_t i = 0; i < en->items.size(); ++i)
            if (Near(en->items[i], value)) {
                en->currentIndex = static_cast<long>(i);
                return;
            }
        errorCode_ = err::BadValue;
        throw AutomationError(err::BadValue, "value " + Num(value) + " not offered");
    } else if (auto* r = std::get_if<CapRange>(&c->container)) {
        if (value < r->minValue - 1e-6 || value > r->maxValue + 1e-6) {
            errorCode_ = err::BadValue;
            throw AutomationError(err::BadValue, "value " + Num(value) + " out of range");
        }
        r->currentValue = value;
    }
}

// ---- ISourceManager ----

SourceListing FakeDynamictwain::EnumerateSources() {
    calls_.push_back("EnumerateSources");
    SourceListing l;
    if (!managerPresent_) {
        l.status = 2;
        return l;
    }
    for (const auto& s : sources_) l.sources.push_back(s.identity);
    return l;
}

// ---- Source manager and sources ----

void FakeDynamictwain::SetEventListener(IDynamictwainEvents* listener) { listener_ = listener; }

bool FakeDynamictwain::OpenSourceManager() {
    if (Enter("OpenSourceManager")) return false;
    if (!managerPresent_) return Fail(err::NoSourceManager);
    managerOpen_ = true;
    return true;
}

bool FakeDynamictwain::CloseSourceManager() {
    if (Enter("CloseSourceManager")) return false;
    acquisition_ = 0;
    sourceOpen_ = false;
    managerOpen_ = false;
    return true;
}

short FakeDynamictwain::SourceCount() {
    if (Enter("SourceCount")) return 0;
    return managerOpen_ ? static_cast<short>(sources_.size()) : 0;
}

std::string FakeDynamictwain::SourceNameAt(short index) {
    if (Enter("SourceNameAt(" + std::to_string(index) + ")")) return {};
    if (!managerOpen_ || index < 0 || index >= static_cast<short>(sources_.size())) {
        errorCode_ = err::BadDestination;
        return {};
    }
    return sources_[static_cast<size_t>(index)].identity.productName;
}

bool FakeDynamictwain::SelectSourceByIndex(short index) {
    if (Enter("SelectSourceByIndex(" + std::to_string(index) + ")")) return false;
    if (!managerOpen_ || index < 0 || index >= static_cast<short>(sources_.size())) return Fail(err::BadDestination);
    if (sourceOpen_) return Fail(err::SequenceError);
    selected_ = index;
    return true;
}

bool FakeDynamictwain::OpenSource() {
    if (Enter("OpenSource")) return false;
    FakeSource* s = Selected();
    if (!managerOpen_ || !s) return Fail(err::BadDestination);
    if (s->openError) return Fail(s->openError);
    sourceOpen_ = true;
    return true;
}

bool FakeDynamictwain::CloseSource() {
    if (Enter("CloseSource")) return false;
    acquisition_ = 0;
    sourceOpen_ = false;
    return true;
}

bool FakeDynamictwain::DisableSource() {
    if (Enter("DisableSource")) return false;
    acquisition_ = 0;
    return true;
}

bool FakeDynamictwain::AcquireImage() {
    if (Enter("AcquireImage")) return false;
    if (!Opened()) return Fail(err::SequenceError);
    if (acquisition_) return Fail(err::SequenceError);
    errorCode_ = 0;
    acquisition_ = ++lastId_;
    page_.reset();
    pageCounter_ = 0;
    std::vector<FakeStep> steps;
    if (script_) {
        steps = std::move(*script_);
        script_.reset();
    } else {
        FakeSource* s = Opened();
        const bool feeder = PropertyValue(twain::CAP_FEEDERENABLED, feederEnabled_) != 0;
        const long count = static_cast<long>(PropertyValue(twain::CAP_XFERCOUNT, transferCount_));
        long n = 1;
        if (feeder)
            n = count < 0 ? static_cast<long>(s->pages.size())
                          : std::min<long>(count, static_cast<long>(s->pages.size()));
        if (feeder && s->pages.empty()) {
            steps.push_back({TwainEvent::TransferFailed, std::nullopt, err::NoDocuments});
        } else {
            steps.push_back({TwainEvent::TransferReady, std::nullopt, 0});
            for (long i = 0; i < n; ++i) {
                std::optional<PageImage> p;
                if (i < static_cast<long>(s->pages.size())) p = s->pages[static_cast<size_t>(i)];
                steps.push_back({TwainEvent::PageTransferred, p, 0});
                steps.push_back({TwainEvent::PageEnded, std::nullopt, 0});
            }
            steps.push_back({TwainEvent::AcquisitionEnded, std::nullopt, 0});
        }
    }
    for (auto& st : steps) pending_.push_back({acquisition_, std::move(st)});
    return true;
}

bool FakeDynamictwain::DeviceReady() {
    if (Enter("DeviceReady")) return false;
    return sourceOpen_;
}

long FakeDynamictwain::ScanInProgress() const { return acquisition_ ? 1 : 0; }

// ---- Transfer set-up ----

long FakeDynamictwain::TransferMode() {
    Enter("TransferMode");
    return transferMode_;
}
void FakeDynamictwain::TransferMode(long mode) {
    if (!Enter("TransferMode=" + Num(mode))) transferMode_ = mode;
}
bool FakeDynamictwain::DisableAfterAcquire() {
    Enter("DisableAfterAcquire");
    return disableAfterAcquire_;
}
void FakeDynamictwain::DisableAfterAcquire(bool v) {
    if (!Enter("DisableAfterAcquire=" + Num(v))) disableAfterAcquire_ = v;
}
bool FakeDynamictwain::ShowUI() {
    Enter("ShowUI");
    return showUI_;
}
void FakeDynamictwain::ShowUI(bool v) {
    if (!Enter("ShowUI=" + Num(v))) showUI_ = v;
}
bool FakeDynamictwain::DriverUIOption() {
    Enter("DriverUIOption");
    return driverUIOption_;
}
void FakeDynamictwain::DriverUIOption(bool v) {
    if (!Enter("DriverUIOption=" + Num(v))) driverUIOption_ = v;
}

// ---- Image settings ----

short FakeDynamictwain::PixelType() {
    if (Enter("PixelType")) return 0;
    return static_cast<short>(PropertyValue(twain::ICAP_PIXELTYPE, pixelType_));
}
void FakeDynamictwain::PixelType(short type) {
    if (!Enter("PixelType=" + Num(type))) SetPropertyValue(twain::ICAP_PIXELTYPE, type, pixelType_);
}
short FakeDynamictwain::BitDepth() {
    Enter("BitDepth");
    return bitDepth_;
}
void FakeDynamictwain::BitDepth(short depth) {
    if (!Enter("BitDepth=" + Num(depth))) bitDepth_ = depth;
}
float FakeDynamictwain::Resolution() {
    if (Enter("Resolution")) return 0;
    return static_cast<float>(PropertyValue(twain::ICAP_XRESOLUTION, resolution_));
}
void FakeDynamictwain::Resolution(float dpi) {
    if (Enter("Resolution=" + Num(dpi))) return;
    SetPropertyValue(twain::ICAP_XRESOLUTION, dpi, resolution_);
    double y = dpi;
    SetPropertyValue(twain::ICAP_YRESOLUTION, dpi, y);
}
bool FakeDynamictwain::SetImageLayout(float l, float t, float r, float b) {
    if (Enter("SetImageLayout(" + Num(l) + "," + Num(t) + "," + Num(r) + "," + Num(b) + ")")) return false;
    layout_ = {l, t, r, b};
    return true;
}

// ---- Feeder, duplex, count ----

bool FakeDynamictwain::FeederEnabled() {
    if (Enter("FeederEnabled")) return false;
    return PropertyValue(twain::CAP_FEEDERENABLED, feederEnabled_) != 0;
}
void FakeDynamictwain::FeederEnabled(bool v) {
    if (Enter("FeederEnabled=" + Num(v))) return;
    FakeSource* s = Opened();
    SetPropertyValue(twain::CAP_FEEDERENABLED, (v && (!s || s->hasFeeder)) ? 1 : 0, feederEnabled_);
}
bool FakeDynamictwain::DuplexEnabled() {
    if (Enter("DuplexEnabled")) return false;
    return PropertyValue(twain::CAP_DUPLEXENABLED, duplexEnabled_) != 0;
}
void FakeDynamictwain::DuplexEnabled(bool v) {
    if (Enter("DuplexEnabled=" + Num(v))) return;
    FakeSource* s = Opened();
    const bool possible = !s || s->duplexType != twain::TWDX_NONE;
    SetPropertyValue(twain::CAP_DUPLEXENABLED, (v && possible) ? 1 : 0, duplexEnabled_);
}
bool FakeDynamictwain::FeederLoaded() {
    if (Enter("FeederLoaded")) return false;
    FakeSource* s = Opened();
    if (!s) {
        errorCode_ = err::SequenceError;
        throw AutomationError(err::SequenceError, "FeederLoaded needs an open source");
    }
    return PropertyValue(twain::CAP_FEEDERLOADED, s->feederLoaded ? 1 : 0) != 0;
}
bool FakeDynamictwain::QueryMode() {
    Enter("QueryMode");
    return queryMode_;
}
void FakeDynamictwain::QueryMode(bool v) {
    if (!Enter("QueryMode=" + Num(v))) queryMode_ = v;
}
long FakeDynamictwain::DuplexType() {
    if (Enter("DuplexType")) return 0;
    FakeSource* s = Opened();
    if (!s) {
        errorCode_ = err::SequenceError;
        throw AutomationError(err::SequenceError, "DuplexType needs an open source");
    }
    return static_cast<long>(PropertyValue(twain::CAP_DUPLEX, static_cast<double>(s->duplexType)));
}
bool FakeDynamictwain::AutoFeed() {
    Enter("AutoFeed");
    return PropertyValue(twain::CAP_AUTOFEED, autoFeed_) != 0;
}
void FakeDynamictwain::AutoFeed(bool v) {
    if (!Enter("AutoFeed=" + Num(v))) SetPropertyValue(twain::CAP_AUTOFEED, v ? 1 : 0, autoFeed_);
}
short FakeDynamictwain::TransferCount() {
    if (Enter("TransferCount")) return 0;
    return static_cast<short>(PropertyValue(twain::CAP_XFERCOUNT, transferCount_));
}
void FakeDynamictwain::TransferCount(short c) {
    if (!Enter("TransferCount=" + Num(c))) SetPropertyValue(twain::CAP_XFERCOUNT, c, transferCount_);
}

bool FakeDynamictwain::SaveImageToFile(const std::string& path, long format) {
    if (Enter("SaveImageToFile(" + path + "," + Num(format) + ")")) {
        saved_.push_back({path, format, false});
        return false;
    }
    if (!page_) {
        defaultPath_ = path;
        defaultFormat_ = format;
        saved_.push_back({path, format, true});
        return true;
    }
    const std::string target = path.empty() ? defaultPath_ : path;
    if (!IsSupportedFileFormat(format)) {
        saved_.push_back({target, format, false});
        return Fail(err::Unsupported);
    }
    bool ok = true;
    if (writeFiles_) ok = WriteImageFile(*page_, target, format);
    saved_.push_back({target, format, ok});
    return ok ? true : Fail(err::FileWriteError);
}

std::shared_ptr<const PageImage> FakeDynamictwain::TakePageImage() {
    Enter("TakePageImage");
    if (!handsOverPages_ || !page_) return nullptr;
    return std::make_shared<const PageImage>(*page_);
}

// ---- Capabilities ----

long FakeDynamictwain::Capability() { return capId_; }
void FakeDynamictwain::Capability(long id) {
    Enter("Capability=" + Num(id));
    capId_ = id;
}
long FakeDynamictwain::CapType() { return capType_; }
void FakeDynamictwain::CapType(long type) {
    Enter("CapType=" + Num(type));
    capType_ = type;
}

bool FakeDynamictwain::CapGet() {
    if (Enter("CapGet")) return false;
    if (!Opened()) return Fail(err::SequenceError);
    CapabilityInfo* c = SourceCap(capId_);
    if (!c) return Fail(err::CapUnsupported);
    cap_ = c->container;
    capReadId_ = capId_;
    capType_ = ContainerType(cap_);
    capValue_ = CurrentValue(cap_);
    if (auto* en = std::get_if<CapEnumeration>(&cap_)) capCurrentIndex_ = en->currentIndex;
    if (auto* r = std::get_if<CapRange>(&cap_)) capCurrentValue_ = r->currentValue;
    return true;
}

bool FakeDynamictwain::CapSet() {
    if (Enter("CapSet")) return false;
    if (!Opened()) return Fail(err::SequenceError);
    CapabilityInfo* c = SourceCap(capId_);
    if (!c) return Fail(err::CapUnsupported);
    if (!c->settable) return Fail(err::CapBadOperation);
    double value = 0;
    switch (capType_) {
        case twain::TWON_ONEVALUE: value = capValue_; break;
        case twain::TWON_RANGE: value = capCurrentValue_; break;
        case twain::TWON_ENUMERATION: {
            // The items of the last CapGet of this capability, else the source's own.
            auto* en = std::get_if<CapEnumeration>(capReadId_ == capId_ ? &cap_ : &c->container);
            if (!en || capCurrentIndex_ < 0 || capCurrentIndex_ >= static_cast<long>(en->items.size()))
                return Fail(err::BadValue);
            value = en->items[static_cast<size_t>(capCurrentIndex_)];
            break;
        }
        default: return Fail(err::CapBadOperation);
    }
    if (auto* en = std::get_if<CapEnumeration>(&c->container)) {
        for (size_t i = 0; i < en->items.size(); ++i)
            if (Near(en->items[i], value)) {
                en->currentIndex = static_cast<long>(i);
                return true;
            }
        return Fail(err::BadValue);
    }
    if (auto* r = std::get_if<CapRange>(&c->container)) {
        if (value < r->minValue - 1e-6 || value > r->maxValue + 1e-6) return Fail(err::BadValue);
        if (r->stepSize > 0) {
            const double k = (value - r->minValue) / r->stepSize;
            if (std::fabs(k - std::round(k)) > 1e-6) return Fail(err::BadValue);
        }
        r->currentValue = value;
        return true;
    }
    if (std::holds_alternative<CapArray>(c->container)) return Fail(err::CapBadOperation);
    std::get<CapOneValue>(c->container).value = value;
    capReadId_ = -1;
    return true;
}

double FakeDynamictwain::CapValue() { return capValue_; }
void FakeDynamictwain::CapValue(double v) {
    Enter("CapValue=" + Num(v));
    capValue_ = v;
}
double FakeDynamictwain::CapMinValue() {
    if (auto* r = std::get_if<CapRange>(&cap_)) return r->minValue;
    return capValue_;
}
double FakeDynamictwain::CapMaxValue() {
    if (auto* r = std::get_if<CapRange>(&cap_)) return r->maxValue;
    return capValue_;
}
double FakeDynamictwain::CapStepSize() {
    if (auto* r = std::get_if<CapRange>(&cap_)) return r->stepSize;
    return 0;
}
double FakeDynamictwain::CapDefaultValue() {
    if (auto* r = std::get_if<CapRange>(&cap_)) return r->defaultValue;
    if (auto* en = std::get_if<CapEnumeration>(&cap_))
        if (en->defaultIndex >= 0 && en->defaultIndex < static_cast<long>(en->items.size()))
            return en->items[static_cast<size_t>(en->defaultIndex)];
    return capValue_;
}
double FakeDynamictwain::CapCurrentValue() { return capCurrentValue_; }
void FakeDynamictwain::CapCurrentValue(double v) {
    Enter("CapCurrentValue=" + Num(v));
    capCurrentValue_ = v;
}
long FakeDynamictwain::CapCurrentIndex() { return capCurrentIndex_; }
void FakeDynamictwain::CapCurrentIndex(long i) {
    Enter("CapCurrentIndex=" + Num(i));
    capCurrentIndex_ = i;
}
long FakeDynamictwain::CapDefaultIndex() {
    if (auto* en = std::get_if<CapEnumeration>(&cap_)) return en->defaultIndex;
    return 0;
}
double FakeDynamictwain::CapItemAt(long index) {
    const std::vector<double>* items = nullptr;
    if (auto* en = std::get_if<CapEnumeration>(&cap_)) items = &en->items;
    if (auto* arr = std::get_if<CapArray>(&cap_)) items = &arr->items;
    if (!items || index < 0 || index >= static_cast<long>(items->size())) {
        errorCode_ = err::BadValue;
        throw AutomationError(err::BadValue, "CapItemAt index out of range");
    }
    return (*items)[static_cast<size_t>(index)];
}
long FakeDynamictwain::CapNumItems() {
    if (auto* en = std::get_if<CapEnumeration>(&cap_)) return static_cast<long>(en->items.size());
    if (auto* arr = std::get_if<CapArray>(&cap_)) return static_cast<long>(arr->items.size());
    return 1;
}

long FakeDynamictwain::ErrorCode() { return errorCode_; }
std::string FakeDynamictwain::ErrorString() {
    return errorCode_ ? "error " + std::to_string(errorCode_) : std::string();
}

// ---- Image information ----

float FakeDynamictwain::XResolution() {
    Enter("XResolution");
    return info_.xResolution;
}
float FakeDynamictwain::YResolution() {
    Enter("YResolution");
    return info_.yResolution;
}
long FakeDynamictwain::ImageWidth() {
    Enter("ImageWidth");
    return info_.imageWidth;
}
long FakeDynamictwain::ImageLength() {
    Enter("ImageLength");
    return info_.imageLength;
}
short FakeDynamictwain::BitsPerPixel() {
    Enter("BitsPerPixel");
    return info_.bitsPerPixel;
}
long FakeDynamictwain::ImagePixelType() {
    Enter("ImagePixelType");
    return info_.pixelType;
}
float FakeDynamictwain::FrameLeft() {
    Enter("FrameLeft");
    return info_.frameLeft;
}
float FakeDynamictwain::FrameTop() {
    Enter("FrameTop");
    return info_.frameTop;
}
float FakeDynamictwain::FrameRight() {
    Enter("FrameRight");
    return info_.frameRight;
}
float FakeDynamictwain::FrameBottom() {
    Enter("FrameBottom");
    return info_.frameBottom;
}
long FakeDynamictwain::DocumentNumber() {
    Enter("DocumentNumber");
    return info_.documentNumber;
}
long FakeDynamictwain::PageNumber() {
    Enter("PageNumber");
    return info_.pageNumber;
}
long FakeDynamictwain::FrameNumber() {
    Enter("FrameNumber");
    return info_.frameNumber;
}
ImageInfo FakeDynamictwain::CurrentImageInfo() { return info_; }

} // namespace scancontrol
