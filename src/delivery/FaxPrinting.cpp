#include "delivery/FaxPrinting.h"

#include <cmath>
#include <cstdlib>

#include "codec/Bmp.h"
#include "codec/FileIo.h"
#include "core/Texts.h"
#include "delivery/DestinationHandlers.h"
#include "delivery/DrawnPdf.h"

namespace delivery {
namespace {

uint32_t U32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

constexpr size_t kFileHeader = 14;
constexpr size_t kCoreHeaderSize = 12;

// Whole device pixels of a length in points; a length that is a whole number of pixels
// but for rounding noise counts as that number.
int DevicePixels(double points, double dpi) {
    const double pixels = points * dpi / 72.0;
    return pixels > 0 ? static_cast<int>(std::floor(pixels + 1e-6)) : 0;
}

} // namespace

PrintableArea PrintableAreaOf(const FaxPageGeometry& g) {
    PrintableArea area;
    const bool stated = g.xDpi > 0 && g.yDpi > 0;
    area.xDpi = stated ? g.xDpi : kFaxDefaultXDpi;
    area.yDpi = stated ? g.yDpi : kFaxDefaultYDpi;
    area.pixels.width = DevicePixels(g.mediaWidth - g.left - g.right, area.xDpi);
    area.pixels.height = DevicePixels(g.mediaLength - g.top - g.bottom, area.yDpi);
    return area;
}

bool ReadFaxBitmapSize(const uint8_t* file, size_t length, PixelSize& size) {
    // The file header, the bitmap header's size field and the sizes that follow it.
    if (length < kFileHeader + 4 || length >= (uint64_t(1) << 32)) return false;
    if (file[0] != 'B' || file[1] != 'M' || U32(file + 2) != length) return false;
    const uint32_t headerSize = U32(file + kFileHeader);
    if (headerSize == kCoreHeaderSize) {
        if (length < 22) return false;
        size.width = U16(file + 18);
        size.height = U16(file + 20);
        return true;
    }
    if (length < 26) return false;
    const int64_t width = static_cast<int32_t>(U32(file + 18));
    const int64_t height = static_cast<int32_t>(U32(file + 22));
    if (width < 0 || width > INT32_MAX || std::llabs(height) > INT32_MAX) return false;
    size.width = static_cast<int>(width);
    size.height = static_cast<int>(std::llabs(height));
    return true;
}

PixelSize FitToPrintableArea(PixelSize image, PixelSize area) {
    if (image.width <= 0 || image.height <= 0 || area.width <= 0 || area.height <= 0) return {};
    const float rx = static_cast<float>(image.width) / static_cast<float>(area.width);
    const float ry = static_cast<float>(image.height) / static_cast<float>(area.height);
    if (ry < rx) return {area.width, static_cast<int>(static_cast<float>(image.height) / rx)};
    return {static_cast<int>(static_cast<float>(image.width) / ry), area.height};
}

// ---- the handler -------------------------------------------------------------------------

FaxHandler::FaxHandler() : DestinationProcesser(std::make_shared<settings::FaxElements>("Fax")) {
    // The libraries are loaded before the scan starts, not while the scanner's threads
    // run: a load takes the dynamic loader's locks, and a load in the middle of a scan
    // has been seen to wait for good on locks held by a scanner thread that had ended.
    FaxPrintSession::LoadLibrary();
    DrawnPdf::LoadLibrary();
}

FaxHandler::~FaxHandler() { AbandonJob(); }

bool FaxHandler::RefuseScan() {
    lastError_ = 0;
    if (OpenFaxJob()) return false;
    core::ShowMessage(core::LoadMessageText(core::MessageNumber::FaxFailed), core::kMbOk | core::kMbIconStop);
    return lastError_ != 0;
}

bool FaxHandler::OpenFaxJob() {
    AbandonJob(); // a job of an earlier opening is withdrawn, never continued
    // The fax service is the print server: it must answer.
    printer_ = std::make_unique<FaxPrintSession>();
    if (!printer_->Connect()) {
        printer_.reset();
        lastError_ = kFaxNoPrinter;
        return false;
    }
    if (!FindFaxPrinter()) return false;
    if (!printer_->ReadGeometry(geometry_)) {
        lastError_ = kFaxNoDeviceContext;
        return false;
    }
    printable_ = PrintableAreaOf(geometry_);
    if (printable_.pixels.width <= 0 || printable_.pixels.height <= 0) {
        lastError_ = kFaxNoDeviceContext;
        return false;
    }
    FaxPrintSession& session = *printer_;
    document_ = std::make_unique<DrawnPdf>(
        [&session](const unsigned char* data, size_t size) { return session.Write(data, size); });
    if (!printer_->StartJob(kFaxJobTitle) ||
        !document_->Open(geometry_.mediaWidth, geometry_.mediaLength, kFaxJobTitle)) {
        AbandonJob();
        lastError_ = kFaxJobNotStarted;
        return false;
    }
    jobOpen_ = true;
    return true;
}

bool FaxHandler::FindFaxPrinter() {
    faxPrinterName_.clear();
    if (!printer_) {
        printer_ = std::make_unique<FaxPrintSession>();
        if (!printer_->Connect()) {
            printer_.reset();
            lastError_ = kFaxNoPrinterList;
            return false;
        }
    }
    const FaxQueueLookup lookup = printer_->FindFaxQueue();
    if (lookup == FaxQueueLookup::ListFailure) {
        lastError_ = kFaxNoPrinterList;
        return false;
    }
    // The platform's version cannot fail to be known here, and its class always has
    // a selection rule: the fax bit of the queue's type.
    platformClass_ = kFaxPlatformClass;
    if (lookup != FaxQueueLookup::Found) {
        lastError_ = kFaxNoPrinter;
        return false;
    }
    faxPrinterName_ = printer_->QueueName();
    lastError_ = 0;
    return true;
}

bool FaxHandler::PrintPage(const std::string& path) {
    // Pages after a failure, or without a job, are not printed.
    if (!jobOpen_) return false;
    codec::Buffer file;
    PixelSize size;
    if (codec::ReadWholeFile(path, file) != codec::Status::Ok || !ReadFaxBitmapSize(file.data(), file.size(), size) ||
        size.width <= 0 || size.height <= 0)
        return FailPage(kFaxBadPageFile);
    codec::Image image;
    if (codec::DecodeBmp(file, image) != codec::Status::Ok) return FailPage(kFaxBadPageFile);

    const PixelSize drawn = FitToPrintableArea(size, printable_.pixels);
    if (!document_->StartPage()) return FailPage(kFaxPageNotStarted);
    // Device pixels to points, from the printable area's top-left corner.
    const double width = drawn.width * 72.0 / printable_.xDpi;
    const double height = drawn.height * 72.0 / printable_.yDpi;
    if (!document_->DrawImage(codec::ViewOf(image), geometry_.left, geometry_.top, width, height) ||
        !document_->EndPage())
        return FailPage(kFaxPageNotEnded);
    return true;
}

bool FaxHandler::CloseFaxJob() {
    bool ended = true;
    if (jobOpen_) {
        if (document_->PagesEnded() == 0) {
            // Nothing was printed: an empty fax is not sent.
            AbandonJob();
        } else {
            const bool written = document_->Finish();
            document_.reset();
            jobOpen_ = false;
            if (!written || !printer_->FinishJob()) {
                printer_->CancelJob();
                lastError_ = kFaxJobNotEnded;
                ended = false;
            }
        }
    }
    printer_.reset();
    return ended;
}

void FaxHandler::OnPageSaved(const std::string& path) { PrintPage(path); }

void FaxHandler::OnScanFinished(const std::string& path) {
    if (lastError_ == kFaxNoPrinter) return;
    if (IsMultiPage() && !PrintPage(path)) return;
    CloseFaxJob();
}

bool FaxHandler::FailPage(int error) {
    lastError_ = error;
    AbandonJob();
    return false;
}

void FaxHandler::AbandonJob() {
    document_.reset();
    if (printer_) printer_->CancelJob();
    jobOpen_ = false;
}

} // namespace delivery
