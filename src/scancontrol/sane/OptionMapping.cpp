// The control's settings over the standard SANE options. See OptionMapping.h.
#include "scancontrol/sane/OptionMapping.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "platform/Text.h"
#include "scancontrol/Twain.h"

namespace scancontrol::sanectl {

namespace {

bool Has(const std::string& haystack, const char* needle) { return haystack.find(needle) != std::string::npos; }

// A word of `s` (letters and digits only) equal to `w`.
bool HasWord(const std::string& s, const std::string& w) {
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && !std::isalnum(static_cast<unsigned char>(s[i]))) ++i;
        size_t j = i;
        while (j < s.size() && std::isalnum(static_cast<unsigned char>(s[j]))) ++j;
        if (j > i && s.compare(i, j - i, w) == 0) return true;
        i = j;
    }
    return false;
}

OptionWrite Text(const std::string& name, const std::string& value, bool optional = false) {
    OptionWrite w;
    w.name = name;
    w.text = value;
    w.optional = optional;
    return w;
}

OptionWrite Number(const std::string& name, double value, bool optional = false) {
    OptionWrite w;
    w.name = name;
    w.numbers = {value};
    w.optional = optional;
    return w;
}

const OptionInfo* SourceOption(const OptionSnapshot& s) {
    const OptionInfo* o = s.Active("source");
    return o && o->type == OptType::String && o->constraint == OptConstraint::StringList ? o : nullptr;
}

double ToInches(const OptionSnapshot& s, const OptionInfo& o, double v) {
    if (o.unit == OptUnit::Pixel) {
        double dpi = CurrentResolution(s);
        return dpi > 0 ? v / dpi : 0;
    }
    return v / 25.4;
}

double FromInches(const OptionSnapshot& s, const OptionInfo& o, double inches) {
    if (o.unit == OptUnit::Pixel) return inches * CurrentResolution(s);
    return inches * 25.4;
}

double RangeMax(const OptionInfo& o) {
    if (o.constraint == OptConstraint::Range) return o.maxValue;
    if (o.constraint == OptConstraint::WordList && !o.words.empty())
        return *std::max_element(o.words.begin(), o.words.end());
    return o.Value();
}

double RangeMin(const OptionInfo& o) {
    if (o.constraint == OptConstraint::Range) return o.minValue;
    if (o.constraint == OptConstraint::WordList && !o.words.empty())
        return *std::min_element(o.words.begin(), o.words.end());
    return 0;
}

const char* kGeometry[4] = {"tl-x", "tl-y", "br-x", "br-y"};

} // namespace

// ---- Sources ----

SourceKind ClassifySource(const std::string& name) {
    const std::string n = platform::AsciiLower(name);
    if (Has(n, "duplex") || Has(n, "both sides") || Has(n, "two sided") || Has(n, "2-sided")) return SourceKind::Duplex;
    if (Has(n, "transparen") || Has(n, "film") || Has(n, "slide") || Has(n, "negative") || Has(n, "positive") ||
        HasWord(n, "tpu") || HasWord(n, "tma"))
        return SourceKind::Other;
    if (HasWord(n, "adf") || Has(n, "feeder") || Has(n, "automatic document") || Has(n, "sheetfed") ||
        Has(n, "sheet feed") || Has(n, "adf"))
        return Has(n, "back") && !Has(n, "front") ? SourceKind::Other : SourceKind::Feeder;
    if (Has(n, "flatbed") || Has(n, "flat bed") || Has(n, "platen") || Has(n, "glass") || HasWord(n, "normal") ||
        HasWord(n, "fb"))
        return SourceKind::Flatbed;
    return SourceKind::Other;
}

SourceChoice FindSources(const OptionSnapshot& s) {
    SourceChoice c;
    if (const OptionInfo* o = SourceOption(s)) {
        for (const auto& name : o->strings) {
            switch (ClassifySource(name)) {
                case SourceKind::Flatbed:
                    if (c.flatbed.empty()) c.flatbed = name;
                    break;
                case SourceKind::Feeder:
                    // Prefer a plain feeder or its front side over other feeder entries.
                    if (c.feeder.empty() ||
                        (Has(platform::AsciiLower(name), "front") && !Has(platform::AsciiLower(c.feeder), "front")))
                        c.feeder = name;
                    break;
                case SourceKind::Duplex:
                    if (c.duplex.empty()) c.duplex = name;
                    break;
                case SourceKind::Other: break;
            }
        }
        // A device that names no source as the glass: the first source that is no feeder.
        if (c.flatbed.empty())
            for (const auto& name : o->strings)
                if (ClassifySource(name) == SourceKind::Other && !Has(platform::AsciiLower(name), "back")) {
                    c.flatbed = name;
                    break;
                }
    }
    if (c.duplex.empty()) {
        if (const OptionInfo* m = s.Find("adf-mode"); m && m->type == OptType::String) {
            for (const auto& v : m->strings)
                if (Has(platform::AsciiLower(v), "duplex")) c.duplexOption = "adf-mode";
        } else if (const OptionInfo* d = s.Find("duplex"); d && d->type == OptType::Bool && d->settable) {
            c.duplexOption = "duplex";
        }
    }
    return c;
}

bool FeederSelected(const OptionSnapshot& s) {
    const OptionInfo* o = SourceOption(s);
    if (!o) return false;
    SourceKind k = ClassifySource(o->text);
    return k == SourceKind::Feeder || k == SourceKind::Duplex;
}

bool DuplexSelected(const OptionSnapshot& s) {
    if (const OptionInfo* o = SourceOption(s); o && ClassifySource(o->text) == SourceKind::Duplex) return true;
    if (!FeederSelected(s)) return false;
    if (const OptionInfo* m = s.Active("adf-mode"); m && m->type == OptType::String)
        return Has(platform::AsciiLower(m->text), "duplex");
    if (const OptionInfo* d = s.Active("duplex"); d && d->type == OptType::Bool) return d->Value() != 0;
    return false;
}

std::vector<OptionWrite> PlanSource(const OptionSnapshot& s, bool feeder, bool duplex) {
    std::vector<OptionWrite> w;
    const SourceChoice c = FindSources(s);
    const OptionInfo* o = SourceOption(s);
    if (!o) return w;
    std::string target;
    if (feeder && duplex && !c.duplex.empty()) {
        target = c.duplex;
    } else if (feeder && !c.feeder.empty()) {
        target = c.feeder;
    } else if (feeder && !c.duplex.empty()) {
        target = c.duplex; // a device whose feeder only exists as a duplex source
    } else if (!feeder && !c.flatbed.empty()) {
        target = c.flatbed;
    }
    if (!target.empty() && target != o->text) w.push_back(Text("source", target));
    if (feeder && c.duplex.empty() && !c.duplexOption.empty()) {
        if (c.duplexOption == "adf-mode") {
            const OptionInfo* m = s.Find("adf-mode");
            if (!m) return w;
            for (const auto& v : m->strings) {
                const bool isDuplex = Has(platform::AsciiLower(v), "duplex");
                if (isDuplex == duplex) {
                    w.push_back(Text("adf-mode", v, true));
                    break;
                }
            }
        } else {
            w.push_back(Number("duplex", duplex ? 1 : 0, true));
        }
    }
    return w;
}

Sensor FindFeederSensor(const OptionSnapshot& s) {
    static const char* kLoaded[] = {"page-loaded", "paper-loaded",   "document-loaded", "doc-loaded", "adf-loaded",
                                    "doc-in-adf",  "adf-doc-loaded", "paper-in-adf",    "loaded"};
    for (const char* n : kLoaded)
        if (const OptionInfo* o = s.Find(n); o && o->type == OptType::Bool && o->readable) return {n, false};
    static const char* kEmpty[] = {"hopper-empty", "adf-empty", "paper-out", "hopper"};
    for (const char* n : kEmpty)
        if (const OptionInfo* o = s.Find(n); o && o->type == OptType::Bool && o->readable) return {n, true};
    return {};
}

// ---- Image type ----

ModeKind ClassifyMode(const std::string& mode) {
    const std::string m = platform::AsciiLower(mode);
    if (Has(m, "halftone") || Has(m, "dither") || Has(m, "diffusion")) return ModeKind::Halftone;
    if (Has(m, "lineart") || Has(m, "line art") || Has(m, "binary") || Has(m, "black & white") ||
        Has(m, "black and white") || HasWord(m, "bw") || Has(m, "monochrome") || Has(m, "thresholded"))
        return ModeKind::Lineart;
    if (Has(m, "gray") || Has(m, "grey")) return ModeKind::Gray;
    if (Has(m, "color") || Has(m, "colour") || HasWord(m, "rgb")) return ModeKind::Color;
    return ModeKind::Other;
}

namespace {

const OptionInfo* ModeOption(const OptionSnapshot& s) {
    const OptionInfo* o = s.Active("mode");
    return o && o->type == OptType::String && o->constraint == OptConstraint::StringList ? o : nullptr;
}

std::string ModeOf(const OptionSnapshot& s, ModeKind kind) {
    if (const OptionInfo* o = ModeOption(s))
        for (const auto& m : o->strings)
            if (ClassifyMode(m) == kind) return m;
    return {};
}

bool DepthOffers(const OptionSnapshot& s, double depth) {
    const OptionInfo* d = s.Find("depth");
    if (!d || !d->settable) return false;
    if (d->constraint == OptConstraint::WordList)
        return std::find(d->words.begin(), d->words.end(), depth) != d->words.end();
    if (d->constraint == OptConstraint::Range) return depth >= d->minValue && depth <= d->maxValue;
    return false;
}

} // namespace

bool HardwareHalftone(const OptionSnapshot& s) { return !ModeOf(s, ModeKind::Halftone).empty(); }

std::vector<double> OfferedPixelTypes(const OptionSnapshot& s) {
    const OptionInfo* o = ModeOption(s);
    if (!o) return {twain::TWPT_RGB}; // a device without modes: whatever it sends, as colour
    bool gray = false, color = false, bw = false;
    for (const auto& m : o->strings) {
        switch (ClassifyMode(m)) {
            case ModeKind::Lineart:
            case ModeKind::Halftone: bw = true; break;
            case ModeKind::Gray: gray = true; break;
            case ModeKind::Color: color = true; break;
            case ModeKind::Other: break;
        }
    }
    // Grey (or colour) pages can always be turned into black-and-white in software,
    // and colour into grey.
    if (gray || color) bw = true;
    if (color) gray = true;
    std::vector<double> r;
    if (bw) r.push_back(twain::TWPT_BW);
    if (gray) r.push_back(twain::TWPT_GRAY);
    if (color) r.push_back(twain::TWPT_RGB);
    return r;
}

short CurrentPixelType(const OptionSnapshot& s) {
    const OptionInfo* o = ModeOption(s);
    if (!o) return twain::TWPT_RGB;
    switch (ClassifyMode(o->text)) {
        case ModeKind::Lineart:
        case ModeKind::Halftone: return twain::TWPT_BW;
        case ModeKind::Gray: {
            const OptionInfo* d = s.Active("depth");
            return d && d->Value() == 1 ? twain::TWPT_BW : twain::TWPT_GRAY;
        }
        default: return twain::TWPT_RGB;
    }
}

ImageTypePlan PlanImageType(const OptionSnapshot& s, short pixelType, bool halftone) {
    ImageTypePlan p;
    const std::string gray = ModeOf(s, ModeKind::Gray), color = ModeOf(s, ModeKind::Color);
    const std::string lineart = ModeOf(s, ModeKind::Lineart), ht = ModeOf(s, ModeKind::Halftone);
    auto mode = [&](const std::string& m) {
        if (!m.empty()) p.writes.push_back(Text("mode", m));
    };
    auto depth = [&](double d) {
        if (DepthOffers(s, d)) p.writes.push_back(Number("depth", d, true));
    };
    if (pixelType == twain::TWPT_BW) {
        p.targetBits = 1;
        if (halftone && !ht.empty()) {
            mode(ht);
        } else if (halftone) {
            mode(!gray.empty() ? gray : color);
            depth(8);
            p.conversion = Conversion::Halftone;
        } else if (!lineart.empty()) {
            mode(lineart);
        } else if (!gray.empty() && DepthOffers(s, 1)) {
            mode(gray);
            depth(1); // e.g. the test backend: grey at 1 bit is line-art
        } else {
            mode(!gray.empty() ? gray : color);
            depth(8);
            p.conversion = Conversion::Threshold;
        }
    } else if (pixelType == twain::TWPT_GRAY) {
        p.targetBits = 8;
        mode(!gray.empty() ? gray : color);
        depth(8);
    } else {
        p.targetBits = 24;
        mode(!color.empty() ? color : gray);
        depth(8);
    }
    return p;
}

// ---- Resolution ----

const OptionInfo* ResolutionOption(const OptionSnapshot& s) {
    if (const OptionInfo* o = s.Active("resolution")) return o;
    return s.Active("x-resolution");
}

double CurrentResolution(const OptionSnapshot& s) {
    const OptionInfo* o = ResolutionOption(s);
    return o ? o->Value() : 0;
}

double NearestAllowed(const OptionInfo& o, double value) {
    if (o.constraint == OptConstraint::WordList && !o.words.empty()) {
        double best = o.words.front();
        for (double w : o.words)
            if (std::fabs(w - value) < std::fabs(best - value)) best = w;
        return best;
    }
    if (o.constraint == OptConstraint::Range) {
        double v = std::clamp(value, o.minValue, o.maxValue);
        if (o.quant > 0) v = o.minValue + std::round((v - o.minValue) / o.quant) * o.quant;
        return std::min(v, o.maxValue);
    }
    return value;
}

bool Allowed(const OptionInfo& o, double value) {
    if (o.constraint == OptConstraint::WordList) {
        for (double w : o.words)
            if (std::fabs(w - value) < 1e-6) return true;
        return false;
    }
    if (o.constraint == OptConstraint::Range) {
        if (value < o.minValue - 1e-6 || value > o.maxValue + 1e-6) return false;
        if (o.quant > 0) {
            double k = (value - o.minValue) / o.quant;
            return std::fabs(k - std::round(k)) < 1e-6;
        }
        return true;
    }
    return true;
}

std::vector<OptionWrite> PlanResolution(const OptionSnapshot& s, double dpi) {
    std::vector<OptionWrite> w;
    const OptionInfo* o = ResolutionOption(s);
    if (!o) return w;
    w.push_back(Number(o->name, NearestAllowed(*o, dpi)));
    if (o->name == "x-resolution")
        if (const OptionInfo* y = s.Active("y-resolution"))
            w.push_back(Number("y-resolution", NearestAllowed(*y, dpi), true));
    return w;
}

// ---- Geometry ----

bool HasGeometry(const OptionSnapshot& s) {
    for (const char* n : kGeometry)
        if (!s.Active(n)) return false;
    return true;
}

FrameInches CurrentFrame(const OptionSnapshot& s) {
    FrameInches f;
    if (!HasGeometry(s)) return f;
    double v[4];
    for (int i = 0; i < 4; ++i) {
        const OptionInfo* o = s.Active(kGeometry[i]);
        v[i] = ToInches(s, *o, o->Value());
    }
    f.left = v[0];
    f.top = v[1];
    f.right = v[2];
    f.bottom = v[3];
    return f;
}

FrameInches ScanArea(const OptionSnapshot& s) {
    FrameInches f;
    if (!HasGeometry(s)) return f;
    const OptionInfo* tlx = s.Active("tl-x");
    const OptionInfo* tly = s.Active("tl-y");
    const OptionInfo* brx = s.Active("br-x");
    const OptionInfo* bry = s.Active("br-y");
    f.left = ToInches(s, *tlx, RangeMin(*tlx));
    f.top = ToInches(s, *tly, RangeMin(*tly));
    f.right = ToInches(s, *brx, RangeMax(*brx));
    f.bottom = ToInches(s, *bry, RangeMax(*bry));
    return f;
}

std::vector<OptionWrite> PlanFrame(const OptionSnapshot& s, const FrameInches& frame) {
    std::vector<OptionWrite> w;
    if (!HasGeometry(s)) return w;
    const FrameInches area = ScanArea(s);
    FrameInches f = frame.IsZero() ? area : frame;
    f.left = std::clamp(f.left, area.left, area.right);
    f.right = std::clamp(f.right, area.left, area.right);
    f.top = std::clamp(f.top, area.top, area.bottom);
    f.bottom = std::clamp(f.bottom, area.top, area.bottom);
    const double v[4] = {f.left, f.top, f.right, f.bottom};
    for (int i = 0; i < 4; ++i) {
        const OptionInfo* o = s.Active(kGeometry[i]);
        w.push_back(Number(kGeometry[i], NearestAllowed(*o, FromInches(s, *o, v[i]))));
    }
    return w;
}

// ---- Paper sizes ----

const std::vector<PaperSize>& StandardPaperSizes() {
    static const std::vector<PaperSize> sizes = {
        {twain::TWSS_A4, 210, 297},
        {twain::TWSS_JISB5, 182, 257},
        {twain::TWSS_USLETTER, 215.9, 279.4},
        {twain::TWSS_USLEGAL, 215.9, 355.6},
        {twain::TWSS_A5, 148, 210},
        {twain::TWSS_ISOB4, 250, 353},
        {twain::TWSS_ISOB6, 125, 176},
        {twain::TWSS_USLEDGER, 279.4, 431.8},
        {twain::TWSS_USEXECUTIVE, 184.15, 266.7},
        {twain::TWSS_A3, 297, 420},
        {twain::TWSS_A6, 105, 148},
        {twain::TWSS_C4, 229, 324},
        {twain::TWSS_C5, 162, 229},
        {twain::TWSS_C6, 114, 162},
        {twain::TWSS_A7, 74, 105},
        {twain::TWSS_ISOB5, 176, 250},
        {twain::TWSS_JISB4, 257, 364},
        {twain::TWSS_JISB6, 128, 182},
        {twain::TWSS_USSTATEMENT, 139.7, 215.9},
        {twain::TWSS_BUSINESSCARD, 88.9, 50.8},
    };
    return sizes;
}

std::vector<double> SizesThatFit(const OptionSnapshot& s) {
    std::vector<double> r;
    if (!HasGeometry(s)) return r;
    const FrameInches a = ScanArea(s);
    const double w = (a.right - a.left) * 25.4 + 0.5, h = (a.bottom - a.top) * 25.4 + 0.5;
    for (const auto& p : StandardPaperSizes())
        if (p.widthMm <= w && p.heightMm <= h) r.push_back(p.code);
    std::sort(r.begin(), r.end());
    return r;
}

int SizeOfFrame(const FrameInches& f) {
    const double w = (f.right - f.left) * 25.4, h = (f.bottom - f.top) * 25.4;
    for (const auto& p : StandardPaperSizes())
        if (std::fabs(p.widthMm - w) <= 1.0 && std::fabs(p.heightMm - h) <= 1.0) return p.code;
    return twain::TWSS_NONE;
}

FrameInches FrameOfSize(int code) {
    for (const auto& p : StandardPaperSizes())
        if (p.code == code) return {0, 0, p.widthMm / 25.4, p.heightMm / 25.4};
    return {};
}

} // namespace scancontrol::sanectl
