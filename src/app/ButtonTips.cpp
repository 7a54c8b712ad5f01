#include "app/ButtonTips.h"

#include <cstddef>

#include "app/ScanDispatch.h"
#include "core/Ids.h"
#include "core/Texts.h"

namespace app {
namespace {

constexpr const char* kEol = "\r\n";
using core::MessageNumber;

// A value the model has no text for is shown as message 109.
constexpr MessageNumber kNoDisplayText = MessageNumber::NoSource;

std::string Line(MessageNumber label, const std::string& value = {}) {
    return core::LoadMessageText(label) + value + kEol;
}

std::string Shown(const std::optional<std::string>& value) {
    return value ? *value : core::LoadMessageText(kNoDisplayText);
}

std::string InputBlock(const TipValues& v) {
    return Line(MessageNumber::TipScanSettings) + Line(MessageNumber::TipScanMethod, Shown(v.scanMethod)) +
           Line(MessageNumber::TipColourMode, Shown(v.colorMode)) +
           Line(MessageNumber::TipPaperSize, Shown(v.paperSize)) +
           Line(MessageNumber::TipResolution, Shown(v.resolution));
}

} // namespace

int DestinationOfCommand(int command) {
    switch (command) {
        case kCmdApplication1: return core::kDestApplication1;
        case kCmdApplication2: return core::kDestApplication2;
        case kCmdEmail: return core::kDestEmail;
        case kCmdFolder: return core::kDestFolder;
        case kCmdPcFax: return core::kDestPcFax;
        default: return -1;
    }
}

namespace {

// UTF-8 continuation bytes (10xxxxxx) carry no character of their own; every other byte
// begins one. A stray byte that is not valid UTF-8 counts as one character.
bool BeginsCharacter(unsigned char byte) { return (byte & 0xC0u) != 0x80u; }

size_t CharacterCount(const std::string& text) {
    size_t count = 0;
    for (unsigned char byte : text) count += BeginsCharacter(byte);
    return count;
}

// The byte offset where the last `count` characters of the text begin.
size_t StartOfLastCharacters(const std::string& text, size_t count) {
    size_t pos = text.size();
    while (pos > 0 && count > 0) {
        --pos;
        if (BeginsCharacter(static_cast<unsigned char>(text[pos]))) --count;
    }
    return pos;
}

} // namespace

std::string ShortenForTip(const std::string& text) {
    // Folders and application names are UTF-8: count and cut whole characters, so a
    // name with accented letters is neither shortened early nor cut inside a letter.
    if (CharacterCount(text) < 51) return text;
    return "..." + text.substr(StartOfLastCharacters(text, 47));
}

std::string ComposeButtonTip(int command, const TipValues& v) {
    MessageNumber title;
    switch (command) {
        case kCmdApplication1: title = MessageNumber::TipTitleApplication1; break;
        case kCmdApplication2: title = MessageNumber::TipTitleApplication2; break;
        case kCmdFolder: title = MessageNumber::TipTitleFolder; break;
        case kCmdPcFax: title = MessageNumber::TipTitleFax; break;
        default: return {};
    }
    std::string tip = Line(title) + InputBlock(v) + kEol + Line(MessageNumber::TipOutputSettings);
    if (command != kCmdPcFax) tip += Line(MessageNumber::TipFileType, Shown(v.fileType));
    if (command != kCmdPcFax && !v.ocrLanguages.empty()) {
        const std::string label = core::LoadUIString("TIP_SearchablePdf");
        tip += (label.empty() ? std::string("Searchable text (OCR): ") : label) + v.ocrLanguages + kEol;
    }
    if (command == kCmdApplication1 || command == kCmdApplication2)
        tip += Line(MessageNumber::TipApplication, ShortenForTip(v.applicationName));
    tip += Line(MessageNumber::TipFileName, v.fileName + "***");
    tip += Line(MessageNumber::TipSaveFolder) + ShortenForTip(v.saveFolder) + kEol;
    if (command == kCmdFolder && v.openFolder) tip += Line(MessageNumber::TipOpenFolder);
    return tip;
}

DeviceGroup GroupOfStatus(int code) {
    if (code == core::kNoKnownSource || code == core::kNoSourceManager) return DeviceGroup::Blocked;
    if ((code >= 3 && code <= 12) || (code >= 14 && code <= 16) || code == 19 || code == 26)
        return DeviceGroup::Restricted;
    return DeviceGroup::Free;
}

} // namespace app
