#pragma once
// State and steps the three encoders share: the request, the two names, the page count
// and the open flag, and the beginning of a job.

#include "output/ImageCompressioner.h"
#include "output/PendingDocument.h"

namespace output {

class EncoderBase : public IF_ImageCompressioner {
public:
    int Begin(const CompressionRequest& request) final;
    const std::string& TempPageName() const final { return tempPageName_; }
    const std::string& OutputName() const final { return outputName_; }
    int FailureError() const final { return failureError_; }
    // Drops the open document and every file of the job.
    void Abandon() final;
    // Completes the open document and publishes it (a job without pages keeps nothing).
    int Finish() final;

protected:
    explicit EncoderBase(const char* extension) : extension_(extension) {}
    // The encoder's own preparation once both names are known. It writes the document
    // to document_.WorkingPath().
    virtual int BeginOutput() = 0;
    // Closes the document being written; true when it is complete.
    virtual bool CloseOutput() = 0;
    // The system error behind an incomplete document.
    virtual int OutputError() const = 0;
    // Stops, without completing it, whatever the encoder still does for the document in
    // the background (nothing by default); called first when a job is abandoned.
    virtual void CancelOutput() {}
    // The job's own working files besides the temporary page (none by default).
    virtual void DeleteWorkingFiles() {}
    void DeleteFile(const std::string& path) const;
    // Claims the temporary page name for the next page: the same name while nobody
    // else took it since the last page was consumed, else the next free one. Two
    // programs scanning at once never write their pages to the same file.
    void ReserveTempPage();
    // Moves the page the control just wrote at `pagePath` to a name of this job's own
    // and, in a job that takes more pages, claims the temporary page name again for the
    // next one, so the name is never free for another program while this job still
    // uses it. Answers the page's new name (or `pagePath` when it could not be moved).
    std::string TakePage(const std::string& pagePath, bool morePages);
    // The format name of a page file: its extension ("BMP").
    static std::string PageFormat(const std::string& pagePath);
    // The end of a job whose document is complete: published under its final name
    // (OutputName() then says which); false, with FailureError() set, when it cannot be.
    bool PublishDocument();
    // The end of a job whose document is not kept.
    void DiscardDocument();

    CompressionRequest request_;
    std::string tempPageName_;
    std::string outputName_;
    PendingDocument document_;
    int pageCount_ = 0;
    bool isOpen_ = false;
    bool firstPagePending_ = false;
    int failureError_ = 0;

private:
    const char* extension_;
};

// The saver parameter texts the JPEG and TIFF encoders begin a job with.
std::string JpegParameterText(int colourMode, int compressionLevel);
std::string TiffParameterText(int colourMode, int compressionKind);

} // namespace output
