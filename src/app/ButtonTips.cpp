#include "app/ButtonTips.h"

#include <cstddef>

#include "app/ScanDispatch.h"
#include "core/Texts.h"

namespace app {
namespace {

constexpr const char* kEol = "\r\n";
constexpr int kMsgNoDisplayText = 109;

std::string Line(int label, const std::string& value = {}) { return core::LoadMessageText(label) + value + kEol; }

std::string Shown(const std::optional<std::string>& value) {
    return value ? *value : core::LoadMessageText(kMsgNoDisplayText);
}

std::string InputBlock(const TipValues& v) {
    return Line(125) + Line(126, Shown(v.scanMethod)) + Line(127, Shown(v.colorMode)) +
           Line(128, Shown(v.paperSize)) + Line(129, Shown(v.resolution));
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
    int title = 0;
    switch (command) {
        case kCmdApplication1: title = 137; break;
        case kCmdApplication2: title = 138; break;
        case kCmdFolder: title = 140; break;
        case kCmdPcFax: title = 141; break;
        default: return {};
    }
    std::string tip = Line(title) + InputBlock(v) + kEol + Line(130);
    if (command != kCmdPcFax) tip += Line(131, Shown(v.fileType));
    if (command == kCmdApplication1 || command == kCmdApplication2) tip += Line(132, ShortenForTip(v.applicationName));
    tip += Line(133, v.fileName + "***");
    tip += Line(134) + ShortenForTip(v.saveFolder) + kEol;
    if (command == kCmdFolder && v.openFolder) tip += Line(136);
    return tip;
}

DeviceGroup GroupOfStatus(int code) {
    if (code == 2 || code == 17) return DeviceGroup::Blocked;
    if ((code >= 3 && code <= 12) || (code >= 14 && code <= 16) || code == 19 || code == 26)
        return DeviceGroup::Restricted;
    return DeviceGroup::Free;
}

} // namespace app
