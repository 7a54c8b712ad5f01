#include "delivery/FaxQueues.h"

// Types and constants only: the functions are looked up in the loaded library.
#include <cups/cups.h>

#include <cstdlib>

#include "output/DynamicLibrary.h"

namespace delivery {
namespace {

struct PrintSystem {
    const output::DynamicLibrary* library = nullptr;
    decltype(&cupsGetDests2) getDests = nullptr;
    decltype(&cupsLastError) lastError = nullptr;
    decltype(&cupsGetOption) getOption = nullptr;
    decltype(&cupsFreeDests) freeDests = nullptr;
    bool Complete() const { return getDests && lastError && getOption && freeDests; }
};

template <typename Function>
void Bind(const output::DynamicLibrary& library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(library.Symbol(name));
}

// Loaded once; never unloaded, as the library may keep threads or handlers of its own.
const PrintSystem& Loaded() {
    static const PrintSystem api = [] {
        PrintSystem p;
        auto* library = new output::DynamicLibrary("libcups.so.2");
        p.library = library;
        Bind(*library, "cupsGetDests2", p.getDests);
        Bind(*library, "cupsLastError", p.lastError);
        Bind(*library, "cupsGetOption", p.getOption);
        Bind(*library, "cupsFreeDests", p.freeDests);
        return p;
    }();
    return api;
}

} // namespace

FaxQueueLookup FindFaxQueue(std::string& name) {
    name.clear();
    const PrintSystem& cups = Loaded();
    if (!cups.Complete()) return FaxQueueLookup::NoPrintSystem;
    cups_dest_t* dests = nullptr;
    int count = cups.getDests(CUPS_HTTP_DEFAULT, &dests);
    if (count == 0 && cups.lastError() > IPP_STATUS_OK_EVENTS_COMPLETE) return FaxQueueLookup::NoPrintSystem;
    for (int i = 0; i < count && name.empty(); ++i) {
        const char* type = cups.getOption("printer-type", dests[i].num_options, dests[i].options);
        if (type && (std::strtoul(type, nullptr, 10) & CUPS_PRINTER_FAX)) name = dests[i].name;
    }
    cups.freeDests(count, dests);
    return name.empty() ? FaxQueueLookup::NoQueue : FaxQueueLookup::Found;
}

} // namespace delivery
