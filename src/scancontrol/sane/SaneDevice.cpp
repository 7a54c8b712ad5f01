// One SANE device on the worker thread: options and acquisition. See SaneDevice.h.
#include "scancontrol/sane/SaneDevice.h"

#include <sane/sane.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <climits>
#include <cstdlib>
#include <cmath>
#include <cerrno>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "scancontrol/ControlErrors.h"
#include "scancontrol/ImageFileWriter.h"
#include "scancontrol/Twain.h"
#include "scancontrol/sane/PageOps.h"
#include "scancontrol/sane/ReaderThreads.h"
#include "platform/Process.h"
#include "scancontrol/sane/SaneStatus.h"

namespace scancontrol::sanectl {

namespace {

SANE_Handle H(void* h) { return static_cast<SANE_Handle>(h); }

// Sends sane_cancel once when the acquisition's scope ends, on every path out.
//
// Device quirk: backends built on sanei_thread read the device in a reader thread that
// sane_cancel ends with an asynchronous pthread_cancel. Cancelled while it allocates or
// frees memory (as it starts, or as it ends after the last line), such a reader dies
// holding the C library's allocator lock, and the process later waits for that lock
// forever: in sane_cancel, in the next sane_start, or at exit (seen with the `test`
// backend on a loaded machine). So the guard cancels only when every reader thread the
// last sane_start created has ended or is blocked in a system call that is not a lock
// wait (a reader with an unfinished page blocks writing to its full pipe; one that has
// delivered its page ends by itself). It waits for that at most 5 s; where the kernel
// does not say what a thread is doing, it falls back to waiting for the readers to end
// (finished page, at most 1 s) or to 100 ms since sane_start. Backends that read in a
// child process or in the caller's thread cost nothing. SaneWorker::Call's time limit
// keeps the UI thread responsive should a backend hang all the same.
class CancelGuard {
public:
    explicit CancelGuard(SANE_Handle h) : h_(h) {}
    ~CancelGuard() {
        AwaitReadersSettled();
        sane_cancel(h_);
    }
    CancelGuard(const CancelGuard&) = delete;
    CancelGuard& operator=(const CancelGuard&) = delete;

    // Around each sane_start: the threads that appear during it are the backend's readers.
    void Starting() {
        // Between feeder pages the backend ends the previous page's reader itself.
        AwaitReadersSettled();
        before_ = ThreadIds();
        started_ = std::chrono::steady_clock::now();
        pageComplete_ = false;
    }
    void Started() { readers_ = before_.empty() ? std::vector<long>{} : ReadersStartedHere(before_, ThreadIds()); }
    // The page has been read to its end.
    void PageComplete() { pageComplete_ = true; }
    // Every byte the frame announced has been read: the reader has written its last line
    // and is on its way out (freeing its buffers, ending its thread). The read that
    // reports the end makes the backend cancel the reader at once, so give it the time to
    // end by itself first (at most 1 s).
    void AwaitReadersEnded() const {
        const auto limit = std::chrono::steady_clock::now() + kReaderEnd;
        while (!ReadersGone() && std::chrono::steady_clock::now() < limit)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

private:
    // True when every reader has ended or waits in a system call; empty when unknown.
    std::optional<bool> ReadersSettled() const {
        for (long id : readers_) switch (PlaceOf(id)) {
                case ThreadPlace::Gone:
                case ThreadPlace::Waiting: break;
                case ThreadPlace::Busy: return false;
                case ThreadPlace::Unknown: return std::nullopt;
            }
        return true;
    }
    bool ReadersGone() const {
        for (long id : readers_)
            if (PlaceOf(id) != ThreadPlace::Gone) return false;
        return true;
    }
    void AwaitReadersSettled() const {
        const auto now = std::chrono::steady_clock::now();
        const auto limit = now + kSettleLimit;
        for (;;) {
            const std::optional<bool> settled = ReadersSettled();
            if (settled.value_or(false)) return;
            const auto t = std::chrono::steady_clock::now();
            if (t >= limit) return;
            if (!settled.has_value()) {
                // The kernel does not say: the older rule, by the clock.
                if (pageComplete_ ? ReadersGone() || t >= now + kReaderEnd : t >= started_ + kStartSettle) return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    static constexpr std::chrono::milliseconds kSettleLimit{5000};
    static constexpr std::chrono::milliseconds kStartSettle{100}; // unfinished page, unknown state
    static constexpr std::chrono::milliseconds kReaderEnd{1000};  // finished page, unknown state
    SANE_Handle h_;
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
    std::vector<long> before_;
    std::vector<long> readers_;
    bool pageComplete_ = true;
};

OptUnit Unit(SANE_Unit u) {
    switch (u) {
        case SANE_UNIT_PIXEL: return OptUnit::Pixel;
        case SANE_UNIT_BIT: return OptUnit::Bit;
        case SANE_UNIT_MM: return OptUnit::Mm;
        case SANE_UNIT_DPI: return OptUnit::Dpi;
        case SANE_UNIT_PERCENT: return OptUnit::Percent;
        case SANE_UNIT_MICROSECOND: return OptUnit::Microsecond;
        default: return OptUnit::None;
    }
}

double FromWord(SANE_Value_Type type, SANE_Word w) {
    return type == SANE_TYPE_FIXED ? SANE_UNFIX(w) : static_cast<double>(w);
}

SANE_Word ToWord(SANE_Value_Type type, double v) {
    if (type == SANE_TYPE_FIXED) return SANE_FIX(v);
    if (type == SANE_TYPE_BOOL) return v != 0 ? SANE_TRUE : SANE_FALSE;
    return static_cast<SANE_Word>(std::lround(v));
}

// Pages posted to the UI thread and still in memory. One such page while the next is read
// keeps the scanner and the page's encoding busy at the same time; allowing more only
// holds more pages (tens of megabytes each) without finishing sooner.
constexpr int kPagesInFlight = 1;

} // namespace

SaneDevice::~SaneDevice() { Close(); }

long SaneDevice::Open(const std::string& name) {
    Close();
    SANE_Handle h = nullptr;
    SANE_Status st = sane_open(name.c_str(), &h);
    if (st != SANE_STATUS_GOOD) return ControlErrorFromSaneStatus(st, SaneStage::Open);
    handle_ = h;
    return 0;
}

void SaneDevice::Close() {
    if (handle_) sane_close(H(handle_));
    handle_ = nullptr;
}

// A write may answer SANE_INFO_RELOAD_OPTIONS: the descriptors have changed and must be
// fetched again before any option is used. Every use of the options therefore begins
// here, with descriptor 0, which a backend that forwards to a network daemon takes as
// the moment to fetch them (until then it refuses every option call). Descriptors are
// never kept from one use to the next.
long SaneDevice::OptionCount(int* count) {
    if (!handle_) return err::SequenceError;
    if (!sane_get_option_descriptor(H(handle_), 0)) return err::CheckDeviceOnline;
    SANE_Int n = 0;
    const SANE_Status st = sane_control_option(H(handle_), 0, SANE_ACTION_GET_VALUE, &n, nullptr);
    if (st != SANE_STATUS_GOOD) return ControlErrorFromSaneStatus(st, SaneStage::Option);
    if (n < 1) return err::CheckDeviceOnline;
    *count = n;
    return 0;
}

long SaneDevice::Snapshot(OptionSnapshot* out) {
    OptionSnapshot s;
    int count = 0;
    if (long code = OptionCount(&count)) return code;
    for (SANE_Int i = 1; i < count; ++i) {
        const SANE_Option_Descriptor* d = sane_get_option_descriptor(H(handle_), i);
        if (!d) return err::CheckDeviceOnline; // an option the device counts but cannot describe
        OptionInfo o;
        o.index = i;
        o.name = d->name ? d->name : "";
        o.title = d->title ? d->title : "";
        o.description = d->desc ? d->desc : "";
        switch (d->type) {
            case SANE_TYPE_BOOL: o.type = OptType::Bool; break;
            case SANE_TYPE_INT: o.type = OptType::Int; break;
            case SANE_TYPE_FIXED: o.type = OptType::Fixed; break;
            case SANE_TYPE_STRING: o.type = OptType::String; break;
            case SANE_TYPE_BUTTON: o.type = OptType::Button; break;
            default: o.type = OptType::Group; break;
        }
        o.unit = Unit(d->unit);
        o.size = d->size;
        o.count = (o.type == OptType::Int || o.type == OptType::Fixed || o.type == OptType::Bool)
                      ? std::max<int>(1, d->size / static_cast<int>(sizeof(SANE_Word)))
                      : 1;
        o.active = SANE_OPTION_IS_ACTIVE(d->cap);
        o.settable = SANE_OPTION_IS_SETTABLE(d->cap);
        o.readable = (d->cap & SANE_CAP_SOFT_DETECT) != 0;
        o.advanced = (d->cap & SANE_CAP_ADVANCED) != 0;
        o.automatic = (d->cap & SANE_CAP_AUTOMATIC) != 0;
        switch (d->constraint_type) {
            case SANE_CONSTRAINT_RANGE:
                o.constraint = OptConstraint::Range;
                o.minValue = FromWord(d->type, d->constraint.range->min);
                o.maxValue = FromWord(d->type, d->constraint.range->max);
                o.quant = FromWord(d->type, d->constraint.range->quant);
                break;
            case SANE_CONSTRAINT_WORD_LIST:
                o.constraint = OptConstraint::WordList;
                for (SANE_Int k = 1; k <= d->constraint.word_list[0]; ++k)
                    o.words.push_back(FromWord(d->type, d->constraint.word_list[k]));
                break;
            case SANE_CONSTRAINT_STRING_LIST:
                o.constraint = OptConstraint::StringList;
                for (int k = 0; d->constraint.string_list[k]; ++k) o.strings.emplace_back(d->constraint.string_list[k]);
                break;
            default: break;
        }
        if (o.active && o.readable) {
            SANE_Status st = SANE_STATUS_GOOD;
            if (o.type == OptType::String && d->size > 0) {
                std::vector<char> buf(static_cast<size_t>(d->size) + 1, '\0');
                st = sane_control_option(H(handle_), i, SANE_ACTION_GET_VALUE, buf.data(), nullptr);
                if (st == SANE_STATUS_GOOD) o.text = buf.data();
            } else if (o.type == OptType::Int || o.type == OptType::Fixed || o.type == OptType::Bool) {
                std::vector<SANE_Word> words(static_cast<size_t>(o.count), 0);
                st = sane_control_option(H(handle_), i, SANE_ACTION_GET_VALUE, words.data(), nullptr);
                if (st == SANE_STATUS_GOOD)
                    for (SANE_Word w : words) o.values.push_back(FromWord(d->type, w));
            }
            if (st != SANE_STATUS_GOOD) return ControlErrorFromSaneStatus(st, SaneStage::Option);
        }
        s.options.push_back(std::move(o));
    }
    *out = std::move(s);
    return 0;
}

long SaneDevice::FindOption(const std::string& name, int* index) {
    *index = -1;
    int count = 0;
    if (long code = OptionCount(&count)) return code;
    for (SANE_Int i = 1; i < count; ++i) {
        const SANE_Option_Descriptor* d = sane_get_option_descriptor(H(handle_), i);
        if (!d) return err::CheckDeviceOnline;
        if (d->name && name == d->name) {
            *index = i;
            return 0;
        }
    }
    return 0;
}

long SaneDevice::Apply(const std::vector<OptionWrite>& writes) {
    if (!handle_) return err::SequenceError;
    for (const auto& w : writes) {
        int i = -1;
        if (long code = FindOption(w.name, &i)) return code;
        if (i < 0) {
            if (w.optional) continue;
            return err::CapUnsupported;
        }
        const SANE_Option_Descriptor* d = sane_get_option_descriptor(H(handle_), i);
        if (!d) return err::CheckDeviceOnline;
        if (!SANE_OPTION_IS_ACTIVE(d->cap)) {
            if (w.optional) continue;
            return err::CapSequenceError;
        }
        if (!SANE_OPTION_IS_SETTABLE(d->cap)) return err::CapBadOperation;
        SANE_Int info = 0;
        SANE_Status st;
        if (w.automatic) {
            st = sane_control_option(H(handle_), i, SANE_ACTION_SET_AUTO, nullptr, &info);
        } else if (d->type == SANE_TYPE_STRING) {
            std::vector<char> buf(static_cast<size_t>(std::max<SANE_Int>(d->size, 1)), '\0');
            std::strncpy(buf.data(), w.text.c_str(), buf.size() - 1);
            st = sane_control_option(H(handle_), i, SANE_ACTION_SET_VALUE, buf.data(), &info);
        } else if (d->type == SANE_TYPE_BUTTON) {
            st = sane_control_option(H(handle_), i, SANE_ACTION_SET_VALUE, nullptr, &info);
        } else if (d->type == SANE_TYPE_BOOL || d->type == SANE_TYPE_INT || d->type == SANE_TYPE_FIXED) {
            const size_t n =
                static_cast<size_t>(std::max<SANE_Int>(1, d->size / static_cast<SANE_Int>(sizeof(SANE_Word))));
            std::vector<SANE_Word> words(n);
            for (size_t k = 0; k < n; ++k) {
                const double v = w.numbers.empty() ? 0.0 : w.numbers[std::min(k, w.numbers.size() - 1)];
                words[k] = ToWord(d->type, v);
            }
            st = sane_control_option(H(handle_), i, SANE_ACTION_SET_VALUE, words.data(), &info);
        } else {
            return err::CapBadOperation;
        }
        if (st != SANE_STATUS_GOOD) return ControlErrorFromSaneStatus(st, SaneStage::Option);
    }
    return 0;
}

long SaneDevice::ReadNumber(const std::string& name, double* value) {
    int i = -1;
    if (long code = FindOption(name, &i)) return code;
    if (i < 0) return err::CapUnsupported;
    const SANE_Option_Descriptor* d = sane_get_option_descriptor(H(handle_), i);
    if (!d) return err::CheckDeviceOnline;
    if (!SANE_OPTION_IS_ACTIVE(d->cap)) return err::CapSequenceError;
    if (d->type != SANE_TYPE_BOOL && d->type != SANE_TYPE_INT && d->type != SANE_TYPE_FIXED)
        return err::CapBadOperation;
    std::vector<SANE_Word> words(
        static_cast<size_t>(std::max<SANE_Int>(1, d->size / static_cast<SANE_Int>(sizeof(SANE_Word)))));
    SANE_Status st = sane_control_option(H(handle_), i, SANE_ACTION_GET_VALUE, words.data(), nullptr);
    if (st != SANE_STATUS_GOOD) return ControlErrorFromSaneStatus(st, SaneStage::Option);
    *value = FromWord(d->type, words[0]);
    return 0;
}

long SaneDevice::ReadResolution(float* x, float* y) {
    // Not there, inactive, or not a number: the device does not report it by that name.
    auto absent = [](long code) {
        return code == err::CapUnsupported || code == err::CapSequenceError || code == err::CapBadOperation;
    };
    // The common option first, then the separate horizontal and vertical ones.
    double value = 0;
    long code = ReadNumber("resolution", &value);
    if (code == 0) {
        *x = *y = static_cast<float>(value);
        return 0;
    }
    if (!absent(code)) return code;
    code = ReadNumber("x-resolution", &value);
    if (absent(code)) return 0; // no resolution at all: the caller's value stands
    if (code) return code;
    *x = *y = static_cast<float>(value);
    code = ReadNumber("y-resolution", &value);
    if (code == 0) *y = static_cast<float>(value);
    else if (!absent(code)) return code;
    return 0;
}

namespace {

// Sizes the page buffer. The bytes are not zeroed: the reads fill them, and each memory
// page is first touched (faulted in) by the read that brings its rows, while the scanner
// goes on delivering.
void SizePixels(PageImage& page, size_t bytes) { page.pixels.resize(bytes); }

} // namespace

// A page made into JPEG data while its rows arrive: the rows are encoded on a thread of
// their own as the reads bring them in, so reading goes on meanwhile. The reading thread
// does not wait for the last rows' encoding: the page goes out with the data still in
// the making and the scanner starts the next page, while whoever takes the data waits
// for it (PageJpeg::Data). Dropped (and the page left without data) when the page turns
// out other than announced.
struct SaneDevice::ArrivingJpeg final : PageJpeg {
    codec::JpegOptions options;
    float xDpi = 0, yDpi = 0;

    ~ArrivingJpeg() override { Stop(); }

    void Begin(const PageImage& page, long lines) {
        format_ = page.bitsPerPixel == 8 ? codec::PixelFormat::Gray8 : codec::PixelFormat::Rgb24;
        width_ = static_cast<int>(page.width);
        lines_ = lines;
        // A large page is encoded in two parts at once where there are two processors:
        // encoding takes longer than reading, and the lower part's thread starts as soon
        // as its first rows are in.
        const bool large = static_cast<double>(page.width) * static_cast<double>(lines) >= kPartsFromPixels;
        const int parts = large && std::thread::hardware_concurrency() >= 2 ? 2 : 1;
        if (encoder_.Begin(width_, static_cast<int>(lines), format_, xDpi, yDpi, options, parts) != codec::Status::Ok)
            return;
        partsLeft_ = encoder_.Parts();
        for (int part = 0; part < encoder_.Parts(); ++part) {
            encoded_[part] = encoder_.PartBegin(part);
            threads_[part] = std::thread([this, part] { Encode(part); });
        }
    }
    bool Begun() const { return threads_[0].joinable(); }
    // The reading thread: the page's first `filled` bytes, at `rows` (stride bytes a row),
    // are in. The buffer must not move while the encoding runs (Drop first).
    // The encoding threads are woken for a batch of rows, not for every read: a read
    // brings a few rows only, and waking them for each cost more than encoding them.
    void Feed(const std::uint8_t* rows, long stride, size_t filled) {
        if (!Begun()) return;
        const long arrived = static_cast<long>(filled / static_cast<size_t>(stride));
        if (arrived - told_ < kBatchRows) return;
        told_ = arrived;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            rows_ = rows;
            stride_ = stride;
            arrived_ = arrived;
        }
        wake_.notify_all();
    }
    // The page will not be the one the data was begun for.
    void Drop() { Stop(); }
    // The reading thread: every row is in and the page is `height` rows high. The data
    // is finished on the encoding threads.
    void Complete(const std::uint8_t* rows, long stride, long height) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            rows_ = rows;
            stride_ = stride;
            arrived_ = height;
            allArrived_ = true;
            height_ = height;
        }
        wake_.notify_all();
    }
    const codec::JpegData* Data() const override {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait(lock, [this] { return finished_; });
        return data_.get();
    }

private:
    // A part's encoding thread: the part's rows that have arrived and are not encoded
    // yet, until all of them are in (or it is stopped, or the page ended short of them).
    // The last part to end makes the data, when every row of the page went in.
    void Encode(int part) {
        // The encoding gives way to the threads that read the scanner and hand the pages
        // on: it has the page in memory and can catch up, while they keep the scanner
        // and the consumer going (every hand-over waits for them).
        platform::LowerThreadPriority();
        const long end = encoder_.PartEnd(part);
        std::unique_lock<std::mutex> lock(mutex_);
        bool good = true;
        while (encoded_[part] < end) {
            wake_.wait(lock, [&] { return stop_ || allArrived_ || arrived_ > encoded_[part]; });
            if (stop_ || arrived_ <= encoded_[part]) break; // stopped, or the page ended short
            const long from = encoded_[part], upto = std::min(arrived_, end);
            const std::uint8_t* first = rows_ + static_cast<size_t>(from) * static_cast<size_t>(stride_);
            const long stride = stride_;
            lock.unlock();
            good = encoder_.AddRows(part, first, stride, static_cast<int>(upto - from)) == codec::Status::Ok;
            lock.lock();
            encoded_[part] = upto;
            if (!good) break;
        }
        good = good && !stop_ && encoded_[part] == end;
        lock.unlock();
        good = good && encoder_.FinishPart(part) == codec::Status::Ok;
        lock.lock();
        failed_ = failed_ || !good;
        if (--partsLeft_ > 0) return;
        std::shared_ptr<codec::JpegData> data;
        if (!failed_ && !stop_ && height_ == lines_) {
            lock.unlock();
            data = std::make_shared<codec::JpegData>();
            if (encoder_.Join(data->bytes) == codec::Status::Ok) {
                data->options = options;
                data->width = width_;
                data->height = static_cast<int>(lines_);
                data->format = format_;
                data->xDpi = xDpi;
                data->yDpi = yDpi;
            } else {
                data.reset();
            }
            lock.lock();
        }
        data_ = std::move(data);
        finished_ = true;
        lock.unlock();
        wake_.notify_all();
    }
    void Stop() {
        if (!Begun()) return;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        for (std::thread& thread : threads_)
            if (thread.joinable()) thread.join();
    }

    static constexpr long kBatchRows = 64;
    static constexpr double kPartsFromPixels = 1e6;

    codec::JpegPartsEncoder encoder_;
    long told_ = 0; // the rows the encoding threads were told of (the reading thread's own)
    codec::PixelFormat format_ = codec::PixelFormat::Rgb24;
    int width_ = 0;
    long lines_ = 0; // the rows the page was announced with
    std::thread threads_[2];
    mutable std::mutex mutex_;
    mutable std::condition_variable wake_;
    const std::uint8_t* rows_ = nullptr; // guarded by mutex_, as are the members below
    long stride_ = 1;
    long arrived_ = 0;     // rows in the buffer
    long encoded_[2] = {}; // rows given to each part's encoder (from the page's top)
    long height_ = -1;     // the page's rows, once all have arrived
    int partsLeft_ = 0;    // parts whose thread has not ended
    bool allArrived_ = false;
    bool stop_ = false;
    bool failed_ = false;   // a part was not encoded completely
    bool finished_ = false; // every part's thread is done with the page: data_ is final
    std::shared_ptr<const codec::JpegData> data_;
};

namespace {

// Reads one frame whose bytes go straight into the page (grey 1 or 8 bits, RGB 8 bits):
// no copy of the page is ever made. The buffer is sized from the announced line count;
// only a backend that sends more (or does not know the height) makes it grow. `jpeg`,
// when given, is fed the rows as they arrive.
SANE_Status ReadDirect(SANE_Handle h, const SANE_Parameters& p, AcquisitionLink& link, PageImage& page,
                       const std::function<void()>& allRead, SaneDevice::ArrivingJpeg* jpeg) {
    const size_t bpl = static_cast<size_t>(p.bytes_per_line);
    page.stride = p.bytes_per_line;
    const size_t announced = p.lines > 0 ? static_cast<size_t>(p.lines) * bpl : 0;
    SizePixels(page, announced ? announced : 1024 * bpl);
    size_t filled = 0;
    uint8_t probe[4096];
    bool told = false;
    for (;;) {
        if (link.Cancelled()) return SANE_STATUS_CANCELLED;
        SANE_Int got = 0;
        SANE_Status st;
        if (announced && filled >= announced && !told) {
            told = true;
            allRead();
        }
        if (filled < page.pixels.size()) {
            const size_t room = std::min<size_t>(page.pixels.size() - filled, INT_MAX);
            st = sane_read(h, page.pixels.data() + filled, static_cast<SANE_Int>(room), &got);
            if (st == SANE_STATUS_GOOD) filled += static_cast<size_t>(got);
            if (st == SANE_STATUS_GOOD) link.AddRead(got);
            if (st == SANE_STATUS_GOOD && jpeg) jpeg->Feed(page.pixels.data(), page.stride, filled);
        } else {
            // Full as announced: look for the end before growing anything.
            st = sane_read(h, probe, sizeof probe, &got);
            if (st == SANE_STATUS_GOOD && got > 0) {
                if (jpeg) jpeg->Drop(); // longer than announced; the buffer moves
                page.pixels.resize(page.pixels.size() + page.pixels.size() / 2 + bpl);
                std::memcpy(page.pixels.data() + filled, probe, static_cast<size_t>(got));
                filled += static_cast<size_t>(got);
                link.AddRead(got);
            }
        }
        if (st == SANE_STATUS_EOF) break;
        if (st != SANE_STATUS_GOOD) return st;
    }
    const size_t lines = bpl ? filled / bpl : 0;
    if (lines == 0) return SANE_STATUS_IO_ERROR; // a page without a single line
    page.height = static_cast<long>(lines);
    page.pixels.resize(lines * bpl);
    return SANE_STATUS_GOOD;
}

// Reads a frame that needs converting while it arrives: 16-bit samples (to 8 bits) and
// the single-colour frames of three-pass scanners (into their channel of the page).
SANE_Status ReadConverted(SANE_Handle h, const SANE_Parameters& p, int channel, AcquisitionLink& link, PageImage& page,
                          const std::function<void()>& allRead) {
    if (p.depth != 8 && p.depth != 16) return SANE_STATUS_UNSUPPORTED;
    const size_t bytesPerSample = p.depth == 16 ? 2 : 1;
    const size_t samplesPerLine = static_cast<size_t>(p.pixels_per_line) * (p.format == SANE_FRAME_RGB ? 3 : 1);
    const size_t bpl = static_cast<size_t>(p.bytes_per_line);
    if (samplesPerLine * bytesPerSample > bpl) return SANE_STATUS_INVAL;
    if (channel < 0) page.stride = static_cast<long>(samplesPerLine);
    else page.stride = p.pixels_per_line * 3;
    if (p.lines > 0 && page.pixels.size() < static_cast<size_t>(p.lines) * static_cast<size_t>(page.stride))
        page.pixels.resize(static_cast<size_t>(p.lines) * static_cast<size_t>(page.stride), 0);
    std::vector<uint8_t> line(bpl), chunk(1 << 16);
    size_t inLine = 0, lines = 0;
    const size_t announced = p.lines > 0 ? static_cast<size_t>(p.lines) * bpl : 0;
    size_t received = 0;
    bool told = false;
    for (;;) {
        if (link.Cancelled()) return SANE_STATUS_CANCELLED;
        if (announced && received >= announced && !told) {
            told = true;
            allRead();
        }
        SANE_Int got = 0;
        SANE_Status st = sane_read(h, chunk.data(), static_cast<SANE_Int>(chunk.size()), &got);
        if (st == SANE_STATUS_EOF) break;
        if (st != SANE_STATUS_GOOD) return st;
        received += static_cast<size_t>(got);
        link.AddRead(got);
        size_t k = 0;
        while (k < static_cast<size_t>(got)) {
            const size_t n = std::min(bpl - inLine, static_cast<size_t>(got) - k);
            std::memcpy(line.data() + inLine, chunk.data() + k, n);
            inLine += n;
            k += n;
            if (inLine < bpl) continue;
            inLine = 0;
            const size_t need = (lines + 1) * static_cast<size_t>(page.stride);
            if (page.pixels.size() < need) page.pixels.resize(std::max(need, page.pixels.size() * 3 / 2), 0);
            uint8_t* row = page.pixels.data() + lines * static_cast<size_t>(page.stride);
            for (size_t s = 0; s < samplesPerLine; ++s) {
                uint8_t v;
                if (bytesPerSample == 2) {
                    uint16_t w;
                    std::memcpy(&w, line.data() + 2 * s, 2); // host byte order
                    v = static_cast<uint8_t>(w >> 8);
                } else {
                    v = line[s];
                }
                if (channel < 0) row[s] = v;
                else row[3 * s + static_cast<size_t>(channel)] = v;
            }
            ++lines;
        }
    }
    if (lines == 0) return SANE_STATUS_IO_ERROR;
    page.height = std::max<long>(page.height, static_cast<long>(lines));
    page.pixels.resize(static_cast<size_t>(page.height) * static_cast<size_t>(page.stride));
    return SANE_STATUS_GOOD;
}

} // namespace

int SaneDevice::ReadPage(const AcquireJob& job, PageImage& page, const std::function<void()>& allRead,
                         ArrivingJpeg* jpeg) {
    SANE_Handle h = H(handle_);
    page = PageImage{};
    for (bool first = true;; first = false) {
        SANE_Parameters p;
        SANE_Status st = sane_get_parameters(h, &p);
        if (st != SANE_STATUS_GOOD) return st;
        int channel = -1;
        short bits = 24;
        switch (p.format) {
            case SANE_FRAME_GRAY: bits = p.depth == 1 ? 1 : 8; break;
            case SANE_FRAME_RGB: bits = 24; break;
            case SANE_FRAME_RED: channel = 0; break;
            case SANE_FRAME_GREEN: channel = 1; break;
            case SANE_FRAME_BLUE: channel = 2; break;
            default: return SANE_STATUS_UNSUPPORTED;
        }
        if (first) {
            page.width = p.pixels_per_line;
            page.bitsPerPixel = bits;
            // The page's length as the device announces it: a hand-held or roll-fed
            // device does not know it (lines -1); three-pass colour sends three frames.
            const long long frames = channel < 0 ? 1 : 3;
            job.link->ExpectBytes(p.lines > 0 ? frames * p.lines * static_cast<long long>(p.bytes_per_line) : -1);
        } else if (channel < 0 || page.width != p.pixels_per_line) {
            return SANE_STATUS_UNSUPPORTED; // only three-pass colour has several frames
        }
        if (p.pixels_per_line <= 0 || p.bytes_per_line <= 0) return SANE_STATUS_IO_ERROR;
        const bool direct = channel < 0 && (p.depth == 8 || (p.depth == 1 && p.format == SANE_FRAME_GRAY));
        // JPEG data while the page arrives only for a one-frame page of known length that
        // is delivered as read (8-bit grey or colour, converted to nothing).
        const bool converted = (bits == 24 && job.targetBits == 8) || (bits != 1 && job.targetBits == 1);
        const bool encode = jpeg && first && p.last_frame && direct && bits != 1 && !converted && p.lines > 0;
        if (encode) jpeg->Begin(page, p.lines);
        st = direct ? ReadDirect(h, p, *job.link, page, allRead, encode ? jpeg : nullptr)
                    : ReadConverted(h, p, channel, *job.link, page, allRead);
        if (st != SANE_STATUS_GOOD) return st;
        if (encode) jpeg->Complete(page.pixels.data(), page.stride, page.height);
        if (p.last_frame) break;
        st = sane_start(h);
        if (st != SANE_STATUS_GOOD) return st;
    }
    return SANE_STATUS_GOOD;
}

void SaneDevice::Acquire(const AcquireJob& job, AcquisitionSink& sink) {
    if (!handle_) {
        sink.Post(job.id, TwainEvent::TransferFailed, err::SequenceError, nullptr);
        return;
    }
    // The page's resolution is the one the device is set to scan at, as it reports it
    // now: the control's own view of the options may be older.
    float xResolution = job.xResolution, yResolution = job.yResolution;
    if (long code = ReadResolution(&xResolution, &yResolution)) {
        sink.Post(job.id, TwainEvent::TransferFailed, code, nullptr);
        return;
    }
    CancelGuard guard(H(handle_));
    const AcquisitionLink& link = *job.link;
    long pages = 0;
    for (;;) {
        if (link.Cancelled()) return; // the UI thread has already dropped this acquisition
        job.link->BeginPage(pages + 1);
        guard.Starting();
        SANE_Status st = sane_start(H(handle_));
        guard.Started();
        if (st == SANE_STATUS_GOOD) {
            if (pages == 0) sink.Post(job.id, TwainEvent::TransferReady, 0, nullptr);
            auto delivery = std::make_shared<PageDelivery>();
            // A page turned after reading cannot be made into JPEG data as it arrives.
            const bool backSide = job.duplex && (pages % 2) == 1;
            const int turn = ((job.orientation * 90 + (backSide && job.flipBacks ? 180 : 0)) % 360 + 360) % 360;
            std::unique_ptr<ArrivingJpeg> jpeg;
            if (job.encodeJpeg && turn == 0) {
                jpeg = std::make_unique<ArrivingJpeg>();
                jpeg->options = job.jpeg;
                jpeg->xDpi = xResolution;
                jpeg->yDpi = yResolution;
            }
            st = static_cast<SANE_Status>(ReadPage(
                job, delivery->image, [&guard] { guard.AwaitReadersEnded(); }, jpeg.get()));
            if (link.Cancelled()) return;
            if (st == SANE_STATUS_GOOD) {
                guard.PageComplete();
                PageImage& page = delivery->image;
                page.xResolution = xResolution;
                page.yResolution = yResolution;
                const bool converted =
                    (page.bitsPerPixel == 24 && job.targetBits == 8) || (page.bitsPerPixel != 1 && job.targetBits == 1);
                // The data goes with the page, finished or not; a converted page has none
                // (the data was made of the rows as read).
                if (jpeg && jpeg->Begun() && !converted) page.jpeg = std::move(jpeg);
                jpeg.reset();
                if (page.bitsPerPixel == 24 && job.targetBits == 8) ColorToGray(page);
                if (page.bitsPerPixel != 1 && job.targetBits == 1)
                    GrayToBlackWhite(page, job.conversion == Conversion::Halftone);
                const bool back = job.duplex && (pages % 2) == 1;
                Rotate(page, job.orientation * 90 + (back && job.flipBacks ? 180 : 0));
                ++pages;
                ImageInfo& info = delivery->info;
                info.xResolution = page.xResolution;
                info.yResolution = page.yResolution;
                info.imageWidth = page.width;
                info.imageLength = page.height;
                info.bitsPerPixel = page.bitsPerPixel;
                info.pixelType = page.PixelType();
                info.frameLeft = static_cast<float>(job.frame.left);
                info.frameTop = static_cast<float>(job.frame.top);
                info.frameRight = static_cast<float>(job.frame.right);
                info.frameBottom = static_cast<float>(job.frame.bottom);
                info.pageNumber = pages;
                info.documentNumber = job.duplex ? (pages + 1) / 2 : pages;
                info.frameNumber = 1;
                if (!job.link->AcquireSlot(kPagesInFlight)) return;
                delivery->slot.link = job.link;
                sink.Post(job.id, TwainEvent::PageTransferred, 0, std::move(delivery));
                sink.Post(job.id, TwainEvent::PageEnded, 0, nullptr);
                if (!job.feeder) break; // the glass holds one page
                if (job.transferCount > 0 && pages >= job.transferCount) break;
                continue;
            }
        }
        // sane_start or the page failed.
        if (st == SANE_STATUS_NO_DOCS && pages > 0) break; // the feeder ran empty: a normal end
        if (st == SANE_STATUS_CANCELLED) {
            sink.Post(job.id, TwainEvent::TransferCancelled, 0, nullptr); // cancelled at the device
            return;
        }
        sink.Post(job.id, TwainEvent::TransferFailed, ControlErrorFromSaneStatus(st), nullptr);
        return;
    }
    sink.Post(job.id, TwainEvent::AcquisitionEnded, 0, nullptr);
}

} // namespace scancontrol::sanectl
