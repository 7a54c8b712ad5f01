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

DarkBox RenderDarkBox(const std::string& pdf, int page, int xDpi, int yDpi, const std::string& prefix) {
    DarkBox box;
    const std::string number = std::to_string(page);
    if (Tool({"pdftoppm", "-gray", "-singlefile", "-f", number, "-l", number, "-rx", std::to_string(xDpi), "-ry",
              std::to_string(yDpi), pdf, prefix}) == "FAILED")
        return box;
    const std::string pgm = Tool({"cat", prefix + ".pgm"});
    std::istringstream in(pgm);
    std::string magic;
    int width = 0, height = 0, maxval = 0;
    in >> magic >> width >> height >> maxval;
    in.get();
    if (magic != "P5" || width <= 0 || height <= 0 || !in) return box;
    const size_t start = static_cast<size_t>(in.tellg());
    if (pgm.size() < start + static_cast<size_t>(width) * static_cast<size_t>(height)) return box;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            if (static_cast<unsigned char>(pgm[start + static_cast<size_t>(y) * width + x]) >= 128) continue;
            if (box.left < 0 || x < box.left) box.left = x;
            if (box.top < 0) box.top = y;
            box.right = std::max(box.right, x + 1);
            box.bottom = y + 1;
        }
    return box;
}

} // namespace testsupport
