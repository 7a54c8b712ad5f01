#include "scan/TwainScanner.h"

#include <algorithm>
#include <cerrno>
#include <cctype>
#include <cstdlib>
#include <stdexcept>

#include "codec/Jpeg.h"
#include "core/Ids.h"
#include "core/Texts.h"
#include "output/FileNaming.h"
#include "output/ImageKinds.h"
#include "output/TextRecognizer.h"
#include "output/OutputHost.h"
#include "platform/FileSystem.h"
#include "platform/Folders.h"
#include "platform/Text.h"
#include "scan/ConditionCodes.h"
#include "scan/DriverIdentifer.h"
#include "scan/TwainCap.h"
#include "scancontrol/ImageFileWriter.h"
#include "scancontrol/Twain.h"
#include "settings/ProductData.h"
#include "settings/Profile.h"
#include "settings/ScannerModel.h"

namespace scan {

using scancontrol::AutomationError;

namespace {

using core::MessageNumber;

constexpr int kConditionFileNotFound = 16;

void Tell(MessageNumber message, unsigned icon) {
    core::ShowMessage(core::LoadMessageText(message), core::kMbOk | icon);
}

// Decimal conversion as the settings texts are read: leading blanks skipped, stops at
// the first non-digit, no digits give 0.
int Decimal(const std::string& text) { return std::atoi(text.c_str()); }

} // namespace

TwainScanner::TwainScanner(scancontrol::CDynamictwain& control) : control_(control) {
    if (!control_.OpenSourceManager()) Tell(MessageNumber::NoSourceManager, core::kMbIconStop);
}

TwainScanner::~TwainScanner() {
    if (encoder_) encoder_->Abandon();
}

bool TwainScanner::Run(const settings::CommonSetting& record) {
    settings_ = std::make_unique<settings::CommonSetting>(record);
    if (aside_.Waiting() == 0) aside_.Reset();
    try {
        if (!OpenSelectedSource()) return false;
        if (!control_.DeviceReady()) {
            control_.CloseSource();
            return false;
        }
        driverDialogShown_ = settings_->GetShowDriver();
        control_.ShowUI(driverDialogShown_);
        PrepareFromRecord();
        RecordDuplexUnit();
        if (driverDialogShown_) {
            control_.DriverUIOption(true);
        } else if (!ApplySettings()) {
            control_.CloseSource();
            return false;
        }
        // The encoder's JPEG data of each page may be made while the page arrives (what
        // the page holds is known beforehand unless the driver's dialog decides it).
        codec::JpegOptions form;
        const core::ColourKind colour = ColourKindFromText(settings_->GetColorMode());
        const bool jpeg =
            !driverDialogShown_ && output::PageJpegForm(settings_->GetSaveType(), core::ToEncoderColour(colour),
                                                        CompressionKind(*settings_, colour), form);
        control_.EncodeArrivingPages(jpeg ? &form : nullptr);
        if (control_.AcquireImage()) return true;
    } catch (const AutomationError&) {
        // A setting the device refused: the scan does not start.
    }
    control_.CloseSource();
    return false;
}

void TwainScanner::PrepareFromRecord() {
    const auto& r = *settings_;
    paperName_ = r.GetPaperSize();
    frame_ = settings::PaperFromName(paperName_)->GetFrame();
    // Stored colour modes are repaired against the model before a scan; a text that is
    // still unknown scans in colour, the control's start value.
    colourCode_ = core::kPixelColour;
    try {
        colourCode_ = settings::ColorModeRegistry::GetInstance().Create(r.GetColorMode())->GetCode();
    } catch (const std::exception&) {}
    resolution_ = r.GetResolution() > 0 ? static_cast<unsigned>(r.GetResolution()) : 0;
    compressionValue_ = Decimal(r.GetCompressionLevel());
    const auto& kind = output::ImageKindForSource(r.GetSaveType());
    transferFormat_ = kind.GetTransferFormat();
    extension_ = kind.GetExtension();
}

void TwainScanner::RecordDuplexUnit() {
    const std::string source = settings::CurrentSourceName();
    const std::string file = settings::UserProductFilePath();
    if (!settings::ReadProfileString(file, "Cap", source, "").empty()) return;
    settings::WriteProfileString(file, "Cap", source, control_.DuplexType() == twain::TWDX_2PASSDUPLEX ? "Dup" : "Sim");
}

bool TwainScanner::OpenSelectedSource() {
    control_.CloseSourceManager();
    if (!control_.OpenSourceManager()) {
        Tell(MessageNumber::NoSourceManager, core::kMbIconStop);
        return false;
    }
    const std::string current = settings::CurrentSourceName();
    const short count = control_.SourceCount();
    for (short index = 0; index < count; ++index) {
        if (!settings::EqualsNoCase(control_.SourceNameAt(index), current)) continue;
        control_.SelectSourceByIndex(index);
        if (control_.OpenSource()) {
            control_.DisableAfterAcquire(true);
            control_.TransferMode(twain::TWSX_FILE);
            return true;
        }
        if (ConditionFromErrorCode(control_.ErrorCode()) == kConditionFileNotFound) control_.CloseSourceManager();
        // The stored device cannot be opened: the next request lists the devices again.
        DriverIdentifer::GetInstance().ForgetSources();
        return false;
    }
    DriverIdentifer::GetInstance().ForgetSources();
    Tell(MessageNumber::NoSource, core::kMbIconStop);
    return false;
}

void TwainScanner::SetOneValue(long capability, double value) {
    control_.Capability(capability);
    control_.CapType(twain::TWON_ONEVALUE);
    control_.CapValue(value);
    control_.CapSet();
}

bool TwainScanner::ApplySettings() {
    if (colourCode_ == core::kPixelHalftone) {
        control_.PixelType(twain::TWPT_BW);
        SetOneValue(twain::ICAP_BITDEPTHREDUCTION, twain::TWBR_HALFTONE);
    } else {
        control_.PixelType(static_cast<short>(colourCode_));
    }
    control_.BitDepth(static_cast<short>(core::BitDepthOf(core::FromPixelType(colourCode_))));
    control_.Resolution(static_cast<float>(resolution_));
    control_.SetImageLayout(frame_.left, frame_.top, frame_.right, frame_.bottom);
    if (CurrentDriverEntry().driverKind != 0)
        TwainCapHandler::GetInstance().SetText(settings::kKindPaperSize, paperName_);
    return ApplyScanMethod();
}

void TwainScanner::FlatbedSetUp() {
    control_.DuplexEnabled(false);
    control_.FeederEnabled(false);
    if (control_.TransferCount() == -1) control_.TransferCount(1);
}

void TwainScanner::FeederSetUp() {
    control_.DuplexEnabled(false);
    control_.FeederEnabled(true);
    if (control_.FeederEnabled()) {
        control_.TransferCount(-1);
        control_.AutoFeed(true);
    }
}

bool TwainScanner::ApplyScanMethod() {
    const std::string name = settings_->GetScanMethod();
    std::shared_ptr<settings::ScanMethod> method;
    if (const auto& list = settings_->GetScanMethodArr()) method = list->get(name);
    SetOneValue(twain::ICAP_ORIENTATION, method && method->direction ? method->direction->GetOrientation() : 0);

    if (name == "Flatbed") {
        FlatbedSetUp();
    } else if (name == "Auto") {
        const bool saved = control_.QueryMode();
        control_.QueryMode(true);
        bool loaded = false;
        try {
            loaded = control_.FeederLoaded();
        } catch (const AutomationError&) {
            if (control_.ErrorCode() != 0) {
                control_.QueryMode(saved);
                return false;
            }
        }
        control_.QueryMode(saved);
        if (loaded) FeederSetUp();
        else FlatbedSetUp();
    } else if (name == "ADF") {
        control_.FeederEnabled(true);
        if (method && method->duplexOff) {
            FeederSetUp();
        } else if (control_.DuplexType() != twain::TWDX_2PASSDUPLEX) {
            Tell(MessageNumber::NoDuplexUnit, core::kMbIconStop);
            return false;
        } else {
            control_.DuplexEnabled(true);
            SetOneValue(twain::ICAP_FLIPROTATION, method && method->binding ? method->binding->GetFlipRotation() : 0);
        }
    }
    return true;
}

std::string TwainScanner::OutputFolder(const settings::CommonSetting& record, int origin, int destination) {
    const bool push = origin == core::kOriginLocalPush || origin == core::kOriginNetworkPush;
    const bool collected = destination == core::kDestApplication1 || destination == core::kDestFolder;
    if (push && collected) return platform::TempFolder() + "Quorin/" + record.GetSection() + "/";
    return record.GetSaveFolder();
}

core::ColourKind TwainScanner::ColourKindFromText(const std::string& colourMode) {
    const std::string text = platform::AsciiLower(colourMode);
    if (text == "gray") return core::ColourKind::Grey;
    if (text == "bw" || text == "halftone") return core::ColourKind::BlackWhite;
    return core::ColourKind::Colour; // "Color" and anything unknown
}

int TwainScanner::CompressionKind(const settings::CommonSetting& record, core::ColourKind colour) {
    const std::string type = record.GetSaveType();
    std::string choice;
    if (type.find("PDF") != std::string::npos) {
        auto parts = settings::Split(record.GetPDFCompression(), '|');
        // "<colour and grey pages>|<black-and-white pages>"
        size_t part = colour == core::ColourKind::BlackWhite ? 1 : 0;
        if (part < parts.size()) choice = parts[part];
    } else if (type.find("TIFF") != std::string::npos) {
        choice = record.GetTifCompression();
    } else {
        return 0;
    }
    choice = platform::AsciiLower(choice);
    if (choice == "g3" || choice == "middle") return 1;
    if (choice == "g4" || choice == "low") return 2;
    return 0; // "Raw", "High" and anything else
}

bool TwainScanner::ProcessPage(bool newFile, const scancontrol::ImageInfo& info, int origin, int destination) {
    if (!settings_) return false;
    failure_.clear();
    const auto& r = *settings_;
    const std::string folder = OutputFolder(r, origin, destination);
    platform::CreateFolderPath(folder);
    const auto& kind = output::ImageKindForSource(r.GetSaveType());
    if (newFile) {
        if (kind.NeedsEncoder()) {
            if (encoder_) encoder_->Abandon();
            encoder_ = output::CreateImageCompressioner(r.GetSaveType());
            if (!encoder_) return false;
            output::CompressionRequest request;
            request.tempFolder = settings::WorkingImageFolder();
            request.saveFolder = folder;
            request.fileName = r.GetFileName();
            request.tempExtension = kind.GetExtension();
            request.pageWidth = static_cast<int32_t>(info.imageWidth);
            request.pageLength = static_cast<int32_t>(info.imageLength);
            request.pageResolution = static_cast<int32_t>(info.xResolution);
            request.compressionLevel = compressionValue_;
            // With the driver's dialog shown the page says what it holds; else the record.
            const core::ColourKind colour = driverDialogShown_ ? core::FromPixelType(static_cast<int>(info.pixelType))
                                                               : ColourKindFromText(r.GetColorMode());
            request.colourMode = core::ToEncoderColour(colour);
            request.compressionKind = CompressionKind(r, colour);
            request.ocrLanguages = r.OcrLanguagesForScan();
            watch_.reset();
            if (!request.ocrLanguages.empty()) {
                output::EnableTextRecognition();
                watch_ = request.watch = std::make_shared<output::RecognitionWatch>();
            }
            const int begun = encoder_->Begin(request);
            if (begun != 0) {
                // A full series is message 113, which the dispatch shows.
                if (begun != output::kBeginNamesExhausted) NoteFailure(encoder_->FailureError());
                encoder_.reset();
                documentPath_.clear();
                return false;
            }
        } else {
            // The control writes the page under a hidden name; it is published whole.
            try {
                if (!direct_.Reserve(folder, r.GetFileName(), kind.GetExtension())) {
                    NoteFailure(direct_.error());
                    documentPath_.clear();
                    return false;
                }
            } catch (const std::range_error&) {
                return false;
            }
            documentPath_ = direct_.WorkingPath();
        }
    }
    // The encoder names the file of every page anew: another program may have taken the
    // previous name since.
    if (kind.NeedsEncoder() && encoder_) documentPath_ = encoder_->TempPageName();
    if (control_.TransferMode() != twain::TWSX_FILE) {
        Tell(MessageNumber::NoFileTransfer, core::kMbIconStop);
        return false;
    }
    // An encoder takes the page from the control's memory where the control hands it
    // over; else the control writes it to the encoder's page file.
    page_.reset();
    if (kind.NeedsEncoder() && encoder_) page_ = control_.TakePageImage();
    if (!page_ && !control_.SaveImageToFile(documentPath_, transferFormat_)) {
        const std::string why = control_.ErrorString();
        failure_ = core::LoadMessageText(MessageNumber::NotSaved) + "\n" +
                   (why.empty() ? "error " + std::to_string(control_.ErrorCode()) : why);
        return false;
    }
    const auto& plain = output::ImageKindForType(r.GetSaveType());
    if (&plain != &kind && TwainCapHandler::GetInstance().Set(settings::kKindSaveType, transferFormat_) != 0)
        return false;
    return true;
}

int TwainScanner::AddPage() {
    if (!settings_ || !output::ImageKindForSource(settings_->GetSaveType()).NeedsEncoder()) return 0;
    if (!encoder_) return output::kNoOpenJob;
    const int result = page_ ? encoder_->AddPageImage(scancontrol::PageView(*page_)) : encoder_->AddPage(documentPath_);
    if (result != output::kPageAdded && result != output::kDocumentFull) NoteFailure(encoder_->FailureError());
    return result;
}

void TwainScanner::FinishDocument() {
    if (direct_.reserved()) {
        if (direct_.Publish()) {
            documentPath_ = direct_.FinalPath();
        } else {
            NoteFailure(direct_.error());
            documentPath_.clear();
        }
        return;
    }
    // The page in memory stays until ReleasePage, on the user-interface thread: letting it
    // go here, on the dispatch's worker, would have the control send the next page while
    // this one's events are still being handled.
    if (!encoder_) return;
    // A document whose recognition the user stopped is not kept, and nothing is said.
    if (watch_ && watch_->cancel) {
        encoder_->Abandon();
        encoder_.reset();
        documentPath_.clear();
        return;
    }
    const int result = encoder_->Finish();
    if (watch_ && watch_->cancel) {
        // Stopped while the last pages were recognised: the encoder kept nothing.
        encoder_.reset();
        documentPath_.clear();
        return;
    }
    // A document the encoder could not write completely is gone: nothing to deliver.
    documentPath_ = result == 0 ? encoder_->OutputName() : std::string();
    if (result != 0) NoteFailure(encoder_->FailureError());
    encoder_.reset();
}

void TwainScanner::AbortDocument() {
    page_.reset();
    if (direct_.reserved()) {
        direct_.Discard();
        documentPath_.clear();
    }
    if (!encoder_) return;
    encoder_->Abandon();
    documentPath_.clear();
    encoder_.reset();
}

core::RecognitionStep TwainScanner::Recognition() const {
    const output::FinishingLine::Progress aside = aside_.Recognition();
    core::RecognitionStep step{aside.recognised, aside.pages};
    // The open document may be being handed over on the dispatch's worker meanwhile.
    if (const std::shared_ptr<output::RecognitionWatch> watch = std::atomic_load(&watch_)) {
        step.done += watch->recognised;
        step.pages += watch->pages;
    }
    return step;
}

bool TwainScanner::CancelRecognition() {
    const bool aside = aside_.DropUnfinished();
    const std::shared_ptr<output::RecognitionWatch> watch = std::atomic_load(&watch_);
    if (!watch || watch->cancel) return aside;
    watch->cancel = true;
    return true;
}

void TwainScanner::HandOverDocument() {
    // The page in memory stays until ReleasePage (see FinishDocument).
    if (!encoder_) return;
    aside_.Add(std::move(encoder_), std::atomic_load(&watch_));
    std::atomic_store(&watch_, std::shared_ptr<output::RecognitionWatch>());
    documentPath_.clear();
}

bool TwainScanner::TakeDocumentAside(core::DocumentAside& out) {
    output::FinishingLine::Finished finished;
    if (!aside_.Take(finished)) return false;
    out = core::DocumentAside{};
    switch (finished.end) {
        case output::FinishingLine::Finished::End::Published:
            out.end = core::DocumentAside::End::Published;
            out.path = documentPath_ = finished.path;
            break;
        case output::FinishingLine::Finished::End::Failed:
            out.end = core::DocumentAside::End::Failed;
            NoteFailure(finished.error);
            break;
        case output::FinishingLine::Finished::End::Dropped: out.end = core::DocumentAside::End::Dropped; break;
    }
    return true;
}

void TwainScanner::NoteFailure(int error) {
    if (error == 0) return; // nothing to add: the user has been told
    failure_ = error == ERANGE ? core::LoadMessageText(MessageNumber::SeriesFull)
                               : core::LoadMessageText(MessageNumber::NotSaved) + "\n" + output::SystemErrorText(error);
}

std::string TwainScanner::TakeFailureMessage() {
    std::string message;
    message.swap(failure_);
    return message;
}

void TwainScanner::Close() { control_.CloseSource(); }

} // namespace scan
