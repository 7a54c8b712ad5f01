#include "codec/FileIo.h"

#include <cerrno>

namespace codec {

Status StatusFromErrno(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR: return Status::NotFound;
        case EACCES:
        case EPERM:
        case EROFS: return Status::AccessDenied;
        case ENOMEM: return Status::OutOfMemory;
        default: return Status::WriteFailed;
    }
}

namespace {
thread_local int lastWriteError = 0;
} // namespace

int LastWriteError() { return lastWriteError; }
void ClearWriteError() { lastWriteError = 0; }
void NoteWriteError(int error) {
    if (error != 0) lastWriteError = error;
}

Status ReadWholeFile(const std::string& path, Buffer& out) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return Status::NotFound;
    Status result = Status::Ok;
    long size = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
    if (size < 0 || std::fseek(f, 0, SEEK_SET) != 0) result = Status::NotFound;
    else if (!out.Resize(static_cast<size_t>(size))) result = Status::OutOfMemory;
    else if (size > 0 && std::fread(out.data(), 1, static_cast<size_t>(size), f) != static_cast<size_t>(size))
        result = Status::Corrupt;
    std::fclose(f);
    return result;
}

Status ReadHead(const std::string& path, size_t limit, std::string& out) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return Status::NotFound;
    out.resize(limit);
    out.resize(std::fread(&out[0], 1, limit, f));
    std::fclose(f);
    return Status::Ok;
}

FileWriter::~FileWriter() {
    if (file_) {
        std::fclose(file_);
        std::remove(path_.c_str());
    }
}

Status FileWriter::Open(const std::string& path) {
    path_ = path;
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) {
        NoteWriteError(errno);
        return errno == ENOENT ? Status::WriteFailed : StatusFromErrno(errno);
    }
    failed_ = false;
    return Status::Ok;
}

void FileWriter::Write(const void* data, size_t size) {
    if (!file_ || failed_ || size == 0) return;
    if (std::fwrite(data, 1, size, file_) != size) {
        failed_ = true;
        NoteWriteError(errno);
    }
}

Status FileWriter::Commit() {
    if (!file_) return Status::WriteFailed;
    bool ok = !failed_;
    if (ok && std::fflush(file_) != 0) {
        NoteWriteError(errno);
        ok = false;
    }
    if (std::fclose(file_) != 0) {
        if (ok) NoteWriteError(errno);
        ok = false;
    }
    file_ = nullptr;
    if (!ok) {
        std::remove(path_.c_str());
        return Status::WriteFailed;
    }
    return Status::Ok;
}

} // namespace codec
