#include "ui/OptionRules.h"

#include "scan/DriverIdentifer.h"
#include "scan/TwainCap.h"
#include "settings/AppList.h"
#include "settings/ScanSettingValues.h"

namespace ui {

OptionDeviceFacts CurrentOptionDeviceFacts() {
    OptionDeviceFacts facts;
    facts.hasDuplexUnit = scan::TwainCapHandler::GetInstance().HasDuplexUnit();
    facts.modelFamily = scan::CurrentDriverEntry().modelFamily;
    return facts;
}

OptionState InitialOptionState(const settings::ScanMethod* entry, const std::string& methodName,
                               const std::string& paperName, const OptionDeviceSource& device) {
    OptionState state;
    if (entry) {
        state.left = !entry->direction || entry->direction->GetIndex() == 0;
        state.lrBinding = !entry->binding || entry->binding->GetIndex() == 0;
    }
    const bool entryOff = entry && entry->duplexOff;
    auto forcedOff = [&state] {
        state.duplexOff = true;
        state.duplexOffEnabled = false;
        state.bindingEnabled = false;
    };
    auto fromEntry = [&state, entryOff] {
        state.duplexOff = entryOff;
        state.duplexOffEnabled = true;
        state.bindingEnabled = BindingEnabledWhen(entryOff);
    };

    if (methodName == "Auto" || methodName == "Flatbed") {
        // The glass scans one side only.
        forcedOff();
    } else if (methodName == "ADF") {
        const OptionDeviceFacts facts = device ? device() : CurrentOptionDeviceFacts();
        if (!facts.hasDuplexUnit || (paperName == "A6" && facts.modelFamily == kNoDuplexA6Family)) {
            forcedOff();
        } else {
            fromEntry();
        }
    } else {
        // The other feeder methods show what the entry holds, so that opening the dialog
        // and pressing OK never changes the stored flag.
        fromEntry();
    }
    return state;
}

void WriteOptionChoices(settings::ScanMethod& entry, const OptionState& choices) {
    entry.duplexOff = choices.duplexOff;
    entry.direction = settings::ScanDirectionFromText(choices.left ? "left" : "upper");
    entry.binding = settings::BindingDirectionFromText(choices.lrBinding ? "lr" : "top");
}

int AppEntryMessage(int result) {
    struct Row {
        int result;
        int message;
    };
    static const Row kMessages[] = {
        {settings::kAppListEmptyTitle, 143}, // "The title cannot empty."
        {settings::kAppListBadPath, 103},    // "Please enter a valid path."
        {settings::kAppListFull, 144},       // "There are max items in application list."
        {settings::kAppListTitleInUse, 145}, // "The title has been named. ..."
        {settings::kAppListBarInTitle, 146}, // "Can not use the charactor '|' ..."
        {settings::kAppListNotSaved, 102},   // "data update fail": the list could not be saved
    };
    for (const Row& row : kMessages)
        if (row.result == result) return row.message;
    return 0;
}

} // namespace ui
