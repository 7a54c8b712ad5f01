#pragma once
// Where a help request leads: the help is a set of HTML pages in the program folder's
// help/ folder. A request names either the help file as a whole (".../Help.chm": the
// contents page) or one page and an anchor in the compiled-help address form
// "mk:@MSITStore:<help file>::/<page>#<anchor>", or a page by name ("Quorin.htm#option").

#include <string>

namespace app {

struct HelpPage {
    std::string file;   // absolute path of the page; empty when the request leads nowhere
    std::string anchor; // without '#'; empty for the top of the page
};

// The page a request opens. A page name is looked up only inside `helpFolder` (a name
// with a '/' or one starting with '.' leads nowhere).
HelpPage ResolveHelpTarget(const std::string& request, const std::string& helpFolder);

// The contents page of the help folder.
constexpr const char* kHelpContentsPage = "index.html";

} // namespace app
