#pragma once
// Files that exist only while a process writes them, and the clean-up of those a killed
// or crashed process leaves behind.
//
// A file that replaces another, or a document that is published under its final name
// when complete, is written under a name that carries the writer's process id:
//   "<path>.tmp<pid>-<6 random>"              a whole-file replacement (WriteFileAtomic)
//   "<folder>.<name>.<pid>-<6 random>.part"   a document or copy being written
// Files made from such a file keep its name in front ("....partFirstPage"). A later
// process removes them once no process of that id exists. Where the file system allows
// it, the data is written into an unnamed file (O_TMPFILE) that gets a name only when it
// is complete, so a killed writer leaves nothing at all.
//
// Pages waiting in a folder shared by every scan of the user carry names of their own
// series, without a process id; that folder is cleaned by its first user when no other
// process uses it (JoinSharedFolder).

#include <functional>
#include <string>

namespace platform {

// "<path>.tmp<pid>-<6 random>": a name beside `path` for its replacement being written.
std::string TemporaryNameFor(const std::string& path);

// The process id a file name of the forms above carries; 0 for any other name.
long WriterOfTemporary(const std::string& fileName);
// True when no process of that id exists (in this process's view of processes).
bool ProcessIsGone(long pid);

// Removes the regular files of the folder whose names are of the forms above and whose
// writer is gone, and "<name>.tmp<digits>" files (the form earlier versions wrote, which
// no writer keeps for more than a moment) once they are ten minutes old. Answers how
// many were removed.
int SweepOrphanedTemporaries(const std::string& folder);
// The same for a folder of the user's own files (a save folder): only hidden working
// files (".<name>.<pid>-<6 random>.part...") whose writer is gone are removed.
int SweepOrphanedWorkingFiles(const std::string& folder);

// Registers this process as a user of the folder until it ends: it holds a shared lock
// on the folder's ".users.lock" file. The first user that finds no other process holding
// that lock removes, before it takes its own, every regular file of the folder whose
// name `isLeftover` accepts: files of users that are all gone. A process joins a folder
// once; later calls do nothing. False when the lock file cannot be made (nothing is
// removed then).
bool JoinSharedFolder(const std::string& folder, const std::function<bool(const std::string& name)>& isLeftover);

} // namespace platform
