#pragma once
// Opens the help in the program's own help viewer ("scanner-utility-help" beside the
// executable). Only one viewer started by this process is open at a time: a new
// request closes the viewer opened by the previous one first.

#include <string>

namespace app {

// Opens the page the request names (see HelpTarget.h). True when the viewer was
// started; false when the page does not exist or the viewer could not be started.
bool ShowHelp(const std::string& request);

// The local socket name on which a viewer with this identifier accepts "close".
std::string HelpViewerSocket(const std::string& id);

} // namespace app
