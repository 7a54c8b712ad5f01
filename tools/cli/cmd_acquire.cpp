// `acquire`: scans pages through the scanning control's interface only, writes each
// with SaveImageToFile into a folder, and prints one line per event ("3 transfer
// ready") and one per file written. Exit status 0 only for a normal end (event 4).
#include <QCoreApplication>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "Command.h"
#include "scancontrol/SaneDynamictwain.h"

namespace {

using scancontrol::TwainEvent;

const char* Extension(long format) {
    switch (format) {
        case twain::TWFF_BMP: return "bmp";
        case twain::TWFF_PNG: return "png";
        case twain::FF_PCX: return "pcx";
        case twain::FF_GIF: return "gif";
        case twain::FF_TGA: return "tga";
        case twain::FF_WMF: return "wmf";
        case twain::FF_EMF: return "emf";
        default: return nullptr;
    }
}

bool ParseLong(const std::string& text, long* value) {
    if (text.empty()) return false;
    char* end = nullptr;
    *value = std::strtol(text.c_str(), &end, 10);
    return end && *end == '\0';
}

bool ParseFrame(const std::string& text, float f[4]) {
    std::stringstream in(text);
    std::string part;
    int n = 0;
    while (std::getline(in, part, ',')) {
        if (n == 4) return false;
        char* end = nullptr;
        f[n] = std::strtof(part.c_str(), &end);
        if (part.empty() || !end || *end != '\0') return false;
        ++n;
    }
    return n == 4;
}

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

class Printer : public scancontrol::IDynamictwainEvents {
public:
    Printer(scancontrol::CDynamictwain& control, std::string folder, long format)
        : control_(control), folder_(std::move(folder)), format_(format) {}

    void OnTwainEvent(TwainEvent event) override {
        const int n = static_cast<int>(event);
        if (event == TwainEvent::TransferFailed)
            std::printf("%d %s (error %ld: %s)\n", n, scancontrol::EventName(event), control_.ErrorCode(),
                        control_.ErrorString().c_str());
        else std::printf("%d %s\n", n, scancontrol::EventName(event));
        if (event == TwainEvent::PageTransferred) {
            ++pages_;
            char name[64];
            std::snprintf(name, sizeof name, "page-%03d.%s", pages_, Extension(format_));
            const std::string path = folder_ + name;
            if (control_.SaveImageToFile(path, format_)) {
                std::printf("written %s\n", path.c_str());
            } else {
                std::printf("not written %s (error %ld: %s)\n", path.c_str(), control_.ErrorCode(),
                            control_.ErrorString().c_str());
                writeFailed_ = true;
                control_.DisableSource(); // ends the acquisition: nothing more arrives
                QCoreApplication::exit(1);
            }
        }
        std::fflush(stdout);
        if (event == TwainEvent::AcquisitionEnded) QCoreApplication::exit(writeFailed_ ? 1 : 0);
        if (event == TwainEvent::TransferFailed || event == TwainEvent::TransferCancelled) QCoreApplication::exit(1);
    }

private:
    scancontrol::CDynamictwain& control_;
    std::string folder_;
    long format_;
    int pages_ = 0;
    bool writeFailed_ = false;
};

int Usage() {
    std::fprintf(
        stderr,
        "usage: scanner-utility-cli acquire --source NAME [--pixel-type 0|1|2] [--resolution DPI]\n"
        "         [--frame L,T,R,B] [--feeder] [--duplex] [--count N] [--format 2|7|100|101|102|103|104] --out DIR\n"
        "  frame in inches; pixel type 0 black-and-white, 1 grey, 2 colour\n");
    return 2;
}

int Fail(scancontrol::CDynamictwain& control, const char* what) {
    std::fprintf(stderr, "scanner-utility-cli: %s (error %ld: %s)\n", what, control.ErrorCode(),
                 control.ErrorString().c_str());
    return 1;
}

int Run(const cli::Args& args) {
    const cli::Options opt(args);
    const std::string unknown = opt.Unknown({"--feeder", "--duplex"}, {"--source", "--pixel-type", "--resolution",
                                                                       "--frame", "--count", "--format", "--out"});
    if (!unknown.empty() || !opt.Positional().empty() || !opt.Has("--source") || !opt.Has("--out")) return Usage();
    long pixelType = -1, count = 0, format = twain::TWFF_BMP, dpi = 0;
    float frame[4] = {0, 0, 0, 0};
    if (opt.Has("--pixel-type") &&
        (!ParseLong(opt.Value("--pixel-type"), &pixelType) || pixelType < 0 || pixelType > 2))
        return Usage();
    if (opt.Has("--resolution") && (!ParseLong(opt.Value("--resolution"), &dpi) || dpi <= 0)) return Usage();
    if (opt.Has("--count") && (!ParseLong(opt.Value("--count"), &count) || (count != -1 && count < 1) || count > 32767))
        return Usage();
    if (opt.Has("--format") && (!ParseLong(opt.Value("--format"), &format) || !Extension(format))) return Usage();
    if (opt.Has("--frame") && !ParseFrame(opt.Value("--frame"), frame)) return Usage();
    std::string folder = opt.Value("--out");
    if (folder.back() != '/') folder += '/';
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        std::fprintf(stderr, "scanner-utility-cli: cannot create %s: %s\n", folder.c_str(), ec.message().c_str());
        return 1;
    }

    static int argc = 1;
    static char name[] = "scanner-utility-cli";
    static char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    std::unique_ptr<scancontrol::CDynamictwain> control = scancontrol::CreateSaneDynamictwain();
    Printer printer(*control, folder, format);
    control->SetEventListener(&printer);
    try {
        if (!control->OpenSourceManager()) return Fail(*control, "the source manager (SANE) could not be initialised");
        const std::string wanted = opt.Value("--source");
        short index = -1;
        for (short i = 0; i < control->SourceCount() && index < 0; ++i)
            if (SameName(control->SourceNameAt(i), wanted)) index = i;
        if (index < 0) {
            std::fprintf(stderr, "scanner-utility-cli: no source named %s (see `scanner-utility-cli sources`)\n",
                         wanted.c_str());
            return 1;
        }
        if (!control->SelectSourceByIndex(index) || !control->OpenSource())
            return Fail(*control, "cannot open the source");
        control->DisableAfterAcquire(true);
        control->TransferMode(twain::TWSX_FILE);
        if (pixelType >= 0) {
            control->PixelType(static_cast<short>(pixelType));
            control->BitDepth(pixelType == 0 ? 1 : pixelType == 1 ? 8 : 24);
        }
        if (dpi > 0) control->Resolution(static_cast<float>(dpi));
        if (opt.Has("--frame") && !control->SetImageLayout(frame[0], frame[1], frame[2], frame[3]))
            return Fail(*control, "the frame was refused");
        if (opt.Flag("--feeder") || opt.Flag("--duplex")) {
            control->FeederEnabled(true);
            if (!control->FeederEnabled()) {
                std::fprintf(stderr, "scanner-utility-cli: the source has no document feeder\n");
                return 1;
            }
            control->TransferCount(-1);
            control->AutoFeed(true);
        }
        if (opt.Flag("--duplex")) {
            control->DuplexEnabled(true);
            if (!control->DuplexEnabled()) {
                std::fprintf(stderr, "scanner-utility-cli: the source has no duplex unit\n");
                return 1;
            }
        }
        if (count != 0) control->TransferCount(static_cast<short>(count));
        if (!control->AcquireImage()) return Fail(*control, "the acquisition was refused");
    } catch (const scancontrol::AutomationError& e) {
        std::fprintf(stderr, "scanner-utility-cli: %s (error %ld)\n", e.what(), e.Code());
        return 1;
    }
    const int status = app.exec();
    control->CloseSource();
    control->CloseSourceManager();
    return status;
}

const cli::CliCommand command(
    "acquire",
    "--source NAME [--pixel-type 0|1|2] [--resolution DPI] [--frame L,T,R,B] [--feeder] [--duplex]\n"
    "          [--count N] [--format 2|7|100|101|102|103|104] --out DIR\n"
    "        scan pages and write each into DIR, printing the control's events",
    Run);

} // namespace
