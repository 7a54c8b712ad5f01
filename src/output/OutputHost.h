#pragma once
// What the encoders need from the application around them, installed once at start-up:
// the working-image folder for converted PDF pages, the routine that shows a message to
// the user, and the name of the TIFF generator library. Until the application installs
// its own, each has a console-safe default.

#include <functional>
#include <string>

namespace output {

// The folder converted PDF pages are written to, ending with '/'. The application
// installs its working-image folder; the default is "scanner-utility-TempImage/" in the
// runtime folder, created when missing.
void SetWorkingFolderProvider(std::function<std::string()> provider);
std::string WorkingImageFolder();

// Shows a text to the user; by default nothing is shown.
void SetMessageSink(std::function<void(const std::string&)> sink);
void ShowOutputMessage(const std::string& text);

// The system's text for an error number (errno value), as the user's locale words it.
std::string SystemErrorText(int error);
// The system's text for running out of memory.
std::string OutOfMemoryText();

// The library that turns black-and-white pages into fax-coded TIFF files for PDF pages:
// "libTIFFGenerator.so" unless replaced (tests). A name without '/' is looked for in the
// program folder first and then on the standard library search path.
void SetTiffGeneratorLibrary(const std::string& name);
std::string TiffGeneratorLibrary();

} // namespace output
