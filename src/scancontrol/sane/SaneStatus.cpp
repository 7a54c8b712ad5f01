// The one table from SANE statuses to the control's error codes (ControlErrors.h says
// which condition each code gives in the acquisition's condition table).
#include "scancontrol/sane/SaneStatus.h"

#include <sane/sane.h>

#include "scancontrol/ControlErrors.h"

namespace scancontrol::sanectl {

long ControlErrorFromSaneStatus(int saneStatus, SaneStage stage) {
    switch (static_cast<SANE_Status>(saneStatus)) {
        case SANE_STATUS_GOOD: return err::None;
        case SANE_STATUS_UNSUPPORTED: return err::BadProtocol; // -> 7
        case SANE_STATUS_CANCELLED: return err::Failure;       // reported as event 6, not as an error
        case SANE_STATUS_DEVICE_BUSY: return err::Denied;      // -> 14: in use elsewhere
        case SANE_STATUS_INVAL:
            return stage == SaneStage::Open ? err::DeviceNotFound // -> 16
                                            : err::BadValue;      // -> 8
        case SANE_STATUS_EOF: return err::CheckDeviceOnline;      // no data where a page was due -> 21
        case SANE_STATUS_JAMMED: return err::PaperJam;            // -> 18
        case SANE_STATUS_NO_DOCS: return err::NoDocuments;        // before the first page -> 1
        case SANE_STATUS_COVER_OPEN: return err::CoverOpen;       // -> 22 interlock
        case SANE_STATUS_IO_ERROR: return err::CheckDeviceOnline; // -> 21
        case SANE_STATUS_NO_MEM: return err::OutOfMemory;         // -> 1
        case SANE_STATUS_ACCESS_DENIED: return err::Denied;       // -> 14
    }
    return err::Failure;
}

std::string SaneStatusText(int saneStatus) { return sane_strstatus(static_cast<SANE_Status>(saneStatus)); }

} // namespace scancontrol::sanectl
