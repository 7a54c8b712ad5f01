#pragma once
// One open SANE device. Every member runs on the SANE worker thread only (SaneWorker.h);
// the UI thread holds the object only to pass it into worker tasks.

#include <string>
#include <vector>

#include "scancontrol/sane/Acquisition.h"
#include "scancontrol/sane/OptionModel.h"

namespace scancontrol::sanectl {

class SaneDevice {
public:
    SaneDevice() = default;
    ~SaneDevice();
    SaneDevice(const SaneDevice&) = delete;
    SaneDevice& operator=(const SaneDevice&) = delete;

    // 0 or the control's error code.
    long Open(const std::string& name);
    void Close();
    bool IsOpen() const { return handle_ != nullptr; }

    OptionSnapshot Snapshot();
    // Writes in order; each write sees the options as the previous one left them.
    // 0 or the error code of the first write that failed.
    long Apply(const std::vector<OptionWrite>& writes);
    // Reads one option afresh (sensors); 0 or an error code.
    long ReadNumber(const std::string& name, double* value);
    // Runs one acquisition to its end; reports through the sink. sane_cancel is sent
    // exactly once before it returns, whatever happened.
    void Acquire(const AcquireJob& job, AcquisitionSink& sink);

private:
    int FindOption(const std::string& name);
    // Reads one page (all its frames) after a successful sane_start; a SANE status.
    int ReadPage(const AcquireJob& job, PageImage& page);

    void* handle_ = nullptr;  // SANE_Handle
};

} // namespace scancontrol::sanectl
