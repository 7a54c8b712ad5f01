#pragma once
// CDynamictwain: the scanning control's contract, every property, method and
// event named as there. Implementations: the SANE control (SaneDynamictwain.h) and the
// scripted fake for logic tests (tests/support/FakeDynamictwain.h, built only with the
// tests).
//
// Naming: a property is a pair of overloads of one name, the getter `X()` and the
// setter `X(value)` (property get and put); methods keep their names. The DISPID of
// each member is noted beside it.
//
// Threads: every member is called on the thread that created the control (the "UI
// thread", which must run a Qt event loop for the SANE control), except
// `ScanInProgress`, which may be read from any thread. Events reach the listener on that
// same thread, from its event loop, never from inside a call on the control.
//
// Failures: a call that fails returns false (or a neutral value) and records a negative
// code readable through `ErrorCode` (ControlErrors.h). A call whose result cannot carry
// the failure (a property read or write the device refuses, for example) throws
// AutomationError with the same code. A successful call does not clear `ErrorCode`;
// only the next failure replaces it, and `AcquireImage` resets it to 0 when it starts.
//
// Events (TwainEvent numbers are the control's event ids), in this order per
// acquisition:
//   3 transfer ready                 once, when the device is ready to deliver pages
//   2 page transferred, 1 page ended once per page, in that pair; the page's image
//                                    information and SaveImageToFile refer to that page
//                                    from event 2 on
//   4 acquisition ended              the normal end (the count reached, the feeder empty
//                                    after at least one page, a flatbed page done)
//   or 5 transfer failed             a device failure (ErrorCode tells which); may come
//                                    before event 3 (e.g. no documents in the feeder)
//   or 6 cancelled                   the user cancelled (driver dialog, device button)
// Exactly one of 4, 5, 6 ends every acquisition that AcquireImage started with true.
// `DisableSource` or `CloseSource` while an acquisition runs ends it at once, silently:
// no further event of it is delivered, and ScanInProgress reads 0 on return.
//
// Beyond the automation interface, the control offers what a driver's progress
// indicator needs: `Progress` (where the running acquisition stands) and
// `CancelAcquisition` (the indicator's Cancel button, which ends the acquisition the way
// a cancel in the driver does: with event 6 and no page after it).

#include <memory>
#include <string>

#include "codec/Jpeg.h"
#include "scancontrol/ControlErrors.h"
#include "scancontrol/PageImage.h"
#include "scancontrol/Twain.h"

namespace scancontrol {

enum class TwainEvent : int {
    PageEnded = 1,
    PageTransferred = 2,
    TransferReady = 3,
    AcquisitionEnded = 4,
    TransferFailed = 5,
    TransferCancelled = 6,
};

// "transfer ready", "page transferred", ... (the words the CLI prints after the number).
const char* EventName(TwainEvent event);

// Receives the control's six parameterless events (control ID 1000) on the UI thread.
// A handler may call back into the control (DisableSource, CloseSource,
// SaveImageToFile, the image information, even AcquireImage after a terminal event).
class IDynamictwainEvents {
public:
    virtual ~IDynamictwainEvents() = default;
    virtual void OnTwainEvent(TwainEvent event) = 0;
};

// The image information of the page of the last "page transferred" event (DISPIDs 20..36).
struct ImageInfo {
    float xResolution = 0;  // 20
    float yResolution = 0;  // 21
    long imageWidth = 0;    // 22 pixels
    long imageLength = 0;   // 23 rows
    short bitsPerPixel = 0; // 26: 1, 8, 24
    long pixelType = 0;     // 28: TWPT_*
    float frameLeft = 0;    // 30..33 inches, the frame the page was scanned with
    float frameTop = 0;
    float frameRight = 0;
    float frameBottom = 0;
    long documentNumber = 0; // 34: 1-based, one per sheet
    long pageNumber = 0;     // 35: 1-based within the acquisition
    long frameNumber = 0;    // 36: 1 (one frame per page)
};

// Where a running acquisition stands: the page being read (1-based, 0 before the first)
// and the bytes of it read so far against the bytes the device announced for it.
struct AcquisitionProgress {
    long page = 0;
    long long bytesRead = 0;
    long long expectedBytes = -1; // -1: the device does not know the page's length
    // 0..100 within the page, or -1 when the length is not known.
    int Percent() const {
        if (expectedBytes <= 0) return -1;
        if (bytesRead >= expectedBytes) return 100;
        return static_cast<int>(bytesRead * 100 / expectedBytes);
    }
};

class CDynamictwain {
public:
    virtual ~CDynamictwain() = default;

    // The one listener (not owned; nullptr for none). Set it before AcquireImage.
    virtual void SetEventListener(IDynamictwainEvents* listener) = 0;

    // ---- Source manager and sources ----
    virtual bool OpenSourceManager() = 0;              // 6: false: no source manager
    virtual bool CloseSourceManager() = 0;             // 7: also closes an open source
    virtual short SourceCount() = 0;                   // 16: 0 when the manager is closed
    virtual std::string SourceNameAt(short index) = 0; // 17: "" for a bad index
    virtual bool SelectSourceByIndex(short index) = 0; // 13
    virtual bool OpenSource() = 0;                     // 18: opens the selected source
    virtual bool CloseSource() = 0;                    // 19
    virtual bool DisableSource() = 0;                  // 10: ends a running acquisition
    virtual bool AcquireImage() = 0;                   // 8: true: events follow
    virtual bool DeviceReady() = 0;                    // 113: true once a source is open
    virtual long ScanInProgress() const = 0;           // 105: nonzero while acquiring; any thread

    // ---- The driver's progress indicator (UI thread) ----
    // Where the running acquisition stands; all zero when none runs.
    virtual AcquisitionProgress Progress() const { return {}; }
    // Ends the running acquisition as a cancel in the driver does: no page event follows,
    // event 6 arrives from the event loop (never from inside this call), and
    // ScanInProgress stays nonzero until it has. False when no acquisition runs.
    virtual bool CancelAcquisition() { return false; }
    // While a listener works on an event away from the UI thread, the events that follow
    // must not move the control on (its current page, its page slots, its state): held,
    // the control keeps them queued in their order; released, it delivers them from the
    // event loop as if they had only just arrived. A control without a queue of its own
    // ignores this (its listener then queues what comes meanwhile itself).
    virtual void HoldEvents(bool) {}

    // ---- Transfer set-up ----
    virtual long TransferMode() = 0; // 68: TWSX_*, 1 file transfer
    virtual void TransferMode(long mode) = 0;
    virtual bool DisableAfterAcquire() = 0; // 95
    virtual void DisableAfterAcquire(bool value) = 0;
    virtual bool ShowUI() = 0; // 121: the driver's dialog at AcquireImage
    virtual void ShowUI(bool value) = 0;
    virtual bool DriverUIOption() = 0; // 122
    virtual void DriverUIOption(bool value) = 0;

    // ---- Image settings (need an open source; a refused value throws) ----
    virtual short PixelType() = 0; // 109: TWPT_BW, TWPT_GRAY, TWPT_RGB
    virtual void PixelType(short type) = 0;
    virtual short BitDepth() = 0; // 108: 1, 8, 24
    virtual void BitDepth(short depth) = 0;
    virtual float Resolution() = 0; // 118: dots per inch
    virtual void Resolution(float dpi) = 0;
    // 146: the scan frame in inches from the top-left corner of the scan area; an all-zero
    // frame means the whole scan area. Values are clipped to the area.
    virtual bool SetImageLayout(float left, float top, float right, float bottom) = 0;

    // ---- Feeder, duplex, count ----
    virtual bool FeederEnabled() = 0; // 97
    virtual void FeederEnabled(bool value) = 0;
    virtual bool DuplexEnabled() = 0; // 96
    virtual void DuplexEnabled(bool value) = 0;
    virtual bool FeederLoaded() = 0; // 98: paper in the feeder
    virtual bool QueryMode() = 0;    // 127
    virtual void QueryMode(bool value) = 0;
    virtual long DuplexType() = 0; // 106: TWDX_*, 2 when a duplex unit exists
    virtual bool AutoFeed() = 0;   // 126
    virtual void AutoFeed(bool value) = 0;
    virtual short TransferCount() = 0; // 128: -1 all pages
    virtual void TransferCount(short count) = 0;

    // 86: writes the page of the last "page transferred" event in the format given
    // (TWFF_BMP 2, TWFF_PNG 7, FF_PCX 100, FF_GIF 101, FF_TGA 102, FF_WMF 103, FF_EMF 104).
    // Called while no page is held (before the first page of an acquisition), it records
    // path and format as the default target: in file transfer mode every page is then
    // also written there as it arrives. An empty path writes to the default target.
    virtual bool SaveImageToFile(const std::string& path, long format) = 0;

    // Beyond the automation interface, for a listener that encodes pages itself: the page
    // of the last "page transferred" event in memory, handed over without a copy. A page
    // taken this way is written nowhere by the control (not to the default target), and
    // the control holds its next page back until every copy of the handle is gone, so a
    // slow consumer never piles up pages. The handle may be used on any thread; the
    // control must outlive it. Null when no page is current or the control cannot hand
    // pages over (callers then use SaveImageToFile).
    virtual std::shared_ptr<const PageImage> TakePageImage() { return nullptr; }
    // For such a listener, which makes each page into JPEG data with these options: the
    // control may make that data while the page arrives (PageImage::jpeg, for pages taken
    // with TakePageImage); it may still be finishing the data when it hands the page over
    // and goes on to the next (PageJpeg::Data waits for it). Pages the control converts or
    // turns after reading them get none. Null: no JPEG data (the default). Set it before
    // AcquireImage. A control that cannot ignores it.
    virtual void EncodeArrivingPages(const codec::JpegOptions*) {}

    // ---- Generic capability interface (the container model: one value, enumeration, range, array) ----
    virtual long Capability() = 0; // 38: capability id
    virtual void Capability(long id) = 0;
    virtual long CapType() = 0; // 44: TWON_*
    virtual void CapType(long type) = 0;
    virtual bool CapGet() = 0; // 41: reads `Capability` into the container
    // 42: sets `Capability` from the container: one value -> CapValue; enumeration ->
    // the item at CapCurrentIndex of the last CapGet; range -> CapCurrentValue. A value
    // the source does not offer is refused (false, ErrorCode err::BadValue).
    virtual bool CapSet() = 0;
    virtual double CapValue() = 0; // 55
    virtual void CapValue(double value) = 0;
    virtual double CapMinValue() = 0;     // 45
    virtual double CapMaxValue() = 0;     // 46
    virtual double CapStepSize() = 0;     // 47
    virtual double CapDefaultValue() = 0; // 48
    virtual double CapCurrentValue() = 0; // 49
    virtual void CapCurrentValue(double value) = 0;
    virtual long CapCurrentIndex() = 0; // 50
    virtual void CapCurrentIndex(long index) = 0;
    virtual long CapDefaultIndex() = 0;       // 51
    virtual double CapItemAt(long index) = 0; // 52
    virtual long CapNumItems() = 0;           // 54

    virtual long ErrorCode() = 0;          // 62: last failure, 0 none
    virtual std::string ErrorString() = 0; // words for ErrorCode (for logs)

    // ---- Image information of the current page (DISPIDs 20..36) ----
    virtual float XResolution() = 0;   // 20
    virtual float YResolution() = 0;   // 21
    virtual long ImageWidth() = 0;     // 22
    virtual long ImageLength() = 0;    // 23
    virtual short BitsPerPixel() = 0;  // 26
    virtual long ImagePixelType() = 0; // 28
    virtual float FrameLeft() = 0;     // 30 inches
    virtual float FrameTop() = 0;      // 31
    virtual float FrameRight() = 0;    // 32
    virtual float FrameBottom() = 0;   // 33
    virtual long DocumentNumber() = 0; // 34
    virtual long PageNumber() = 0;     // 35
    virtual long FrameNumber() = 0;    // 36
    // All of the above at once.
    virtual ImageInfo CurrentImageInfo() = 0;
};

} // namespace scancontrol
