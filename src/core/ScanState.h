#pragma once
// The scan state of the program, and what the message routine needs to know of it.

namespace core {

enum class ScanState { Idle, Modal, Starting, Running };

// Origin of the request being served.
enum RequestOrigin : int { kOriginButton = 0, kOriginLocalPush = 1, kOriginNetworkPush = 2 };

// Answers what scan, if any, is being served; implemented by the scan dispatch.
class IScanStatus {
public:
    virtual ~IScanStatus() = default;
    virtual ScanState GetScanState() const = 0;
    // Origin of the request being served (meaningful while Starting or Running).
    virtual int CurrentOrigin() const = 0;
    // True while the request being served runs unattended: a network push, from its
    // acceptance up to and including the handling of its acquisition's end. This answer
    // goes by the state alone; the dispatch, which knows when the end has been handled,
    // answers for itself.
    virtual bool Unattended() const {
        ScanState state = GetScanState();
        return (state == ScanState::Starting || state == ScanState::Running) && CurrentOrigin() == kOriginNetworkPush;
    }
};

} // namespace core
