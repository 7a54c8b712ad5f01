#include "settings/ChoiceList.h"

namespace settings {

bool HasChoice(const ChoiceList& list, const std::string& key) {
    for (const auto& c : list)
        if (c.first == key) return true;
    return false;
}

std::string ChoiceText(const ChoiceList& list, const std::string& key) {
    for (const auto& c : list)
        if (c.first == key) return c.second;
    return {};
}

void RemoveChoice(ChoiceList& list, const std::string& key) {
    for (auto it = list.begin(); it != list.end(); ++it)
        if (it->first == key) {
            list.erase(it);
            return;
        }
}

} // namespace settings
