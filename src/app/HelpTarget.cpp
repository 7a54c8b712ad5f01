#include "app/HelpTarget.h"

#include <algorithm>
#include <cctype>

namespace app {
namespace {

bool EndsWithNoCase(const std::string& text, const std::string& tail) {
    if (text.size() < tail.size()) return false;
    return std::equal(tail.rbegin(), tail.rend(), text.rbegin(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    });
}

bool StartsWithNoCase(const std::string& text, const std::string& head) {
    if (text.size() < head.size()) return false;
    return std::equal(head.begin(), head.end(), text.begin(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    });
}

HelpPage PageInFolder(std::string page, const std::string& folder) {
    HelpPage result;
    size_t hash = page.find('#');
    if (hash != std::string::npos) {
        result.anchor = page.substr(hash + 1);
        page.resize(hash);
    }
    if (page.empty()) page = kHelpContentsPage;
    // Only pages of the help folder itself: nothing may climb out of it.
    if (page.find('/') != std::string::npos || page.find('\\') != std::string::npos || page[0] == '.') {
        return HelpPage();
    }
    result.file = folder + page;
    return result;
}

} // namespace

HelpPage ResolveHelpTarget(const std::string& request, const std::string& helpFolder) {
    static const std::string kStore = "mk:@MSITStore:";
    if (StartsWithNoCase(request, kStore)) {
        size_t sep = request.find("::", kStore.size());
        if (sep == std::string::npos) return PageInFolder(kHelpContentsPage, helpFolder);
        std::string page = request.substr(sep + 2);
        while (!page.empty() && (page[0] == '/' || page[0] == '\\')) page.erase(0, 1);
        return PageInFolder(page, helpFolder);
    }
    if (EndsWithNoCase(request, ".chm")) return PageInFolder(kHelpContentsPage, helpFolder);
    if (!request.empty() && request[0] == '/') {
        // A page given by its full path is opened only when it lies in the help folder.
        if (request.compare(0, helpFolder.size(), helpFolder) != 0) return HelpPage();
        return PageInFolder(request.substr(helpFolder.size()), helpFolder);
    }
    return PageInFolder(request, helpFolder);
}

} // namespace app
