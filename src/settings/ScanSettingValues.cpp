#include "settings/ScanSettingValues.h"

#include <loki/Factory.h>

namespace settings {

// ---- colour mode registry ------------------------------------------------------------

struct ColorModeRegistry::Impl {
    Loki::Factory<SColorMode, std::string> factory;
};

namespace {
template <typename T>
SColorMode* Make() {
    return new T;
}
} // namespace

ColorModeRegistry::ColorModeRegistry() : impl_(std::make_unique<Impl>()) {
    impl_->factory.Register("Color", &Make<ColorColorMode>);
    impl_->factory.Register("Gray", &Make<GrayColorMode>);
    impl_->factory.Register("BW", &Make<BlackWhiteColorMode>);
    impl_->factory.Register("Halftone", &Make<HalfToneColorMode>);
}

ColorModeRegistry::~ColorModeRegistry() = default;

std::unique_ptr<SColorMode> ColorModeRegistry::Create(const std::string& key) const {
    return std::unique_ptr<SColorMode>(impl_->factory.CreateObject(key));
}

std::vector<std::string> ColorModeRegistry::Keys() const { return impl_->factory.RegisteredIds(); }

// ---- directions and methods ----------------------------------------------------------

std::shared_ptr<ScanDirection> ScanDirectionFromText(const std::string& text) {
    if (text == "left") return std::make_shared<LeftDirection>();
    if (text == "upper") return std::make_shared<UpperDirection>();
    return nullptr;
}

std::shared_ptr<BindingDirection> BindingDirectionFromText(const std::string& text) {
    if (text == "lr") return std::make_shared<RLBinding>();
    if (text == "top") return std::make_shared<TopBinding>();
    return nullptr;
}

std::shared_ptr<ScanMethod> ScanMethodFromText(const std::string& text) {
    auto fields = Split(text, '|');
    if (fields.empty()) return nullptr;
    std::shared_ptr<ScanMethod> method;
    const std::string& name = fields[0];
    if (name == "ADF") method = std::make_shared<ADFScanMethod>();
    else if (name == "ADFSimplex") method = std::make_shared<SimplexADFScanMethod>();
    else if (name == "ADFDuplex") method = std::make_shared<DuplexADFScanMethod>();
    else if (name == "Auto") method = std::make_shared<AutoScanMethod>();
    else if (name == "Flatbed") method = std::make_shared<FlatbedScanMethod>();
    else return nullptr;
    if (fields.size() > 1) method->direction = ScanDirectionFromText(fields[1]);
    if (fields.size() > 2) method->binding = BindingDirectionFromText(fields[2]);
    method->duplexOff = fields.size() > 3 && fields[3] == "off";
    return method;
}

std::string ScanMethodToText(const ScanMethod& method) {
    return Join({method.GetName(), method.direction ? method.direction->GetName() : LeftDirection().GetName(),
                 method.binding ? method.binding->GetName() : RLBinding().GetName(), method.duplexOff ? "off" : "on"},
                '|');
}

std::shared_ptr<ScanMethodArr> ScanMethodArr::FromText(const std::string& text) {
    auto list = std::make_shared<ScanMethodArr>();
    for (const auto& piece : Split(text, '-')) list->methods_.push_back(ScanMethodFromText(piece));
    return list;
}

std::string ScanMethodArr::ToText() const {
    std::string text;
    for (const auto& m : methods_)
        if (m) text += ScanMethodToText(*m) + "-";
    return text;
}

std::shared_ptr<ScanMethod> ScanMethodArr::get(const std::string& name) const {
    for (const auto& m : methods_)
        if (m && m->GetName() == name) return m;
    return nullptr;
}

void ScanMethodArr::set(const std::shared_ptr<ScanMethod>& method) {
    if (!method) return;
    const std::string name = method->GetName();
    for (auto& m : methods_) {
        if (m && m->GetName() == name) {
            m = method;
            return;
        }
    }
}

// ---- paper ---------------------------------------------------------------------------

namespace {

struct PaperTable {
    std::vector<std::pair<const char*, std::shared_ptr<PaperMache>>> byName;
    std::shared_ptr<PaperMache> fallback = std::make_shared<DefaultPaperType>();
    PaperTable() {
        byName = {
            {"A3", std::make_shared<A3Paper>()},
            {"B4", std::make_shared<B4Paper>()},
            {"A4", std::make_shared<A4Paper>()},
            {"A4LEF", std::make_shared<A4LefPaper>()},
            {"B5", std::make_shared<B5Paper>()},
            {"B5LEF", std::make_shared<B5Paper>()},
            {"A5", std::make_shared<A5Paper>()},
            {"A5LEF", std::make_shared<A5Paper>()},
            {"Tabloid", std::make_shared<TabloidPaper>()},
            {"Letter", std::make_shared<LetterPaper>()},
            {"LetterLEF", std::make_shared<LetterLefPaper>()},
            {"HalfLetterSEF", std::make_shared<HalfLetterSefPaper>()},
            {"HalfLetterLEF", std::make_shared<HalfLetterLefPaper>()},
            {"Legal", std::make_shared<LegalPaper>()},
            {"Legal130", std::make_shared<Legal130Paper>()},
            {"Legal135", std::make_shared<Legal135Paper>()},
            {"A6", std::make_shared<A6Paper>()},
            {"Executive", std::make_shared<ExecutivePaper>()},
        };
    }
};

} // namespace

const std::shared_ptr<PaperMache>& PaperFromName(const std::string& name) {
    static const PaperTable table;
    for (const auto& entry : table.byName)
        if (name == entry.first) return entry.second;
    return table.fallback;
}

// ---- split and join ------------------------------------------------------------------

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t cut = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == separator) {
            parts.push_back(text.substr(cut, i - cut));
            cut = i + 1;
        }
    }
    if (!text.empty() && text.back() != separator) parts.push_back(text.substr(cut));
    return parts;
}

std::string Join(const std::vector<std::string>& parts, char separator) {
    std::string text;
    for (const auto& p : parts) {
        text += p;
        text += separator;
    }
    return text;
}

} // namespace settings
