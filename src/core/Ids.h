#pragma once
// The numbers the program's parts pass to each other, by name: message numbers of
// Str.dat, the results of the source check, and the three ways a colour setting is
// coded (by the encoders, by the scanning control and by the PDF writer), each with
// its one conversion.

namespace core {

// Messages of section Messages of Str.dat.
enum class MessageNumber : int {
    DataUpdateFailed = 102, // the settings could not be saved
    BadFileName = 104,
    BadFolder = 105,
    BadInteger = 106,      // "%d" and "%d": the range
    CreateFolderAsk = 118, // the save folder is missing: create it?
    NoSourceManager = 108, // the scanner interface could not be opened
    NoSource = 109,        // the current scanner cannot be reached
    NoFileTransfer = 110,
    SeriesFull = 113, // the numbered series of file names is full
    FaxFailed = 116,
    FileNotOpened = 119,
    TipScanSettings = 125,
    TipScanMethod = 126,
    TipColourMode = 127,
    TipPaperSize = 128,
    TipResolution = 129,
    TipOutputSettings = 130,
    TipFileType = 131,
    TipApplication = 132,
    TipFileName = 133,
    TipSaveFolder = 134,
    TipOpenFolder = 136,
    TipTitleApplication1 = 137,
    TipTitleApplication2 = 138,
    TipTitleFolder = 140,
    TipTitleFax = 141,
    FolderCut = 142,         // a chosen folder was cut to the longest one stored
    DeleteApplication = 147, // asked before an application leaves the list
    NoApplication = 148,
    FolderNotCreated = 150,
    NoDuplexUnit = 152,
    NoDevice = 153,
    DocumentFull = 210, // the scan stopped early: the document is full
    OpenWaitingScans = 211,
    NotSaved = 212,
};

// The result of checking a source name against the known sources. The same numbers are
// the device status codes of these conditions.
enum SourceCheckResult : int {
    kSourceUsable = 0,
    kNoKnownSource = 2,    // no source of a known model is connected
    kSourceNotKnown = 5,   // known sources exist, but not the one asked for
    kNoSourceManager = 17, // the scanner interface could not be opened
};

// What a page holds, whatever the part that codes it.
enum class ColourKind { Colour, Grey, BlackWhite };

// The encoders' code of a colour kind (a compression request's colourMode).
enum EncoderColour : int { kEncoderColour = 0, kEncoderGrey = 1, kEncoderBlackWhite = 2 };
// The scanning control's pixel types (a page's pixelType, the colour modes' codes).
enum PixelType : int { kPixelBlackWhite = 0, kPixelGrey = 1, kPixelColour = 2, kPixelHalftone = 3 };
// The PDF writer's kinds of page.
enum PdfColour : int { kPdfColour = 1, kPdfGrey = 2, kPdfBlackWhite = 3 };

constexpr EncoderColour ToEncoderColour(ColourKind kind) {
    return kind == ColourKind::Grey         ? kEncoderGrey
           : kind == ColourKind::BlackWhite ? kEncoderBlackWhite
                                            : kEncoderColour;
}
// Codes the encoders do not know are colour.
constexpr ColourKind FromEncoderColour(int code) {
    return code == kEncoderGrey         ? ColourKind::Grey
           : code == kEncoderBlackWhite ? ColourKind::BlackWhite
                                        : ColourKind::Colour;
}
// Halftone is black and white; pixel types the control does not know are colour.
constexpr ColourKind FromPixelType(int type) {
    return type == kPixelBlackWhite || type == kPixelHalftone ? ColourKind::BlackWhite
           : type == kPixelGrey                               ? ColourKind::Grey
                                                              : ColourKind::Colour;
}
constexpr PdfColour ToPdfColour(ColourKind kind) {
    return kind == ColourKind::Grey ? kPdfGrey : kind == ColourKind::BlackWhite ? kPdfBlackWhite : kPdfColour;
}
// Bits per pixel the control is asked for.
constexpr int BitDepthOf(ColourKind kind) {
    return kind == ColourKind::BlackWhite ? 1 : kind == ColourKind::Grey ? 8 : 24;
}

} // namespace core
