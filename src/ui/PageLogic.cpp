#include "ui/PageLogic.h"

#include <boost/regex.hpp>

#include "core/Texts.h"
#include "platform/FileSystem.h"
#include "platform/Services.h"
#include "platform/Volumes.h"
#include "settings/ScanSettingValues.h"

namespace ui {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string Trimmed(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

// Characters of UTF-8 text: every byte that does not continue a sequence.
size_t CharacterCount(const std::string& text) {
    size_t count = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80) ++count;
    return count;
}

// The first `limit` characters of UTF-8 text.
std::string FirstCharacters(const std::string& text, size_t limit) {
    size_t count = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            if (count == limit) return text.substr(0, i);
            ++count;
        }
    }
    return text;
}

void Show(core::MessageNumber number, unsigned style) { core::ShowMessage(core::LoadMessageText(number), style); }

} // namespace

bool IsValidFilePrefix(const std::string& text) {
    const std::string prefix = Trimmed(text);
    if (prefix.empty() || CharacterCount(prefix) > static_cast<size_t>(kMaxPrefixLength)) return false;
    return prefix.find_first_of("/\\:*?\"<>|") == std::string::npos;
}

bool ValidateFilePrefix(const std::string& text) {
    if (IsValidFilePrefix(text)) return true;
    Show(core::MessageNumber::BadFileName, core::kMbOk | core::kMbIconExclamation);
    return false;
}

bool HasFolderShape(const std::string& folder) {
    // A root, then parts of characters other than '/', '\', '?' and '*', each ended by
    // at most one '/'.
    static const boost::regex shape(R"(^/(([^/\\?*])/?)*$)");
    return boost::regex_match(folder, shape);
}

FolderCheck ValidateSaveFolder(const std::string& text, std::string& stored) {
    const unsigned refusal = core::kMbOk | core::kMbIconExclamation;
    if (Trimmed(text).empty()) {
        Show(core::MessageNumber::BadFolder, refusal);
        return FolderCheck::Refused;
    }
    std::string folder = text;
    if (folder.back() != '/') folder += '/';
    if (!HasFolderShape(folder)) {
        Show(core::MessageNumber::BadFolder, refusal);
        return FolderCheck::Refused;
    }
    // The file system that holds the folder, or would hold it once created.
    platform::VolumeInfo volume;
    if (!platform::Volumes().VolumeOf(platform::NearestExistingFolder(folder), volume)) {
        Show(core::MessageNumber::BadFolder, refusal);
        return FolderCheck::Refused;
    }
    if (volume.discLike) {
        Show(core::MessageNumber::BadFolder, core::kMbOk | core::kMbIconStop);
        return FolderCheck::Refused;
    }
    if (volume.readOnly) {
        Show(core::MessageNumber::BadFolder, refusal);
        return FolderCheck::Refused;
    }
    if (!platform::FileSystem().IsDirectory(folder)) {
        const int answer = core::ShowMessage(core::LoadMessageText(core::MessageNumber::CreateFolderAsk),
                                             core::kMbYesNo | core::kMbIconQuestion);
        if (answer != core::kIdYes) return FolderCheck::Declined;
        if (!platform::CreateFolderPath(folder)) {
            Show(core::MessageNumber::FolderNotCreated, core::kMbOk | core::kMbIconStop);
            return FolderCheck::NotCreated;
        }
    }
    stored = folder;
    return FolderCheck::Accepted;
}

bool ValidateJpegLevel(const std::string& text) {
    bool ok = !text.empty() && text.size() <= 3 && text.find_first_not_of("0123456789") == std::string::npos;
    if (ok) ok = std::stoi(text) <= 100;
    if (!ok) {
        core::ShowMessage(FormatNumbers(core::LoadMessageText(core::MessageNumber::BadInteger), 0, 100),
                          core::kMbOk | core::kMbIconExclamation);
    }
    return ok;
}

CompressionControl CompressionFor(const std::string& saveType) {
    if (saveType == "JPEG") return CompressionControl::JpegLevel;
    if (saveType == "TIFF" || saveType == "Multi-page TIFF") return CompressionControl::TiffList;
    if (saveType == "PDF" || saveType == "Multi-page PDF") return CompressionControl::PdfList;
    return CompressionControl::None;
}

int PdfPairIndex(const std::string& colorMode) { return colorMode == "BW" || colorMode == "Halftone" ? 1 : 0; }

std::string PdfPairPart(const std::string& stored, const std::string& colorMode) {
    const auto parts = settings::Split(stored, '|');
    const size_t index = static_cast<size_t>(PdfPairIndex(colorMode));
    return index < parts.size() ? parts[index] : std::string();
}

std::string ReplacePdfPairPart(const std::string& stored, const std::string& colorMode, const std::string& choice) {
    auto parts = settings::Split(stored, '|');
    parts.resize(2);
    parts[static_cast<size_t>(PdfPairIndex(colorMode))] = choice;
    return parts[0] + '|' + parts[1];
}

std::string ChoosePaperSize(const settings::ChoiceList& offered, const std::string& previous, const std::string& stored,
                            const std::string& defaultSize) {
    for (const std::string* candidate : {&previous, &stored, &defaultSize})
        if (!candidate->empty() && settings::HasChoice(offered, *candidate)) return *candidate;
    return offered.empty() ? std::string() : offered.front().first;
}

PageStates ComputePageStates(bool showDriver, int appCount, int appMax, bool optionFlag) {
    PageStates states;
    states.inputEnabled = !showDriver;
    states.optionShown = optionFlag;
    states.addEnabled = appCount <= 0 || appCount < appMax;
    states.modifyEnabled = appCount > 0;
    states.deleteEnabled = appCount > 0;
    return states;
}

std::string CutChosenFolder(const std::string& chosen) {
    if (CharacterCount(chosen) <= static_cast<size_t>(kMaxFolderLength)) return chosen;
    Show(core::MessageNumber::FolderCut, core::kMbOk | core::kMbIconExclamation);
    return FirstCharacters(chosen, static_cast<size_t>(kMaxFolderLength));
}

std::string FormatNumbers(std::string text, int first, int second) {
    for (int value : {first, second}) {
        const size_t at = text.find("%d");
        if (at == std::string::npos) break;
        text.replace(at, 2, std::to_string(value));
    }
    return text;
}

} // namespace ui
