#include "output/PendingDocument.h"

#include <cerrno>
#include <stdexcept>

#include "output/FileNaming.h"
#include "platform/FileSystem.h"
#include "platform/Services.h"
#include "platform/Temporaries.h"

namespace output {
namespace {

// A name taken again and again while publishing means another program keeps writing
// the same series; after this many numbers the document gives up.
constexpr int kPublishAttempts = 64;

} // namespace

PendingDocument::~PendingDocument() { Discard(); }

bool PendingDocument::Reserve(const std::string& folder, const std::string& baseName, const std::string& extension) {
    Discard();
    error_ = 0;
    folder_ = folder;
    baseName_ = baseName;
    extension_ = extension;
    // Documents of scans that were killed before they were published are nobody's.
    platform::SweepOrphanedWorkingFiles(folder);
    final_ = MakeSequencedFileName(folder, baseName, extension);
    auto& fs = platform::FileSystem();
    for (int attempt = 0; attempt < 16; ++attempt) {
        const std::string candidate = platform::HiddenWorkingName(final_);
        int error = 0;
        if (fs.CreateNew(candidate, &error)) {
            working_ = candidate;
            return true;
        }
        error_ = error;
        if (error != EEXIST) break;
    }
    return false;
}

bool PendingDocument::Publish() {
    if (working_.empty()) {
        error_ = ENOENT;
        return false;
    }
    auto& fs = platform::FileSystem();
    for (int attempt = 0; attempt < kPublishAttempts; ++attempt) {
        const int error = fs.PublishNoReplace(working_, final_);
        if (error == 0) {
            working_.clear();
            error_ = 0;
            return true;
        }
        error_ = error;
        if (error != EEXIST) break;
        // Taken since the name was chosen: the next free number of the series.
        try {
            final_ = MakeSequencedFileName(folder_, baseName_, extension_);
        } catch (const std::range_error&) {
            error_ = ERANGE;
            break;
        }
    }
    Discard();
    return false;
}

void PendingDocument::Discard() {
    if (working_.empty()) return;
    platform::FileSystem().Remove(working_);
    working_.clear();
}

} // namespace output
