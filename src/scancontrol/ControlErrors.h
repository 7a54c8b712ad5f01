#pragma once
// The scanning control's error codes (`ErrorCode`, negative, 0 = no failure) and the
// automation error that carries them.
//
// The codes are chosen against the acquisition's condition table (which turns them into
// the condition codes the rest of the program reads): that table's results 6..26 are
// read as TWAIN's condition list in its order (6 bad capability, 7 bad protocol, 8 bad
// value, 9 sequence error, 10 bad destination, 11 capability unsupported, 12 bad
// operation, 13 capability sequence error, 14 denied, 15 file exists, 16 file not found,
// 17 not empty, 18 paper jam, 19 double feed, 20 file write error, 21 check device
// online, 22 interlock (cover open), 23 damaged corner, 24 focus error, 25 document too
// light, 26 document too dark). Conditions the table cannot express (out of memory,
// no documents) use codes that give 1, the general failure.

#include <stdexcept>
#include <string>

namespace scancontrol {

namespace err {
constexpr long None = 0;
constexpr long Failure = -1001;           // general failure                 -> 1
constexpr long OutOfMemory = -1002;       // SANE_STATUS_NO_MEM              -> 1
constexpr long BadCapability = -1003;     // capability id not known         -> 6
constexpr long BadProtocol = -1004;       // call not supported by this control -> 7
constexpr long BadValue = -1006;          // value refused by the device (SANE_STATUS_INVAL) -> 8
constexpr long SequenceError = -1013;     // call not allowed in the current state -> 9
constexpr long BadDestination = -1009;    // no source selected / bad index  -> 10
constexpr long CapUnsupported = -1010;    // the source does not offer the capability -> 11
constexpr long CapBadOperation = -1011;   // e.g. setting a read-only capability or an array -> 12
constexpr long CapSequenceError = -1016;  // capability cannot be used now (inactive option) -> 13
constexpr long Denied = -1020;            // SANE_STATUS_ACCESS_DENIED, SANE_STATUS_DEVICE_BUSY -> 14
constexpr long DeviceNotFound = -1023;    // the source is no longer there   -> 16
constexpr long NoDocuments = -1040;       // SANE_STATUS_NO_DOCS before the first page -> 1
constexpr long PaperJam = -1032;          // SANE_STATUS_JAMMED              -> 18
constexpr long DoubleFeed = -1033;        // double feed detected            -> 19
constexpr long FileWriteError = -1034;    // SaveImageToFile could not write -> 20
constexpr long CheckDeviceOnline = -1035; // SANE_STATUS_IO_ERROR, EOF too early -> 21
constexpr long CoverOpen = -1070;         // SANE_STATUS_COVER_OPEN          -> 22
constexpr long NoSourceManager = -1050;   // SANE could not be initialised   -> 1
constexpr long NoImage = -1060;           // no page transferred to save     -> 1
constexpr long Unsupported = -1061;       // value not supported by this control (e.g. file format) -> 1
} // namespace err

// An automation error: a call failed in a way that its result cannot express. The code
// is also stored in the control, readable afterwards through `ErrorCode`.
class AutomationError : public std::runtime_error {
public:
    AutomationError(long code, const std::string& message) : std::runtime_error(message), code_(code) {}
    long Code() const { return code_; }
private:
    long code_;
};

} // namespace scancontrol
