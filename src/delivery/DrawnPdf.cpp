#include "delivery/DrawnPdf.h"

// Types and constants only: the functions are looked up in the loaded library.
#include <cairo/cairo-pdf.h>
#include <cairo/cairo.h>

#include <cstdint>
#include <cstring>

#include "output/DynamicLibrary.h"

namespace delivery {
namespace {

struct DrawingLibrary {
    const output::DynamicLibrary* library = nullptr; // kept for the whole process
    decltype(&cairo_pdf_surface_create_for_stream) createPdf = nullptr;
    decltype(&cairo_pdf_surface_set_metadata) setMetadata = nullptr;
    decltype(&cairo_surface_status) surfaceStatus = nullptr;
    decltype(&cairo_surface_finish) finish = nullptr;
    decltype(&cairo_surface_destroy) destroySurface = nullptr;
    decltype(&cairo_surface_flush) flush = nullptr;
    decltype(&cairo_surface_mark_dirty) markDirty = nullptr;
    decltype(&cairo_image_surface_create) createImage = nullptr;
    decltype(&cairo_image_surface_get_data) imageData = nullptr;
    decltype(&cairo_image_surface_get_stride) imageStride = nullptr;
    decltype(&cairo_create) create = nullptr;
    decltype(&cairo_destroy) destroy = nullptr;
    decltype(&cairo_status) status = nullptr;
    decltype(&cairo_save) save = nullptr;
    decltype(&cairo_restore) restore = nullptr;
    decltype(&cairo_translate) translate = nullptr;
    decltype(&cairo_scale) scale = nullptr;
    decltype(&cairo_set_source_surface) setSource = nullptr;
    decltype(&cairo_get_source) getSource = nullptr;
    decltype(&cairo_pattern_set_filter) setFilter = nullptr;
    decltype(&cairo_paint) paint = nullptr;
    decltype(&cairo_show_page) showPage = nullptr;
    bool complete = false;
};

template <typename Function>
bool Bind(const output::DynamicLibrary& library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(library.Symbol(name));
    return function != nullptr;
}

// Loaded once and never unloaded: the library keeps caches of its own for the process.
const DrawingLibrary& Loaded() {
    static const DrawingLibrary api = [] {
        DrawingLibrary d;
        auto* library = new output::DynamicLibrary("libcairo.so.2");
        const output::DynamicLibrary& l = *library;
        d.library = library;
        d.complete =
            Bind(l, "cairo_pdf_surface_create_for_stream", d.createPdf) &&
            Bind(l, "cairo_pdf_surface_set_metadata", d.setMetadata) &&
            Bind(l, "cairo_surface_status", d.surfaceStatus) && Bind(l, "cairo_surface_finish", d.finish) &&
            Bind(l, "cairo_surface_destroy", d.destroySurface) && Bind(l, "cairo_surface_flush", d.flush) &&
            Bind(l, "cairo_surface_mark_dirty", d.markDirty) && Bind(l, "cairo_image_surface_create", d.createImage) &&
            Bind(l, "cairo_image_surface_get_data", d.imageData) &&
            Bind(l, "cairo_image_surface_get_stride", d.imageStride) && Bind(l, "cairo_create", d.create) &&
            Bind(l, "cairo_destroy", d.destroy) && Bind(l, "cairo_status", d.status) && Bind(l, "cairo_save", d.save) &&
            Bind(l, "cairo_restore", d.restore) && Bind(l, "cairo_translate", d.translate) &&
            Bind(l, "cairo_scale", d.scale) && Bind(l, "cairo_set_source_surface", d.setSource) &&
            Bind(l, "cairo_get_source", d.getSource) && Bind(l, "cairo_pattern_set_filter", d.setFilter) &&
            Bind(l, "cairo_paint", d.paint) && Bind(l, "cairo_show_page", d.showPage);
        return d;
    }();
    return api;
}

cairo_status_t WriteToSink(void* closure, const unsigned char* data, unsigned int length) {
    auto& sink = *static_cast<DrawnPdf::Sink*>(closure);
    return sink(data, length) ? CAIRO_STATUS_SUCCESS : CAIRO_STATUS_WRITE_ERROR;
}

// One row of the image as the library's 32-bit pixels (0x00RRGGBB in the machine's order).
void ConvertRow(const codec::ImageView& image, int y, uint32_t* out) {
    const uint8_t* s = image.Row(y);
    for (int x = 0; x < image.width; ++x) {
        uint32_t r = 0, g = 0, b = 0;
        switch (image.format) {
            case codec::PixelFormat::Bilevel1: r = g = b = (s[x / 8] >> (7 - x % 8)) & 1 ? 0 : 255; break;
            case codec::PixelFormat::Gray8: r = g = b = s[x]; break;
            case codec::PixelFormat::Rgb24:
                r = s[3 * x];
                g = s[3 * x + 1];
                b = s[3 * x + 2];
                break;
            case codec::PixelFormat::Bgr24:
                b = s[3 * x];
                g = s[3 * x + 1];
                r = s[3 * x + 2];
                break;
        }
        out[x] = (r << 16) | (g << 8) | b;
    }
}

} // namespace

struct DrawnPdf::Surface {
    const DrawingLibrary& lib;
    cairo_surface_t* pdf = nullptr;
    cairo_t* cr = nullptr;
    explicit Surface(const DrawingLibrary& l) : lib(l) {}
    ~Surface() {
        if (cr) lib.destroy(cr);
        if (pdf) lib.destroySurface(pdf);
    }
    bool Healthy() const {
        return pdf && cr && lib.surfaceStatus(pdf) == CAIRO_STATUS_SUCCESS && lib.status(cr) == CAIRO_STATUS_SUCCESS;
    }
};

DrawnPdf::DrawnPdf(Sink sink) : sink_(std::move(sink)) {}

bool DrawnPdf::LoadLibrary() { return Loaded().complete; }

// Dropping an unfinished document sends nothing more: the sink is no longer asked.
DrawnPdf::~DrawnPdf() {
    sink_ = [](const unsigned char*, size_t) { return false; };
    surface_.reset();
}

bool DrawnPdf::Open(double pageWidth, double pageHeight, const char* title) {
    const DrawingLibrary& lib = Loaded();
    if (!lib.complete || surface_) return false;
    auto surface = std::make_unique<Surface>(lib);
    surface->pdf = lib.createPdf(WriteToSink, &sink_, pageWidth, pageHeight);
    surface->cr = lib.create(surface->pdf);
    if (!surface->Healthy()) return false;
    lib.setMetadata(surface->pdf, CAIRO_PDF_METADATA_TITLE, title);
    surface_ = std::move(surface);
    return true;
}

bool DrawnPdf::StartPage() { return surface_ && surface_->Healthy(); }

bool DrawnPdf::DrawImage(const codec::ImageView& image, double x, double y, double width, double height) {
    if (!StartPage() || image.width <= 0 || image.height <= 0 || !image.top) return false;
    const DrawingLibrary& lib = surface_->lib;
    cairo_surface_t* picture = lib.createImage(CAIRO_FORMAT_RGB24, image.width, image.height);
    bool ok = lib.surfaceStatus(picture) == CAIRO_STATUS_SUCCESS;
    if (ok) {
        lib.flush(picture);
        unsigned char* data = lib.imageData(picture);
        const size_t stride = static_cast<size_t>(lib.imageStride(picture));
        for (int row = 0; row < image.height; ++row)
            ConvertRow(image, row, reinterpret_cast<uint32_t*>(data + stride * static_cast<size_t>(row)));
        lib.markDirty(picture);
        cairo_t* cr = surface_->cr;
        lib.save(cr);
        lib.translate(cr, x, y);
        lib.scale(cr, width / image.width, height / image.height);
        lib.setSource(cr, picture, 0, 0);
        lib.setFilter(lib.getSource(cr), CAIRO_FILTER_NEAREST);
        lib.paint(cr);
        lib.restore(cr);
        ok = surface_->Healthy();
    }
    lib.destroySurface(picture); // the document keeps its own reference while it needs one
    return ok;
}

bool DrawnPdf::EndPage() {
    if (!StartPage()) return false;
    surface_->lib.showPage(surface_->cr);
    if (!surface_->Healthy()) return false;
    ++pages_;
    return true;
}

bool DrawnPdf::Finish() {
    if (!surface_) return false;
    const bool healthy = surface_->Healthy();
    surface_->lib.finish(surface_->pdf);
    const bool written = surface_->lib.surfaceStatus(surface_->pdf) == CAIRO_STATUS_SUCCESS;
    surface_.reset();
    return healthy && written;
}

} // namespace delivery
