// Small shared pieces of the control's interface.
#include <algorithm>

#include "scancontrol/CapabilityContainer.h"
#include "scancontrol/Dynamictwain.h"
#include "scancontrol/PageImage.h"

namespace scancontrol {

const char* EventName(TwainEvent event) {
    switch (event) {
        case TwainEvent::PageEnded: return "page ended";
        case TwainEvent::PageTransferred: return "page transferred";
        case TwainEvent::TransferReady: return "transfer ready";
        case TwainEvent::AcquisitionEnded: return "acquisition ended";
        case TwainEvent::TransferFailed: return "transfer failed";
        case TwainEvent::TransferCancelled: return "cancelled";
    }
    return "unknown event";
}

double CurrentValue(const CapContainer& c) {
    if (auto* one = std::get_if<CapOneValue>(&c)) return one->value;
    if (auto* arr = std::get_if<CapArray>(&c)) return arr->items.empty() ? 0.0 : arr->items.front();
    if (auto* en = std::get_if<CapEnumeration>(&c)) {
        if (en->currentIndex < 0 || en->currentIndex >= static_cast<long>(en->items.size())) return 0.0;
        return en->items[static_cast<size_t>(en->currentIndex)];
    }
    return std::get<CapRange>(c).currentValue;
}

PageImage PageImage::Blank(long width, long height, short bitsPerPixel, float dpi) {
    PageImage p;
    p.width = width;
    p.height = height;
    p.bitsPerPixel = bitsPerPixel;
    p.stride = MinimalStride(width, bitsPerPixel);
    p.xResolution = dpi;
    p.yResolution = dpi;
    // White: 0 bits in line-art (1 = black), 0xFF in grey and colour.
    p.pixels.assign(static_cast<size_t>(p.stride) * static_cast<size_t>(height), bitsPerPixel == 1 ? 0x00 : 0xFF);
    return p;
}

} // namespace scancontrol
