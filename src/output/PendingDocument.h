#pragma once
// A document that appears in its folder only when complete. It is written under a hidden
// name beside its final name ("." + final name + "." + random + ".part", which the
// naming series never counts) and published under the final name at the end, never
// replacing a file: when the name was taken meanwhile (another program, a second scan),
// the document takes the next free number of its series. A program watching the folder
// therefore never sees a growing or half-written document, and a program killed during
// a scan leaves no broken file under a final name. The working name carries the writer's
// process id: the next document reserved in the folder removes those whose writer is gone.

#include <string>

namespace output {

class PendingDocument {
public:
    PendingDocument() = default;
    ~PendingDocument(); // discards a document that was not published
    PendingDocument(const PendingDocument&) = delete;
    PendingDocument& operator=(const PendingDocument&) = delete;

    // Chooses the final name (MakeSequencedFileName; raises std::range_error "The number
    // bigger than 9999" when the series is full) and creates the hidden working file
    // beside it. False when the working file cannot be created (error() says why).
    bool Reserve(const std::string& folder, const std::string& baseName, const std::string& extension);
    // Where the document is written until it is published; empty when none is reserved.
    const std::string& WorkingPath() const { return working_; }
    // The final name: the one chosen at Reserve, and after Publish the one it got.
    const std::string& FinalPath() const { return final_; }
    // Gives the complete document its final name, or the next free number of its series
    // when that name is taken. False when it cannot be published (error() says why; the
    // series being full gives ERANGE); the working file is then removed.
    bool Publish();
    // Removes the working file; nothing is published.
    void Discard();
    bool reserved() const { return !working_.empty(); }
    // The system's error number of the last failure (errno values), 0 when none.
    int error() const { return error_; }

private:
    std::string folder_, baseName_, extension_;
    std::string working_;
    std::string final_;
    int error_ = 0;
};

} // namespace output
