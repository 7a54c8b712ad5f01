#pragma once
// Our INI ("profile") reader and writer. Semantics:
// - section and key names match without regard to ASCII case, after trimming blanks;
// - the first occurrence of a section, and of a key within it, wins;
// - a missing file, section or key gives the caller's default;
// - values read are cut at 1023 characters (ReadProfileStringWhole excepted);
// - a write creates the file and the section when they are missing, replaces an
//   existing key in place and keeps every other line, comment and the order; a write
//   that would leave the content as it is leaves the file untouched;
// - the file is replaced atomically (temporary file, flush, rename), so a failed or
//   interrupted write leaves the old file as it was;
// - a write whose section, key or value holds CR or LF (or a key with '=' or a section
//   with ']') is refused: no text can add lines of its own to the file.
// Reads are served from a parsed copy of each file, kept only while the file's version
// (device, inode, size, modification and change times) is the one that was parsed, and
// only once the file has been still long enough that a later write must change that
// version; each write through this layer drops the copy. Separate users therefore still
// see each other's writes at once, except while a ProfileSnapshot is open (below). Safe
// to call from several threads.

#include <string>
#include <vector>

namespace settings {

constexpr size_t kProfileValueLimit = 1023;

std::string ReadProfileString(const std::string& file, const std::string& section, const std::string& key,
                              const std::string& fallback = {});
// The same lookup without the cut: for values that grow with the user's data (the
// application lists), whose tail must never be lost because it was written whole.
std::string ReadProfileStringWhole(const std::string& file, const std::string& section, const std::string& key,
                                   const std::string& fallback = {});
bool WriteProfileString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value);
// Removes a key (every line of it in the first matching section). True when the file
// no longer has the key afterwards.
bool DeleteProfileKey(const std::string& file, const std::string& section, const std::string& key);

// Section names in file order (each name once, first spelling kept). Not cut to any
// buffer size: large data files list completely.
std::vector<std::string> ListProfileSections(const std::string& file);
// Key names of the first matching section, in file order (each once).
std::vector<std::string> ListProfileKeys(const std::string& file, const std::string& section);

// Gathers the writes of the calling thread to one file and replaces the file once, at
// Commit, so that several keys (the records of every destination) change together: a
// crash or a kill leaves the old file or the new one, never a file with part of the
// keys changed. While the batch lives, WriteProfileString and DeleteProfileKey of this
// thread on that file edit the pending content (each still answers whether it was
// accepted), and this thread's reads of the file see the pending content; other threads
// and processes see the file as it was until Commit. A batch dropped without Commit
// writes nothing. Batches do not nest.
class ProfileWriteBatch {
public:
    explicit ProfileWriteBatch(const std::string& file);
    ~ProfileWriteBatch();
    ProfileWriteBatch(const ProfileWriteBatch&) = delete;
    ProfileWriteBatch& operator=(const ProfileWriteBatch&) = delete;
    // Writes the pending content when it differs from the file's; false when that write
    // failed (the file is then as it was). The batch ends either way.
    bool Commit();

    struct Pending;

private:
    Pending* pending_;
};

// One operation's view of the profile files: while an object of this class lives, a
// file is looked at (its version compared) once, at its first read, and every later read
// in the process is served from that copy without looking again. Writes through this
// layer still drop the copy at once, so our own writes are always seen; a change made
// by another program meanwhile is seen by the first read after the last snapshot has
// ended. Snapshots may overlap (on any threads): the files are looked at again only
// once none was open. For operations that read the same files many times over (a scan,
// a refresh of the device's capabilities), where one look per file is enough.
class ProfileSnapshot {
public:
    ProfileSnapshot();
    ~ProfileSnapshot();
    ProfileSnapshot(const ProfileSnapshot&) = delete;
    ProfileSnapshot& operator=(const ProfileSnapshot&) = delete;
};

// ASCII case-insensitive equality of two names.
bool EqualsNoCase(const std::string& a, const std::string& b);

} // namespace settings
