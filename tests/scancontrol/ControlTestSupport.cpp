#include "ControlTestSupport.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <sys/wait.h>

#include "scancontrol/SaneDynamictwain.h"
#include "scancontrol/Twain.h"

namespace scantest {

using scancontrol::TwainEvent;

// Qt's fonts (fontconfig) keep caches for the life of the process; the application
// object of these tests is never destroyed. The SANE test backend's buffers, handed
// between its reader thread and sane_read, are reported lost by LeakSanitizer after
// faults and flatbed pages; valgrind's memcheck finds nothing lost in the same runs.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\nleak:libsane-test\n"; }

void EnsureApplication() {
    static int argc = 1;
    static char name[] = "scancontrol_tests";
    static char* argv[] = {name, nullptr};
    // No display in CI: draw offscreen unless the environment says otherwise.
    if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (!QCoreApplication::instance()) new QApplication(argc, argv); // kept for the process
    // SANE stays initialised for the whole process: sane_exit unloads the backends, and
    // the test backend's static buffers, unloaded, would look like leaks to LeakSanitizer.
    static scancontrol::ISourceManager* keepSane = scancontrol::CreateSaneSourceManager().release();
    (void)keepSane;
}

void EventRecorder::OnTwainEvent(TwainEvent event) {
    events.push_back(static_cast<int>(event));
    if (onEvent) onEvent(event);
}

bool EventRecorder::Ended() const {
    return !events.empty() && (events.back() == 4 || events.back() == 5 || events.back() == 6);
}

bool EventRecorder::Wait(int milliseconds) {
    QEventLoop loop;
    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (Ended()) loop.quit();
    });
    timeout.start(milliseconds);
    poll.start(1);
    if (!Ended()) loop.exec();
    return Ended();
}

bool ResetTestBackend(scancontrol::CDynamictwain& control) {
    const std::pair<const char*, const char*> defaults[] = {{"source", "Flatbed"}, {"read-return-value", "Default"},
                                                            {"mode", "Gray"},      {"depth", "8"},
                                                            {"resolution", "50"},  {"test-picture", "Color pattern"},
                                                            {"tl-x", "0"},         {"tl-y", "0"},
                                                            {"br-x", "210"},       {"br-y", "297"}};
    for (const auto& d : defaults)
        if (!scancontrol::SetSaneOption(control, d.first, d.second)) return false;
    return true;
}

void Pump(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

std::string Run(const std::string& command, int* status) {
    std::string out;
    FILE* p = ::popen(command.c_str(), "r");
    if (!p) {
        if (status) *status = -1;
        return out;
    }
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    int rc = ::pclose(p);
    if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}

std::string SourceDir() {
    const char* d = std::getenv("SU_SOURCE_DIR");
    return d ? std::string(d) : std::string(SU_TEST_SOURCE_DIR);
}

namespace {

std::string Quote(const std::string& s) { return "'" + s + "'"; }

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The pixels of a binary PPM (P6, maxval 255).
bool ReadPpm(const std::string& ppm, std::string* rgb) {
    std::istringstream in(ppm);
    std::string magic;
    long w = 0, h = 0, maxval = 0;
    in >> magic >> w >> h >> maxval;
    if (magic != "P6" || maxval != 255) return false;
    in.get();
    const size_t n = static_cast<size_t>(w * h * 3);
    const size_t at = static_cast<size_t>(in.tellg());
    if (ppm.size() < at + n) return false;
    *rgb = ppm.substr(at, n);
    return true;
}

} // namespace

Decoded DecodeFile(const std::string& path) {
    Decoded d;
    const std::string ext = path.substr(path.rfind('.') + 1);
    const std::string raw = path + ".decoded.rgb";
    int status = 0;
    if (ext == "wmf" || ext == "emf") {
        d.tool = "metafile_decode.py";
        std::string line = Run("python3 " + Quote(SourceDir() + "/tests/scancontrol/metafile_decode.py") + " " +
                                   Quote(path) + " " + Quote(raw) + " 2>&1",
                               &status);
        if (status != 0) {
            d.error = line;
            return d;
        }
        std::istringstream in(line);
        std::string kind;
        in >> kind >> d.width >> d.height >> d.depth >> d.xDpi >> d.yDpi;
    } else {
        d.tool = "ImageMagick";
        // %z: bits per sample as stored; %[colorspace]: Gray or sRGB.
        std::string info =
            Run("convert " + Quote(path) + " -units PixelsPerInch -format '%w %h %z %x %y %[colorspace]' info: 2>&1",
                &status);
        if (status != 0) {
            d.error = info;
            return d;
        }
        std::istringstream in(info);
        std::string colorspace;
        int bitsPerSample = 0;
        in >> d.width >> d.height >> bitsPerSample >> d.xDpi >> d.yDpi >> colorspace;
        d.depth = bitsPerSample == 1 ? 1 : colorspace == "Gray" ? 8 : 24;
        if (ext == "bmp" || ext == "png") {
            // The stored bit depth as netpbm reads it from the header.
            std::smatch m;
            if (ext == "bmp") {
                const std::string v = Run("bmptopnm -verbose " + Quote(path) + " 2>&1 >/dev/null");
                if (std::regex_search(v, m, std::regex("Bits per pixel in raster: ([0-9]+)")))
                    d.depth = std::stoi(m[1]);
            } else {
                const std::string v = Run("pngtopnm -verbose " + Quote(path) + " 2>&1 >/dev/null");
                if (std::regex_search(v, m, std::regex("image, ([0-9]+) bit"))) {
                    d.depth = std::stoi(m[1]);
                    if (v.find("truecolor") != std::string::npos) d.depth *= 3;
                }
            }
        }
        if (ext == "pcx") {
            // Pixels through netpbm's pcxtoppm, which honours the header palette of
            // 1-bit files (Debian's ImageMagick 6 shows them inverted).
            d.tool = "ImageMagick + pcxtoppm";
            const std::string ppm = Run("pcxtoppm " + Quote(path) + " 2>/dev/null", &status);
            if (status != 0 || !ReadPpm(ppm, &d.rgb)) {
                d.error = "pcxtoppm failed";
                return d;
            }
            d.ok = d.rgb.size() == static_cast<size_t>(d.width * d.height * 3);
            if (!d.ok) d.error = "decoded pixel data has the wrong size";
            return d;
        }
        Run("convert " + Quote(path) + " -depth 8 rgb:" + Quote(raw) + " 2>&1", &status);
        if (status != 0) {
            d.error = "convert to raw RGB failed";
            return d;
        }
    }
    d.rgb = ReadAll(raw);
    std::remove(raw.c_str());
    d.ok = d.rgb.size() == static_cast<size_t>(d.width * d.height * 3);
    if (!d.ok) d.error = "decoded pixel data has the wrong size";
    return d;
}

} // namespace scantest
