#include "delivery/FaxQueues.h"

// Types and constants only: the functions are looked up in the loaded library.
#include <cups/cups.h>

#include <cstdlib>

#include "output/DynamicLibrary.h"

namespace delivery {
namespace {

struct PrintSystem {
    const output::DynamicLibrary* library = nullptr; // kept for the whole process
    decltype(&cupsSetServer) setServer = nullptr;
    decltype(&cupsServer) server = nullptr;
    decltype(&ippPort) port = nullptr;
    decltype(&cupsEncryption) encryption = nullptr;
    decltype(&httpConnect2) connect = nullptr;
    decltype(&httpClose) close = nullptr;
    decltype(&cupsGetDests2) getDests = nullptr;
    decltype(&cupsCopyDest) copyDest = nullptr;
    decltype(&cupsFreeDests) freeDests = nullptr;
    decltype(&cupsGetOption) getOption = nullptr;
    decltype(&cupsLastError) lastError = nullptr;
    decltype(&cupsLastErrorString) lastErrorString = nullptr;
    decltype(&cupsCopyDestInfo) copyDestInfo = nullptr;
    decltype(&cupsFreeDestInfo) freeDestInfo = nullptr;
    decltype(&cupsGetDestMediaDefault) mediaDefault = nullptr;
    decltype(&cupsFindDestDefault) findDefault = nullptr;
    decltype(&ippGetResolution) getResolution = nullptr;
    decltype(&cupsCreateDestJob) createJob = nullptr;
    decltype(&cupsStartDestDocument) startDocument = nullptr;
    decltype(&cupsWriteRequestData) writeData = nullptr;
    decltype(&cupsFinishDestDocument) finishDocument = nullptr;
    decltype(&cupsCancelDestJob) cancelJob = nullptr;
    bool complete = false;
};

template <typename Function>
bool Bind(const output::DynamicLibrary& library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(library.Symbol(name));
    return function != nullptr;
}

// Loaded once; never unloaded, as the library may keep threads or handlers of its own.
const PrintSystem& Loaded() {
    static const PrintSystem api = [] {
        PrintSystem p;
        auto* library = new output::DynamicLibrary("libcups.so.2");
        const output::DynamicLibrary& l = *library;
        p.library = library;
        p.complete = Bind(l, "cupsSetServer", p.setServer) && Bind(l, "cupsServer", p.server) &&
                     Bind(l, "ippPort", p.port) && Bind(l, "cupsEncryption", p.encryption) &&
                     Bind(l, "httpConnect2", p.connect) && Bind(l, "httpClose", p.close) &&
                     Bind(l, "cupsGetDests2", p.getDests) && Bind(l, "cupsCopyDest", p.copyDest) &&
                     Bind(l, "cupsFreeDests", p.freeDests) && Bind(l, "cupsGetOption", p.getOption) &&
                     Bind(l, "cupsLastError", p.lastError) && Bind(l, "cupsLastErrorString", p.lastErrorString) &&
                     Bind(l, "cupsCopyDestInfo", p.copyDestInfo) && Bind(l, "cupsFreeDestInfo", p.freeDestInfo) &&
                     Bind(l, "cupsGetDestMediaDefault", p.mediaDefault) &&
                     Bind(l, "cupsFindDestDefault", p.findDefault) && Bind(l, "ippGetResolution", p.getResolution) &&
                     Bind(l, "cupsCreateDestJob", p.createJob) && Bind(l, "cupsStartDestDocument", p.startDocument) &&
                     Bind(l, "cupsWriteRequestData", p.writeData) &&
                     Bind(l, "cupsFinishDestDocument", p.finishDocument) && Bind(l, "cupsCancelDestJob", p.cancelJob);
        return p;
    }();
    return api;
}

constexpr int kConnectTimeoutMs = 30000;

// Hundredths of a millimetre (the print system's page unit) to points.
double Points(int hundredthsOfMm) { return hundredthsOfMm * 72.0 / 2540.0; }

} // namespace

struct FaxPrintSession::Connection {
    const PrintSystem& cups;
    std::string server;
    http_t* http = nullptr;
    cups_dest_t* queue = nullptr; // a copy of the chosen queue, owned
    int queueCount = 0;
    cups_dinfo_t* info = nullptr;

    explicit Connection(const PrintSystem& api) : cups(api) {}
    ~Connection() {
        if (info) cups.freeDestInfo(info);
        if (queue) cups.freeDests(queueCount, queue);
        if (http) cups.close(http);
    }
    bool Open() {
        http = cups.connect(server.c_str(), cups.port(), nullptr, AF_UNSPEC, cups.encryption(), 1, kConnectTimeoutMs,
                            nullptr);
        return http != nullptr;
    }
    // The queue's description, read once.
    cups_dinfo_t* Info() {
        if (!info && queue) info = cups.copyDestInfo(http, queue);
        return info;
    }
};

FaxPrintSession::FaxPrintSession() = default;

bool FaxPrintSession::LoadLibrary() { return Loaded().complete; }

FaxPrintSession::~FaxPrintSession() {
    if (JobOpen()) CancelJob();
}

bool FaxPrintSession::Connect() {
    connection_.reset();
    const PrintSystem& cups = Loaded();
    if (!cups.complete) return false;
    // Forget the server chosen for an earlier job: the environment or the user's print
    // settings may name another one now.
    cups.setServer(nullptr);
    auto connection = std::make_unique<Connection>(cups);
    connection->server = cups.server();
    if (!connection->Open()) return false;
    connection_ = std::move(connection);
    return true;
}

FaxQueueLookup FaxPrintSession::FindFaxQueue() {
    queueName_.clear();
    if (!connection_) return FaxQueueLookup::ListFailure;
    Connection& c = *connection_;
    const PrintSystem& cups = c.cups;
    cups_dest_t* dests = nullptr;
    const int count = cups.getDests(c.http, &dests);
    if (count == 0 && cups.lastError() > IPP_STATUS_OK_EVENTS_COMPLETE) return FaxQueueLookup::ListFailure;
    for (int i = 0; i < count && queueName_.empty(); ++i) {
        const char* type = cups.getOption("printer-type", dests[i].num_options, dests[i].options);
        if (!type || !(std::strtoul(type, nullptr, 10) & CUPS_PRINTER_FAX)) continue;
        c.queueCount = cups.copyDest(&dests[i], 0, &c.queue);
        if (c.queue) queueName_ = dests[i].name;
    }
    cups.freeDests(count, dests);
    return queueName_.empty() ? FaxQueueLookup::NoQueue : FaxQueueLookup::Found;
}

bool FaxPrintSession::ReadGeometry(FaxPageGeometry& geometry) {
    if (!connection_ || !connection_->Info()) return false;
    Connection& c = *connection_;
    cups_size_t size{};
    if (!c.cups.mediaDefault(c.http, c.queue, c.info, 0, &size) || size.width <= 0 || size.length <= 0) return false;
    geometry = FaxPageGeometry{};
    geometry.mediaWidth = Points(size.width);
    geometry.mediaLength = Points(size.length);
    geometry.left = Points(size.left);
    geometry.right = Points(size.right);
    geometry.top = Points(size.top);
    geometry.bottom = Points(size.bottom);
    if (ipp_attribute_t* resolution = c.cups.findDefault(c.http, c.queue, c.info, "printer-resolution")) {
        ipp_res_t units = IPP_RES_PER_INCH;
        int y = 0;
        const int x = c.cups.getResolution(resolution, 0, &y, &units);
        const double perInch = units == IPP_RES_PER_CM ? 2.54 : 1.0;
        if (x > 0 && y > 0) {
            geometry.xDpi = x * perInch;
            geometry.yDpi = y * perInch;
        }
    }
    return true;
}

bool FaxPrintSession::StartJob(const std::string& title) {
    if (!connection_ || JobOpen() || !connection_->Info()) return false;
    Connection& c = *connection_;
    int job = 0;
    if (c.cups.createJob(c.http, c.queue, c.info, &job, title.c_str(), 0, nullptr) != IPP_STATUS_OK || job <= 0)
        return false;
    jobId_ = job;
    if (c.cups.startDocument(c.http, c.queue, c.info, job, title.c_str(), CUPS_FORMAT_PDF, 0, nullptr, 1) !=
        HTTP_STATUS_CONTINUE) {
        CancelJob();
        return false;
    }
    documentOpen_ = true;
    return true;
}

bool FaxPrintSession::Write(const unsigned char* data, size_t size) {
    if (!documentOpen_) return false;
    Connection& c = *connection_;
    return c.cups.writeData(c.http, reinterpret_cast<const char*>(data), size) == HTTP_STATUS_CONTINUE;
}

bool FaxPrintSession::FinishJob() {
    if (!documentOpen_) return false;
    Connection& c = *connection_;
    documentOpen_ = false;
    if (c.cups.finishDocument(c.http, c.queue, c.info) > IPP_STATUS_OK_EVENTS_COMPLETE) {
        CancelJob();
        return false;
    }
    jobId_ = 0;
    return true;
}

void FaxPrintSession::CancelJob() {
    if (!connection_ || !JobOpen()) return;
    Connection& c = *connection_;
    if (documentOpen_) {
        // The connection is in the middle of sending the document: drop it (the server
        // discards the unfinished document) and withdraw the job over a fresh one.
        c.cups.close(c.http);
        c.http = nullptr;
        documentOpen_ = false;
        if (!c.Open()) {
            jobId_ = 0;
            return;
        }
    }
    c.cups.cancelJob(c.http, c.queue, jobId_);
    jobId_ = 0;
}

std::string FaxPrintSession::LastErrorText() const {
    const PrintSystem& cups = Loaded();
    const char* text = cups.complete ? cups.lastErrorString() : nullptr;
    return text ? text : "the print system's library (libcups.so.2) could not be loaded";
}

} // namespace delivery
