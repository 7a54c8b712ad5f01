#pragma once
// Whole-file reads and checked writes for the codecs. Errors become a Status, and a
// writer that fails removes what it wrote, so no half-written image is left behind.

#include <cstdio>
#include <string>

#include "codec/Image.h"

namespace codec {

// Reads the whole file into the buffer (reusing its capacity).
Status ReadWholeFile(const std::string& path, Buffer& out);
// Reads at most `limit` bytes from the start of the file.
Status ReadHead(const std::string& path, size_t limit, std::string& out);
// The status that best describes the current errno after a failed open.
Status StatusFromErrno(int error);

// The system error number (errno value) behind the last failed write of this thread's
// writers: ENOSPC for a full disk, EACCES for a refused file. 0 when the last failure
// had no system cause (or after ClearWriteError).
int LastWriteError();
void ClearWriteError();
// Notes the error of a failed write; 0 leaves an earlier note in place.
void NoteWriteError(int error);

class FileWriter {
public:
    FileWriter() = default;
    ~FileWriter(); // discards the file unless Commit succeeded
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;

    Status Open(const std::string& path);
    void Write(const void* data, size_t size);
    // Flushes and closes; on any earlier or present failure the file is removed.
    Status Commit();
    bool failed() const { return failed_; }
private:
    std::FILE* file_ = nullptr;
    std::string path_;
    bool failed_ = false;
};

} // namespace codec
