#pragma once
// What every fuzz target shares. A target is one function taking the input bytes; in a
// libFuzzer build (SU_LIBFUZZER) it becomes the executable's LLVMFuzzerTestOneInput, in
// the ordinary build it is registered by name with the replay program, which feeds it the
// committed seed and regression files. Both builds therefore run the same code on a file.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fuzz {

using Entry = int (*)(const uint8_t* data, size_t size);

// Records a target for the replay program; the answer only serves the static initialiser.
bool Register(const char* name, Entry entry);
// The target of that name, or null.
Entry Find(const std::string& name);
std::vector<std::string> Names();

// A private folder of this process, made on first use (under $TMPDIR, else /tmp) and
// removed at exit; ends with '/'. HOME and XDG_CONFIG_HOME point into it, so nothing a
// target does reaches the user's own settings.
const std::string& ScratchFolder();
// Writes the bytes to a file of the scratch folder (replacing it) and answers its path.
std::string WriteScratch(const std::string& name, const void* data, size_t size);
inline std::string WriteScratch(const std::string& name, const std::string& text) {
    return WriteScratch(name, text.data(), text.size());
}
// The whole content of a file; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);
// Removes every file of the scratch folder whose name starts with the prefix.
void ClearScratch(const std::string& prefix);

// A broken promise of the code under test: prints the message and aborts, which
// libFuzzer reports as a crash and the replay as a failure.
[[noreturn]] void Fail(const std::string& message);

// Takes the input apart: a few leading bytes as small numbers, the rest as texts cut
// at a separator byte.
class Input {
public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    // The next byte, or 0 when none is left.
    uint8_t Byte();
    // The text up to the next separator (consumed) or the end.
    std::string Text(char separator = '\x01');
    // Everything not taken yet.
    std::string Rest();
    bool Empty() const { return pos_ >= size_; }
private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

} // namespace fuzz

#ifdef SU_LIBFUZZER
#define SU_FUZZ_TARGET(name, function)                                                                                 \
    extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return function(data, size); }
#else
#define SU_FUZZ_TARGET(name, function) static const bool su_fuzz_registered_##name = ::fuzz::Register(#name, function);
#endif
