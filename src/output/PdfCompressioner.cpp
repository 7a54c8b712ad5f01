#include "output/PdfCompressioner.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <set>
#include <thread>
#include <cmath>
#include <cstdio>
#include <vector>

#include "codec/Bmp.h"
#include "codec/Codecs.h"
#include "codec/FileIo.h"
#include "codec/Jpeg.h"
#include "core/Ids.h"
#include "output/DynamicLibrary.h"
#include "output/EncoderBase.h"
#include "output/GdiplusImageSaver.h"
#include "output/OutputHost.h"
#include "output/PdfPageWriter.h"
#include "output/PageText.h"
#include "output/TiffStrips.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/Services.h"

namespace output {
namespace {

PageRecogniserFactory g_recogniserFactory = nullptr;

int RoundHalfUp(double value) { return static_cast<int>(std::floor(value + 0.5)); }

// The recognition engines every document being written shares. At most kBusyEngines
// pages are recognised at once, however many documents wait (an engine holds tens of
// megabytes and keeps a core busy); pages get an engine in the order they were added,
// so documents that are finished one after another are also recognised in that order.
// Idle engines are kept while any document that recognises is open (loading one takes
// tens of milliseconds) and freed with the last such document.
class RecognitionEngines {
public:
    static constexpr int kBusyEngines = 2;

    static RecognitionEngines& Shared() {
        static RecognitionEngines engines;
        return engines;
    }
    void Open() {
        std::lock_guard<std::mutex> lock(mutex_);
        ++open_;
    }
    void Close() {
        std::vector<std::unique_ptr<IF_PageRecogniser>> freed;
        std::lock_guard<std::mutex> lock(mutex_);
        if (--open_ == 0) freed.swap(idle_);
    }
    // A page's place in the line for an engine.
    uint64_t Ticket() {
        std::lock_guard<std::mutex> lock(mutex_);
        return next_++;
    }
    // Waits for the ticket's turn and a free engine, and lends it (null when no
    // recogniser is installed). False when `cancel` turned true first: the turn is given
    // up. Every lent engine goes back with Return.
    bool Borrow(uint64_t ticket, const std::atomic<bool>* cancel, std::unique_ptr<IF_PageRecogniser>& engine) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            for (;;) {
                SkipWithdrawn();
                if (cancel && *cancel) {
                    withdrawn_.insert(ticket);
                    SkipWithdrawn();
                    changed_.notify_all();
                    return false;
                }
                if (ticket == admitted_ && busy_ < kBusyEngines) break;
                // A cancel is a flag nobody signals: look at it now and then.
                changed_.wait_for(lock, std::chrono::milliseconds(50));
            }
            ++admitted_;
            ++busy_;
            if (!idle_.empty()) {
                engine = std::move(idle_.back());
                idle_.pop_back();
            }
        }
        changed_.notify_all();
        if (!engine) engine = MakePageRecogniser();
        return true;
    }
    void Return(std::unique_ptr<IF_PageRecogniser> engine) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            --busy_;
            if (engine && open_ > 0) idle_.push_back(std::move(engine));
        }
        changed_.notify_all();
    }
    // A page that will never ask for its turn (dropped before recognition).
    void Withdraw(uint64_t ticket) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            withdrawn_.insert(ticket);
            SkipWithdrawn();
        }
        changed_.notify_all();
    }

private:
    void SkipWithdrawn() {
        while (withdrawn_.erase(admitted_) != 0) ++admitted_;
    }
    std::mutex mutex_;
    std::condition_variable changed_;
    uint64_t next_ = 0, admitted_ = 0;
    std::set<uint64_t> withdrawn_;
    int busy_ = 0, open_ = 0;
    std::vector<std::unique_ptr<IF_PageRecogniser>> idle_;
};

class PdfCompressioner final : public EncoderBase {
public:
    PdfCompressioner() : EncoderBase(".PDF") {}

    int AddPage(const std::string& pagePath) override {
        if (!isOpen_) return kNoOpenJob;
        failureError_ = 0;
        if (pageCount_ >= kMaxPdfPages) return kDocumentFull;
        if (damaged_) return Failed(kDocumentWriteFailed, DamageError());
        // The page under a name of this job's own, removed whatever becomes of it.
        struct Taken {
            const PdfCompressioner& owner;
            const std::string path;
            ~Taken() { owner.DeleteFile(path); }
        } taken{*this, TakePage(pagePath, true)};
        PageSource source;
        source.path = taken.path;
        source.format = PageFormat(pagePath);

        const codec::Status read = codec::ReadImageInfo(source.path, source.info);
        if (read != codec::Status::Ok)
            return Failed(kPageInfoUnreadable, read == codec::Status::NotFound      ? ENOENT
                                               : read == codec::Status::OutOfMemory ? ENOMEM
                                                                                    : EIO);
        return AddSource(source);
    }

    int AddPageImage(const codec::ImageView& page) override {
        if (!isOpen_) return kNoOpenJob;
        failureError_ = 0;
        if (pageCount_ >= kMaxPdfPages) return kDocumentFull;
        if (damaged_) return Failed(kDocumentWriteFailed, DamageError());
        PageSource source;
        source.view = &page;
        source.info.width = page.width;
        source.info.height = page.height;
        source.info.format = page.format;
        source.info.xDpi = page.xDpi;
        source.info.yDpi = page.yDpi;
        return AddSource(source);
    }

    ~PdfCompressioner() override { StopWorker(true); }

    bool CloseOutput() override {
        // The document is complete once the worker has written its last page.
        StopWorker(false);
        return writer_.Finish() && !damaged_ && !Cancelled();
    }
    void CancelOutput() override { StopWorker(true); }
    int OutputError() const override { return DamageError(); }
    void DeleteWorkingFiles() override { DeleteFile(workingPage_); }

private:
    // Where a page comes from: a page file (removed by the caller) or rows in memory.
    struct PageSource {
        std::string path, format;
        const codec::ImageView* view = nullptr;
        codec::ImageInfo info;
    };

    int AddSource(const PageSource& source) {
        const codec::ImageInfo& info = source.info;
        const int dpi = RoundHalfUp(info.xDpi);
        // A page needs a resolution that gives it a page box of at least one point.
        if (dpi < 1 || PdfPageWriter::PointsFor(info.width, dpi) < 1 ||
            PdfPageWriter::PointsFor(info.height, dpi) < 1 || PdfPageWriter::PointsFor(info.width, dpi) > INT32_MAX ||
            PdfPageWriter::PointsFor(info.height, dpi) > INT32_MAX)
            return Failed(kNoUsableResolution, EINVAL);
        // With recognition the page is converted now and written by the worker once its
        // words are known; the page itself is kept for the worker under a name of its own.
        const bool recognise = !request_.ocrLanguages.empty();
        QueuedPage queued;
        if (recognise) {
            queued.width = info.width;
            queued.height = info.height;
            queued.dpi = dpi;
            queued.page = workingPage_ + ".ocr" + std::to_string(serial_);
            queued.prepared = workingPage_ + ".img" + std::to_string(serial_);
            ++serial_;
            errno = 0;
            const bool kept = source.view ? codec::SaveBmp(*source.view, queued.page) == codec::Status::Ok
                                          : platform::FileSystem().CopyNoOverwrite(source.path, queued.page);
            if (!kept) {
                const int cause = errno;
                DeleteFile(queued.page);
                return Failed(kPageExtractFailed, cause ? cause : EIO);
            }
            queued_ = &queued;
        } else {
            writer_.SetPageSize(info.width, info.height);
            writer_.SetResolution(dpi);
        }

        const std::string& working = workingPage_;
        int result;
        if (request_.colourMode == core::kEncoderColour || request_.colourMode == core::kEncoderGrey)
            result = AddJpegPage(source, working);
        else if (request_.colourMode == core::kEncoderBlackWhite) result = AddFaxPage(source, working);
        else result = Failed(kPageInfoUnreadable, EINVAL); // no form for this colour mode: the page is not taken
        queued_ = nullptr;
        if (recognise) {
            if (result != kPageAdded) {
                DeleteFile(queued.page);
                DeleteFile(queued.prepared);
                return result;
            }
            Enqueue(std::move(queued));
        } else {
            if (result != kPageAdded) return result;
            if (writer_.failed()) {
                damaged_ = true;
                return Failed(kDocumentWriteFailed, writer_.error() ? writer_.error() : EIO);
            }
        }
        ++pageCount_;
        firstPagePending_ = false;
        return pageCount_ >= kMaxPdfPages ? kDocumentFull : kPageAdded;
    }

    // A page converted and waiting for its words: the page for recognition, its
    // prepared image data and how the writer is to declare it.
    struct QueuedPage {
        std::string page, prepared;
        int width = 0, height = 0, dpi = 0;
        int components = 0; // 0: as the colour kind gives
        int compressed = 0;
        uint64_t ticket = 0; // its place in the line for a recognition engine
    };

    int DamageError() const {
        const int error = request_.ocrLanguages.empty() ? writer_.error() : workerError_.load();
        return error ? error : EIO;
    }

    void StartWorker() {
        cancel_ = false;
        closing_ = false;
        workerError_ = 0;
        RecognitionEngines::Shared().Open();
        worker_ = std::thread([this] { Work(); });
    }

    // Stopped by Abandon, or by the job's watcher.
    bool Cancelled() const { return cancel_ || (request_.watch && request_.watch->cancel); }
    const std::atomic<bool>* CancelFlag() const { return request_.watch ? &request_.watch->cancel : &cancel_; }

    void Enqueue(QueuedPage page) {
        if (request_.watch) ++request_.watch->pages;
        page.ticket = RecognitionEngines::Shared().Ticket();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            queue_.push_back(std::move(page));
        }
        wake_.notify_one();
    }

    // Ends the worker: after the pages it still has (the document is then complete) or,
    // cancelling, at once, dropping them and the page being recognised.
    void StopWorker(bool cancel) {
        if (!worker_.joinable()) return;
        if (cancel) {
            cancel_ = true;
            if (request_.watch) request_.watch->cancel = true;
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            closing_ = true;
        }
        wake_.notify_one();
        worker_.join();
        RecognitionEngines::Shared().Close();
    }

    // The worker: pages in the order they came, each recognised and then written. It
    // gives way to the threads that take the scanner's pages: recognition is never what
    // the scanner waits for.
    void Work() {
        platform::LowerThreadPriority();
        for (;;) {
            QueuedPage page;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                wake_.wait(lock, [this] { return !queue_.empty() || closing_; });
                if (queue_.empty()) return;
                page = std::move(queue_.front());
                queue_.pop_front();
            }
            if (!Cancelled() && !damaged_) WriteQueued(page);
            else RecognitionEngines::Shared().Withdraw(page.ticket);
            DeleteFile(page.page);
            DeleteFile(page.prepared);
            if (request_.watch) ++request_.watch->recognised;
        }
    }

    void WriteQueued(const QueuedPage& page) {
        writer_.SetPageSize(page.width, page.height);
        writer_.SetResolution(page.dpi);
        if (page.components) writer_.SetImageComponents(page.components);
        writer_.SetCompressed(page.compressed);
        // A page whose text cannot be recognised is still added, as an image only.
        PageText text;
        writer_.SetPageText(nullptr);
        std::unique_ptr<IF_PageRecogniser> engine;
        if (!RecognitionEngines::Shared().Borrow(page.ticket, CancelFlag(), engine)) return;
        {
            codec::Image image;
            if (engine && engine->Load(request_.ocrLanguages) &&
                codec::LoadImage(page.page, image) == codec::Status::Ok) {
                image.xDpi = image.yDpi = page.dpi;
                if (engine->Recognise(image, text, CancelFlag())) writer_.SetPageText(&text);
            }
        }
        RecognitionEngines::Shared().Return(std::move(engine));
        if (Cancelled()) return;
        int error = 0;
        const int result = CopyImage(page.prepared, error);
        writer_.SetPageText(nullptr);
        if (result != kPageAdded || writer_.failed()) {
            workerError_ = error ? error : writer_.error() ? writer_.error() : EIO;
            damaged_ = true;
        }
    }

    // A failed AddPage: the result, with the system error the user is to learn.
    int Failed(int result, int error) {
        failureError_ = error;
        return result;
    }

    int BeginOutput() override {
        damaged_ = false;
        // The converted page of this job: a name of its own, so that two programs
        // scanning at once never convert into the same file.
        workingPage_ = platform::HiddenWorkingName(WorkingImageFolder() + "~ImageTempFile");
        writer_.SetFileName(document_.WorkingPath());
        if (!writer_.Open()) {
            failureError_ = writer_.error();
            return kBeginCannotPrepare;
        }
        writer_.SetColourKind(core::FromEncoderColour(request_.colourMode));
        serial_ = 0;
        if (!request_.ocrLanguages.empty()) StartWorker();
        return kBeginOk;
    }

    // K for the image: 0 (one-dimensional group 3) for compression kind 1, -1 otherwise.
    int K() const { return request_.compressionKind == 1 ? 0 : -1; }

    int AddJpegPage(const PageSource& source, const std::string& working) {
        std::string text =
            request_.colourMode == core::kEncoderColour ? "EncoderColorDepth,24," : "EncoderColorDepth,8,";
        if (request_.compressionKind == 0) text += "EncoderQuality,30";
        else if (request_.compressionKind == 1) text += "EncoderQuality,50";
        else if (request_.compressionKind == 2) text += "EncoderQuality,80";
        // A page in memory that is written into the document at once goes into it from
        // memory; a page from a file, or one kept for recognition, through the working file.
        const bool inMemory = source.view && !queued_;
        // JPEG data the page came with in this encoder's own form goes in as it is (into
        // the working file for a page kept for recognition).
        codec::JpegOptions form;
        const codec::JpegData* made = source.view ? source.view->jpeg : nullptr;
        if (made && !(PageJpegForm("PDF", request_.colourMode, request_.compressionKind, form) &&
                      made->Fits(*source.view, form)))
            made = nullptr;
        if (made) {
            codec::ImageInfo info;
            if (codec::ReadJpegInfo(made->bytes.data(), made->bytes.size(), info) != codec::Status::Ok)
                return Failed(kJpegConversionFailed, EIO);
            if (inMemory) {
                writer_.SetImageComponents(codec::ComponentsOf(info.format));
                writer_.SetCompressed(1);
                return WriteImage(made->bytes);
            }
            codec::ClearWriteError();
            if (codec::SaveJpeg(*source.view, working, form) != codec::Status::Ok) {
                // As for a page encoded here: the system's text for the cause.
                const int cause = codec::LastWriteError();
                ShowOutputMessage(SystemErrorText(cause ? cause : EIO));
                failureError_ = 0; // told
                DeleteFile(working);
                return kJpegConversionFailed;
            }
            return Deliver(working, codec::ComponentsOf(info.format), 1);
        }
        std::vector<std::uint8_t> data;
        int converted;
        {
            GdiplusImageSaver saver;
            if (saver.Init(text) != kImagingOk) return Failed(kJpegConversionFailed, EIO);
            const int prepared = inMemory ? saver.PrepareOutput(data, "JPEG") : saver.PrepareOutput(working, "JPEG");
            if (prepared == kImagingNoEncoder) return Failed(kNoJpegEncoder, EIO);
            if (prepared == kImagingCannotReplaceOutput) return Failed(kPageExtractFailed, EACCES);
            if (prepared != kImagingOk) return Failed(kJpegConversionFailed, EIO);
            converted = source.view ? saver.AddImage(*source.view, "") : saver.AddImage(source.path, "", source.format);
            if (converted != kImagingOk) {
                // The system's text for the cause: running out of memory, a full disk.
                ShowOutputMessage(SystemErrorText(saver.systemError()));
                failureError_ = 0; // told
            }
            saver.Close();
        }
        if (!source.view) DeleteFile(source.path);
        if (converted != kImagingOk) {
            if (!inMemory) DeleteFile(working);
            return kJpegConversionFailed;
        }
        // Declare the colour space the JPEG data really has.
        codec::ImageInfo jpeg;
        if (inMemory) {
            if (codec::ReadJpegInfo(data.data(), data.size(), jpeg) != codec::Status::Ok)
                return Failed(kJpegConversionFailed, EIO);
            writer_.SetImageComponents(codec::ComponentsOf(jpeg.format));
            writer_.SetCompressed(1);
            return WriteImage(data);
        }
        if (codec::ReadImageInfo(working, jpeg) != codec::Status::Ok) {
            DeleteFile(working);
            return Failed(kJpegConversionFailed, EIO);
        }
        return Deliver(working, codec::ComponentsOf(jpeg.format), 1);
    }

    // Prepared image data held in memory, as the page's image stream.
    int WriteImage(const std::vector<std::uint8_t>& data) {
        if (!writer_.BeginPage(K())) return kDocumentFull;
        writer_.WriteImageData(data.data(), data.size());
        writer_.EndImage();
        return kPageAdded;
    }

    int AddFaxPage(const PageSource& source, const std::string& working) {
        const int code = request_.compressionKind == 1 ? 3 : request_.compressionKind == 2 ? 4 : 1;
        // The generator library reads a page file: a page in memory is written for it
        // (a black-and-white page is small).
        std::string pagePath = source.path;
        struct Written {
            const PdfCompressioner& owner;
            std::string path;
            ~Written() { owner.DeleteFile(path); }
        } written{*this, {}};
        if (source.view) {
            pagePath = written.path = working + ".bmp";
            errno = 0;
            if (codec::SaveBmp(*source.view, pagePath) != codec::Status::Ok)
                return Failed(kPageExtractFailed, errno ? errno : EIO);
        }
        {
            DynamicLibrary library(TiffGeneratorLibrary());
            if (!library.IsLoaded()) return Failed(kPageExtractFailed, ELIBACC);
            auto generate = reinterpret_cast<GenerateTiffFunction>(library.Symbol(kGenerateTiffEntry));
            if (!generate) return Failed(kPageInfoUnreadable, ELIBBAD);
            errno = 0;
            const int generated = generate(pagePath.c_str(), working.c_str(), code);
            const int cause = errno;
            DeleteFile(pagePath);
            if (generated < 0) {
                DeleteFile(working);
                return Failed(kSaveFailed, cause ? cause : EIO);
            }
        }
        const std::string strips = working + "~TempTemp";
        errno = 0;
        const bool extracted = ExtractTiffStrips(working, strips);
        const int cause = errno;
        DeleteFile(working);
        if (!extracted || !platform::FileSystem().Rename(strips, working)) {
            const int renameCause = errno;
            DeleteFile(strips);
            return Failed(kPageExtractFailed, !extracted ? (cause ? cause : EIO) : renameCause ? renameCause : EIO);
        }
        return Deliver(working, 0, request_.compressionKind == 0 ? 0 : 1);
    }

    // The prepared image data of a page: written now, or handed to the worker along
    // with the page when the job recognises text.
    int Deliver(const std::string& working, int components, int compressed) {
        if (queued_) {
            queued_->components = components;
            queued_->compressed = compressed;
            errno = 0;
            if (!platform::FileSystem().Rename(working, queued_->prepared)) {
                const int cause = errno;
                DeleteFile(working);
                return Failed(kPageExtractFailed, cause ? cause : EIO);
            }
            return kPageAdded;
        }
        if (components) writer_.SetImageComponents(components);
        writer_.SetCompressed(compressed);
        const int result = StreamImage(working);
        DeleteFile(working);
        return result;
    }

    int StreamImage(const std::string& path) {
        int error = 0;
        const int result = CopyImage(path, error);
        if (result == kPageExtractFailed || result == kPageDataShort) return Failed(result, error);
        return result;
    }

    // Copies the prepared image data into the page's image stream in 1 KiB chunks.
    int CopyImage(const std::string& path, int& error) {
        std::FILE* in = std::fopen(path.c_str(), "rb");
        if (!in) {
            error = errno;
            return kPageExtractFailed;
        }
        if (!writer_.BeginPage(K())) {
            std::fclose(in);
            return kDocumentFull;
        }
        char chunk[1024];
        bool complete = true;
        for (;;) {
            const size_t n = std::fread(chunk, 1, sizeof chunk, in);
            if (n > 0) writer_.WriteImageData(chunk, n);
            if (n < sizeof chunk) {
                complete = !std::ferror(in);
                break;
            }
        }
        std::fclose(in);
        if (!complete) {
            // The page is half written; the document can no longer be completed.
            damaged_ = true;
            error = EIO;
            return kPageDataShort;
        }
        writer_.EndImage();
        return kPageAdded;
    }

    PdfPageWriter writer_;
    std::string workingPage_;
    std::atomic<bool> damaged_{false};

    // Recognition: the worker, its queue and the page being converted for it.
    std::thread worker_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<QueuedPage> queue_;
    bool closing_ = false;
    std::atomic<bool> cancel_{false};
    std::atomic<int> workerError_{0};
    QueuedPage* queued_ = nullptr;
    int serial_ = 0;
};

} // namespace

std::unique_ptr<IF_ImageCompressioner> MakePdfCompressioner() { return std::make_unique<PdfCompressioner>(); }

bool PageJpegForm(const std::string& fileTypeName, int colourMode, int compressionKind, codec::JpegOptions& options) {
    if (fileTypeName.find("PDF") == std::string::npos) return false;
    if (colourMode != core::kEncoderColour && colourMode != core::kEncoderGrey) return false;
    // As AddJpegPage asks the saver: the quality of the compression kind (the saver's
    // own without one), grey data for grey pages.
    options = codec::JpegOptions{};
    if (compressionKind == 0) options.quality = 30;
    else if (compressionKind == 1) options.quality = 50;
    else if (compressionKind == 2) options.quality = 80;
    options.grey = colourMode == core::kEncoderGrey;
    return true;
}

void SetPageRecogniserFactory(PageRecogniserFactory factory) { g_recogniserFactory = factory; }
bool HasPageRecogniserFactory() { return g_recogniserFactory != nullptr; }

std::unique_ptr<IF_PageRecogniser> MakePageRecogniser() {
    return g_recogniserFactory ? g_recogniserFactory() : nullptr;
}

} // namespace output
