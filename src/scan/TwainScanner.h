#pragma once
// One scan through the scanning control: open the chosen scanner, apply a destination's
// settings, start the acquisition, and write each transferred page into the
// destination's output file. One object lives as long as the main window; everything
// runs on the user-interface thread.

#include <memory>
#include <string>

#include "core/Ids.h"
#include "core/ScanJob.h"
#include "output/FinishingLine.h"
#include "output/ImageCompressioner.h"
#include "output/PendingDocument.h"
#include "scancontrol/Dynamictwain.h"
#include "settings/Records.h"

namespace scan {

class TwainScanner : public core::IAcquisition {
public:
    // Opens the source manager; tells the user (message 108) when there is none. The
    // object is usable either way: every scan opens the manager again.
    explicit TwainScanner(scancontrol::CDynamictwain& control);
    ~TwainScanner() override;

    bool Run(const settings::CommonSetting& record) override;
    bool OpenSelectedSource();
    bool ApplySettings();
    bool ApplyScanMethod();

    bool ProcessPage(bool newFile, const scancontrol::ImageInfo& info, int origin, int destination) override;
    int AddPage() override;
    void FinishDocument() override;
    void AbortDocument() override;
    std::string DocumentPath() const override { return documentPath_; }
    std::string TakeFailureMessage() override;
    bool AddsPageInBackground() const override { return encoder_ && page_; }
    bool FinishesInBackground() const override { return encoder_ != nullptr; }
    void ReleasePage() override { page_.reset(); }
    core::RecognitionStep Recognition() const override;
    bool CancelRecognition() override;
    bool FinishesAside() const override { return encoder_ && watch_; }
    void HandOverDocument() override;
    bool TakeDocumentAside(core::DocumentAside& out) override;
    int DocumentsAside() const override { return aside_.Waiting(); }
    void WaitForDocumentsAside() override { aside_.WaitAll(); }
    bool DropDocumentsAside() override { return aside_.DropUnfinished(); }
    void SetAsideListener(std::function<void()> listener) override { aside_.SetListener(std::move(listener)); }
    void Close();

    // What Run prepared from the record (tests and diagnostics).
    int ColourCode() const { return colourCode_; }
    unsigned Resolution() const { return resolution_; }
    long TransferFormat() const { return transferFormat_; }
    const std::string& Extension() const { return extension_; }
    const settings::PaperFrame& Frame() const { return frame_; }

    // The folder a page of this destination is written to: a private folder under the
    // temporary folder for application and folder scans started from the device (their
    // files are copied to the destination later), else the record's save folder.
    static std::string OutputFolder(const settings::CommonSetting& record, int origin, int destination);
    // The compression choice of the record for the encoder (0, 1, 2).
    static int CompressionKind(const settings::CommonSetting& record, core::ColourKind colour);
    // The encoder's colour mode from the record's colour text: 0 colour, 1 grey, 2 b/w.
    static core::ColourKind ColourKindFromText(const std::string& colourMode);

private:
    void PrepareFromRecord();
    void RecordDuplexUnit();
    void FlatbedSetUp();
    void FeederSetUp();
    void SetOneValue(long capability, double value);
    // Notes what the user is to learn about a failure with that system error number.
    void NoteFailure(int error);

    scancontrol::CDynamictwain& control_;
    std::unique_ptr<output::IF_ImageCompressioner> encoder_;
    // The page file of a file type written without an encoder, published at its end.
    output::PendingDocument direct_;
    std::string failure_;
    std::string extension_;
    unsigned resolution_ = 0;
    int colourCode_ = core::kPixelColour;
    settings::PaperFrame frame_;
    int compressionValue_ = 0;
    long transferFormat_ = 0;
    std::string paperName_;
    std::unique_ptr<settings::CommonSetting> settings_;
    std::string documentPath_;
    bool driverDialogShown_ = false;
    // The page handed over in memory by the control, until the encoder has it.
    std::shared_ptr<const scancontrol::PageImage> page_;
    // Recognition of the open PDF document (null without recognition).
    std::shared_ptr<output::RecognitionWatch> watch_;
    // One-page searchable documents handed over, finished in their order.
    output::FinishingLine aside_;
};

} // namespace scan
