// Placeholder: no format is written yet; the writers follow.
#include "scancontrol/ImageFileWriter.h"

#include <cstdio>

#include "scancontrol/Twain.h"

namespace scancontrol {

bool IsSupportedFileFormat(long format) { (void)format; return false; }

bool WriteImageFile(const PageImage&, const std::string&, long, std::string* error) {
    if (error) *error = "not implemented yet";
    return false;
}

} // namespace scancontrol
