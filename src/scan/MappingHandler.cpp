#include "scan/MappingHandler.h"

#include <climits>

#include "scan/DriverIdentifer.h"
#include "scan/PaperSizeMapping.h"
#include "scan/TwainCap.h"
#include "settings/AppList.h"
#include "settings/DataTranslator.h"
#include "settings/ProductData.h"
#include "settings/Profile.h"
#include "settings/ScanSettingValues.h"

namespace scan {
namespace {

// Items each ended by a comma; a last item without one is dropped.
std::vector<std::string> CommaEndedItems(const std::string& text) {
    std::vector<std::string> items;
    std::string item;
    for (char c : text) {
        if (c == ',') {
            items.push_back(item);
            item.clear();
        } else {
            item += c;
        }
    }
    return items;
}

ChoiceList SourceList(int kind) {
    CapabilityInformation info = TwainCapHandler::GetInstance().QueryInfo(kind);
    return info.valid ? info.values : ChoiceList{};
}

void ApplicationList(const std::string& section, ChoiceList& result) {
    result.clear();
    settings::AppListProvider provider(section);
    for (auto& entry : provider.GetTitleList()) result.push_back(std::move(entry));
}

} // namespace

MappingFileHandler::MappingFileHandler() { Reload(); }

void MappingFileHandler::Reload() {
    const std::string file = settings::IdFilePath();
    std::map<std::string, std::map<std::string, std::string>> sections;
    for (const auto& section : settings::ListProfileSections(file)) {
        auto& values = sections[section];
        for (const auto& key : settings::ListProfileKeys(file, section))
            values.emplace(key, settings::ReadProfileString(file, section, key));
    }
    sections_ = std::move(sections);
}

void MappingFileHandler::Narrow(ChoiceList& list, const std::string& name) const {
    const std::map<std::string, std::string>* basic = nullptr;
    for (const auto& s : sections_)
        if (settings::EqualsNoCase(s.first, "Basic")) basic = &s.second;
    if (!basic) return;
    std::string text;
    for (const auto& k : *basic)
        if (settings::EqualsNoCase(k.first, name)) text = k.second;
    ChoiceList narrowed;
    for (const auto& item : settings::Split(text, ','))
        if (settings::HasChoice(list, item)) narrowed.emplace_back(item, settings::ChoiceText(list, item));
    list = std::move(narrowed);
}

ChoiceList FileList(const std::string& name) {
    ChoiceList list;
    const std::string mapping = settings::MappingFilePath();
    for (const auto& item : CommaEndedItems(settings::ReadProfileString(settings::IdFilePath(), "Basic", name)))
        list.emplace_back(item, settings::ReadProfileString(mapping, name, item));
    return list;
}

void MappingHandler::GetPaperSizes(const std::string&, ChoiceList& result) {
    result.clear();
    PaperSizeMapping::GetInstance().PaperChoices(result);
}

void MappingHandler::GetApplications1(ChoiceList& result) { ApplicationList("Application1", result); }
void MappingHandler::GetApplications2(ChoiceList& result) { ApplicationList("Application2", result); }

void MappingHandler::GetSupportedSources(ChoiceList& result) {
    result.clear();
    for (const auto& name : CommaEndedItems(settings::ReadProductValue("Common", "SupportedSourceList")))
        result.emplace_back(name, name);
}

void MappingHandler::GetBindings(ChoiceList& result) { result = {{"lr", "lr"}, {"top", "top"}}; }

void MappingHandlerTwain::GetPaperSizes(const std::string& scanMethod, ChoiceList& result) {
    result = SourceList(settings::kKindPaperSize);
    if (settings::EqualsNoCase(scanMethod, "Flatbed"))
        for (const char* legal : {"Legal", "Legal130", "Legal135"}) settings::RemoveChoice(result, legal);
}

void MappingHandlerTwain::GetScanMethods(ChoiceList& result) {
    result = SourceList(settings::kKindScanMode);
    MappingFileHandler::GetInstance().Narrow(result, "ScanMethod");
}

void MappingHandlerTwain::GetColorModes(ChoiceList& result) {
    result = SourceList(settings::kKindColorMode);
    MappingFileHandler::GetInstance().Narrow(result, "ColorMode");
}

void MappingHandlerTwain::GetResolutions(ChoiceList& result) {
    ChoiceList all = SourceList(settings::kKindResolution);
    result.clear();
    for (auto& c : all) {
        int dpi = settings::DecimalToInt(c.first);
        if (dpi <= 600 && dpi >= 0) result.push_back(std::move(c));
    }
    MappingFileHandler::GetInstance().Narrow(result, "Resolution");
}

void MappingHandlerTwain::GetSaveTypes(ChoiceList& result) {
    result = SourceList(settings::kKindSaveType);
    const std::string mapping = settings::MappingFilePath();
    for (const char* type : {"JPEG", "PDF", "Multi-page PDF", "TIFF", "Multi-page TIFF"}) {
        if (settings::HasChoice(result, type)) continue;
        std::string text = settings::ReadProfileString(mapping, "SaveType", type);
        result.emplace_back(type, text.empty() ? type : text);
    }
    MappingFileHandler::GetInstance().Narrow(result, "SaveType");
}

void MappingHandlerTwain::GetBindings(ChoiceList& result) { result = SourceList(settings::kKindFlipRotation); }

std::unique_ptr<settings::IF_MappingHandler> CreateMappingHandler() {
    if (CurrentDriverEntry().driverKind != 0) return std::make_unique<MappingHandlerTwain>();
    return std::make_unique<MappingHandler>();
}

} // namespace scan
