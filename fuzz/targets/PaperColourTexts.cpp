// Paper, colour and the other setting texts against the capability numbers: a text that
// translates to a number translates back to the same text (without regard to case).
#include <cmath>

#include "FuzzTarget.h"
#include "settings/ChoiceList.h"
#include "settings/DataTranslator.h"
#include "settings/Profile.h"
#include "settings/ScanSettingValues.h"

namespace {

int FuzzPaperColourTexts(const uint8_t* data, size_t size) {
    fuzz::Input in(data, size);
    const int kind = in.Byte() % 11;
    const std::string text = in.Rest();

    const auto& paper = settings::PaperFromName(text);
    if (!paper) fuzz::Fail("no paper for a name");
    const settings::PaperFrame frame = paper->GetFrame();
    if (frame.left < 0 || frame.top < 0 || frame.right < 0 || frame.bottom < 0 || std::isnan(frame.right))
        fuzz::Fail("a paper frame out of range");
    try {
        auto mode = settings::ColorModeRegistry::GetInstance().Create(text);
        if (!mode || mode->GetName() != text) fuzz::Fail("a colour mode of another name");
    } catch (const std::exception&) {}
    if (settings::ScanDirectionFromText(text) && text != "left" && text != "upper") fuzz::Fail("a direction");
    if (settings::BindingDirectionFromText(text) && text != "lr" && text != "top") fuzz::Fail("a binding");

    settings::DataTranslatorCommon translator;
    double value = 0;
    if (translator.TextToValue(text, kind, value)) {
        std::string back;
        const bool table = kind != settings::kKindResolution && kind != settings::kKindDuplex;
        if (!translator.ValueToText(value, kind, back)) fuzz::Fail("a value read from a text has no text");
        if (table && !settings::EqualsNoCase(back, text)) fuzz::Fail("a text does not translate back: " + back);
        if (!table && back != std::to_string(settings::DecimalToInt(text))) fuzz::Fail("a number does not read back");
    }
    return 0;
}

} // namespace

SU_FUZZ_TARGET(paper_colour_texts, FuzzPaperColourTexts)
