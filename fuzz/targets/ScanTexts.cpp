// The scan-method texts of a destination: one method ("name|direction|binding|duplex|")
// and the list ("m1-m2-..."). What is written once must read back to the same text.
#include "FuzzTarget.h"
#include "settings/ScanSettingValues.h"

namespace {

int FuzzScanTexts(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (auto method = settings::ScanMethodFromText(text)) {
        const std::string once = settings::ScanMethodToText(*method);
        auto again = settings::ScanMethodFromText(once);
        if (!again || settings::ScanMethodToText(*again) != once) fuzz::Fail("a method text does not read back");
    }
    auto list = settings::ScanMethodArr::FromText(text);
    const std::string once = list->ToText();
    const std::string twice = settings::ScanMethodArr::FromText(once)->ToText();
    if (once != twice) fuzz::Fail("a list text does not read back: '" + once + "' then '" + twice + "'");
    for (const auto& m : list->Methods())
        if (m && list->get(m->GetName()) != m) list->set(m); // replaces the first of that name
    for (const auto& m : list->Methods())
        if (m && list->get(m->GetName())->GetName() != m->GetName()) fuzz::Fail("a method under another name");
    for (char separator : {'|', '-'}) {
        const auto parts = settings::Split(text, separator);
        if (settings::Split(settings::Join(parts, separator), separator) != parts) fuzz::Fail("split and join differ");
    }
    return 0;
}

} // namespace

SU_FUZZ_TARGET(scan_texts, FuzzScanTexts)
