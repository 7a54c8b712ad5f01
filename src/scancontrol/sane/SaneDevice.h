#pragma once
// One open SANE device. Every member runs on the SANE worker thread only (SaneWorker.h);
// the UI thread holds the object only to pass it into worker tasks.

#include <functional>
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

    // Reads every option's descriptor and value; 0 or an error code (`out` is then left
    // as it was).
    long Snapshot(OptionSnapshot* out);
    // Writes in order; each write sees the options as the previous one left them.
    // 0 or the error code of the first write that failed. Only a write marked optional
    // whose option the device lacks, or has inactive, is passed over.
    long Apply(const std::vector<OptionWrite>& writes);
    // Reads one option afresh (sensors); 0 or an error code.
    long ReadNumber(const std::string& name, double* value);
    // Runs one acquisition to its end; reports through the sink. sane_cancel is sent
    // exactly once before it returns, whatever happened.
    void Acquire(const AcquireJob& job, AcquisitionSink& sink);

    struct ArrivingJpeg;

private:
    // The number of options (option 0), read after asking for the descriptors afresh.
    long OptionCount(int* count);
    // The option's index in `index`, -1 when the device has no such option; 0 or the
    // error code of a lookup that failed.
    long FindOption(const std::string& name, int* index);
    // The resolution the device is set to scan at, in `x` and `y`; both left as they are
    // when the device has no resolution option. 0 or an error code.
    long ReadResolution(float* x, float* y);
    // Reads one page (all its frames) after a successful sane_start; a SANE status.
    // Reads one page; `allRead` runs once a frame's announced bytes have all arrived,
    // before the read that reports its end.
    // `jpeg`, when given, makes the page into JPEG data while it arrives, if it can
    // (begun on it then; the data is finished on its own thread after the page's end).
    int ReadPage(const AcquireJob& job, PageImage& page, const std::function<void()>& allRead, ArrivingJpeg* jpeg);

    void* handle_ = nullptr; // SANE_Handle
};

} // namespace scancontrol::sanectl
