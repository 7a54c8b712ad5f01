#include "output/OutputHost.h"

#include <cerrno>
#include <cstring>
#include <mutex>

#include "output/FileNaming.h"
#include "platform/FileSystem.h"
#include "platform/Folders.h"

namespace output {
namespace {

struct Host {
    std::mutex mutex;
    std::function<std::string()> workingFolder;
    std::function<void(const std::string&)> sink;
    std::string tiffGenerator = "libTIFFGenerator.so";
};

Host& TheHost() {
    static Host host;
    return host;
}

} // namespace

void SetWorkingFolderProvider(std::function<std::string()> provider) {
    std::lock_guard<std::mutex> lock(TheHost().mutex);
    TheHost().workingFolder = std::move(provider);
}

std::string WorkingImageFolder() {
    std::function<std::string()> provider;
    {
        std::lock_guard<std::mutex> lock(TheHost().mutex);
        provider = TheHost().workingFolder;
    }
    if (provider) return platform::WithSlash(provider());
    const std::string folder = platform::RuntimeFolder() + "scanner-utility-TempImage/";
    platform::CreateFolderPath(folder);
    return folder;
}

void SetMessageSink(std::function<void(const std::string&)> sink) {
    std::lock_guard<std::mutex> lock(TheHost().mutex);
    TheHost().sink = std::move(sink);
}

void ShowOutputMessage(const std::string& text) {
    std::function<void(const std::string&)> sink;
    {
        std::lock_guard<std::mutex> lock(TheHost().mutex);
        sink = TheHost().sink;
    }
    if (sink) sink(text);
}

std::string SystemErrorText(int error) {
    char buffer[256];
    // The GNU strerror_r answers a pointer that may or may not be `buffer`.
    const char* text = strerror_r(error, buffer, sizeof buffer);
    return text;
}

std::string OutOfMemoryText() { return SystemErrorText(ENOMEM); }

void SetTiffGeneratorLibrary(const std::string& name) {
    std::lock_guard<std::mutex> lock(TheHost().mutex);
    TheHost().tiffGenerator = name.empty() ? "libTIFFGenerator.so" : name;
}

std::string TiffGeneratorLibrary() {
    std::lock_guard<std::mutex> lock(TheHost().mutex);
    return TheHost().tiffGenerator;
}

} // namespace output
