#include "Pages.h"

#include <sys/wait.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "codec/Bmp.h"

namespace testpages {

void MakePage(codec::Image& page, int width, int height, codec::PixelFormat format, double dpi, unsigned seed) {
    codec::Image colour;
    colour.Allocate(width, height, codec::PixelFormat::Rgb24);
    uint32_t state = seed * 2654435761u + 1;
    auto next = [&state] { return state = state * 1664525u + 1013904223u; };
    // Random dark blocks ("words") on light rows, a bar on the left, and a gradient.
    for (int y = 0; y < height; ++y) {
        uint8_t* row = colour.Row(y);
        for (int x = 0; x < width; ++x) {
            row[3 * x] = static_cast<uint8_t>(200 + (x * 55) / width);
            row[3 * x + 1] = static_cast<uint8_t>(230 - (y * 60) / height);
            row[3 * x + 2] = 240;
        }
    }
    for (int block = 0; block < (width * height) / 400 + 4; ++block) {
        const int bw = 2 + static_cast<int>(next() % 12), bh = 2 + static_cast<int>(next() % 6);
        const int bx = static_cast<int>(next() % static_cast<unsigned>(width));
        const int by = static_cast<int>(next() % static_cast<unsigned>(height));
        const uint8_t r = static_cast<uint8_t>(next() % 90), g = static_cast<uint8_t>(next() % 90);
        for (int y = by; y < by + bh && y < height; ++y)
            for (int x = bx; x < bx + bw && x < width; ++x) {
                uint8_t* p = colour.Row(y) + 3 * x;
                p[0] = r;
                p[1] = g;
                p[2] = 40;
            }
    }
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width / 16 + 1; ++x) std::memset(colour.Row(y) + 3 * x, 10, 3);
    colour.xDpi = colour.yDpi = dpi;
    codec::Convert(colour, format, page);
}

std::string WriteBmpPage(const std::string& path, int width, int height, codec::PixelFormat format, double dpi,
                         unsigned seed) {
    codec::Image page;
    MakePage(page, width, height, format, dpi, seed);
    codec::SaveBmp(page, path);
    return path;
}

int Run(const std::string& command, std::string* output) {
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return -1;
    std::string text;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
    const int status = ::pclose(pipe);
    if (output) *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool HaveTool(const std::string& name) { return Run("command -v " + name + " >/dev/null 2>&1") == 0; }

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

bool ReadPnm(const std::string& path, codec::Image& out) {
    const std::string d = ReadFile(path);
    if (d.size() < 3 || d[0] != 'P') return false;
    const char kind = d[1];
    size_t i = 2;
    int values[3] = {0, 0, 1};
    const int needed = kind == '4' ? 2 : 3;
    for (int v = 0; v < needed; ++v) {
        while (i < d.size() && (std::isspace(static_cast<unsigned char>(d[i])) || d[i] == '#')) {
            if (d[i] == '#')
                while (i < d.size() && d[i] != '\n') ++i;
            else ++i;
        }
        values[v] = std::atoi(d.c_str() + i);
        while (i < d.size() && std::isdigit(static_cast<unsigned char>(d[i]))) ++i;
    }
    ++i; // the single whitespace before the data
    const codec::PixelFormat format = kind == '4'   ? codec::PixelFormat::Bilevel1
                                      : kind == '5' ? codec::PixelFormat::Gray8
                                                    : codec::PixelFormat::Rgb24;
    if (kind != '4' && kind != '5' && kind != '6') return false;
    if (!out.Allocate(values[0], values[1], format)) return false;
    const size_t row = out.RowBytes();
    if (d.size() < i + row * size_t(values[1])) return false;
    for (int y = 0; y < values[1]; ++y) std::memcpy(out.Row(y), d.data() + i + row * size_t(y), row);
    return true;
}

double BilevelDifference(const codec::Image& a, const codec::Image& b) {
    if (a.width != b.width || a.height != b.height) return 1.0;
    long differing = 0;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) {
            const bool pa = a.Row(y)[x >> 3] & (0x80 >> (x & 7));
            const bool pb = b.Row(y)[x >> 3] & (0x80 >> (x & 7));
            differing += pa != pb;
        }
    return static_cast<double>(differing) / (double(a.width) * a.height);
}

double MeanGreyDifference(const codec::Image& a, const codec::Image& b) {
    if (a.width != b.width || a.height != b.height) return 255.0;
    codec::Image ga, gb;
    codec::Convert(a, codec::PixelFormat::Gray8, ga);
    codec::Convert(b, codec::PixelFormat::Gray8, gb);
    double sum = 0;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) sum += std::abs(int(ga.Row(y)[x]) - int(gb.Row(y)[x]));
    return sum / (double(a.width) * a.height);
}

} // namespace testpages
