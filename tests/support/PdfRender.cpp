#include "support/PdfRender.h"

#include <algorithm>
#include <sstream>
#include <vector>

#include "platform/Process.h"

namespace testsupport {
namespace {

std::string Tool(const std::vector<std::string>& argv) {
    std::string out;
    return platform::CaptureOutput(argv, out, 120000) ? out : std::string("FAILED");
}

} // namespace

Render RenderFirstPage(const std::string& pdf, const std::string& prefix) {
    Render r;
    r.complaints =
        Tool({"sh", "-c", "pdftoppm -r 20 -gray -f 1 -l 1 \"$1\" \"$2\" 2>&1 >/dev/null", "sh", pdf, prefix});
    const std::string pgm = Tool({"sh", "-c", "cat \"$1\"-*1.pgm", "sh", prefix});
    std::istringstream in(pgm);
    std::string magic;
    int width = 0, height = 0, maxval = 0;
    in >> magic >> width >> height >> maxval;
    in.get();
    if (magic != "P5" || width <= 0 || height <= 0 || !in) return r;
    for (size_t i = static_cast<size_t>(in.tellg()); i < pgm.size(); ++i)
        r.darkest = std::min<int>(r.darkest, static_cast<unsigned char>(pgm[i]));
    return r;
}

} // namespace testsupport
