#pragma once
// Placeholders that default paths may hold, expanded when the defaults are read.
//
// On this desktop:
// - "${CURRENT_USER_MYPIC}": the user's pictures folder (XDG user dirs, else
//   ~/Pictures/, else the home folder), ending with '/'.
// - "${MSPAINT}": the desktop's image editor or viewer, as an absolute path: the desktop
//   entry file of the desktop's default application for PNG images (the mimeapps.list
//   defaults), which is started through that entry like any ".desktop" application path;
//   a default that cannot be started on a file here (hidden, needing a terminal, an Exec
//   line that is not valid or takes no file, its program missing) gives way to the next
//   default. Without one: the first of a fixed list of common Debian image programs found
//   on PATH (gimp, pinta, kolourpaint, mtpaint, drawing, eog, ristretto, gpicview,
//   gwenview, feh, display), else /usr/bin/xdg-open, which hands the file to whatever the
//   desktop opens images with.
// - "${DEFAULT_MAILCLIENT}": the default value stored for "software\clients\mail" in the
//   per-user store (RegHandlerImp), which answers the desktop's default mailto handler
//   (its desktop file id) when nothing is stored; empty when nothing is known.
// Each value is found once per process, and only when a text to expand holds it.

#include <string>
#include <utility>
#include <vector>

namespace settings {

using PlaceholderTable = std::vector<std::pair<std::string, std::string>>;

// The process-wide table, built on first use, in the order MSPAINT, MYPIC, MAILCLIENT.
const PlaceholderTable& Placeholders();
// Replaces the table (tests); an empty table makes the next use build it anew.
void SetPlaceholders(PlaceholderTable table);

// For each placeholder in table order, its first occurrence (exact, case-sensitive) is
// replaced by its value; the characters around it stay.
std::string ExpandPlaceholders(const std::string& text);
std::string ExpandPlaceholders(const std::string& text, const PlaceholderTable& table);

// The image program rule of "${MSPAINT}" alone (exposed for the command line and tests).
std::string DesktopImageProgram();

} // namespace settings
