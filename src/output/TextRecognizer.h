#pragma once
// Optical character recognition of a page image: the words on the page with their
// boxes, for the text layer of a searchable PDF. The engine lives in a library of its
// own (output/ocr), loaded only by a run that recognises text.

#include <string>
#include <vector>

#include "output/PageText.h"

namespace output {

// The recognition languages installed on this system ("eng", "deu", ...), sorted; the
// orientation-detection data is not a language and is left out.
std::vector<std::string> InstalledOcrLanguages();

// True when every language of a '+'-separated list ("eng+deu") is installed.
bool OcrLanguagesInstalled(const std::string& languages);

// Installs the recogniser of searchable PDFs, unless one is installed already: the
// recognition library (kTextRecognitionLibrary, beside the program) is loaded when the
// first document asks for a text layer and stays loaded. Without the library no page
// gets text.
void EnableTextRecognition();

extern const char* const kTextRecognitionLibrary;

} // namespace output
