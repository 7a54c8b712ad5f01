#pragma once
// The rules of fax printing that do not depend on the print system: the error codes,
// the checks a page file passes, the printable area of a queue's page in device pixels
// and the fit-to-page rule.

#include <cstddef>
#include <cstdint>

#include "delivery/FaxQueues.h"

namespace delivery {

// Fax error codes, kept in the fax handler's lastError.
enum FaxError : int {
    kFaxNoPrinterList = -10,     // the list of queues cannot be read
    kFaxNoPrinter = -11,         // no print server answers, or it has no fax queue
    kFaxNoDeviceContext = -12,   // the fax queue's page cannot be read
    kFaxReleaseFailed = -13,     // the connection to the queue cannot be released
    kFaxPageNotStarted = -14,    // a page cannot be started
    kFaxBadPageFile = -15,       // the page file cannot be read or is no valid bitmap file
    kFaxPageNotEnded = -17,      // a page cannot be drawn and ended
    kFaxJobNotEnded = -18,       // the job cannot be ended
    kFaxJobNotStarted = -19,     // the job cannot be started
    kFaxNoPlatformVersion = -20, // the platform version cannot be read
    kFaxUnsupportedPlatform = -21,
};

// The title of every fax job.
constexpr const char* kFaxJobTitle = "printer";

// The platform class that chooses the fax queue: on this system the first queue whose
// type carries the fax bit.
constexpr int kFaxPlatformClass = 5;
constexpr int kFaxPlatformClassUnknown = 6;

// Resolution used for a fax queue that states none (fax "fine" mode).
constexpr double kFaxDefaultXDpi = 204, kFaxDefaultYDpi = 196;

struct PixelSize {
    int width = 0;
    int height = 0;
};

// A queue's geometry with its resolution settled (the fax default where it stated
// none) and its printable area in device pixels, whole pixels only.
struct PrintableArea {
    double xDpi = 0, yDpi = 0;
    PixelSize pixels;
};
PrintableArea PrintableAreaOf(const FaxPageGeometry& geometry);

// What a page file's headers say: the image's width and absolute height in pixels.
// False unless the file starts with "BM", its size field equals its length (below
// 4 GiB) and its headers are present.
bool ReadFaxBitmapSize(const uint8_t* file, size_t length, PixelSize& size);

// The fit-to-page rule: the drawn size of a width × height image in the printable
// area, proportions kept; one side fills the area and the other is truncated.
// Computed in single precision. An empty image or area draws nothing (0 x 0).
PixelSize FitToPrintableArea(PixelSize image, PixelSize area);

} // namespace delivery
