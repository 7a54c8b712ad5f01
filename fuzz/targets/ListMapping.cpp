// The application list text ("<id>|<title>|<path>|..."): parsed, written and parsed
// again, it must come out the same, except that a path holding a placeholder twice has
// its next occurrence expanded on the next read (each read expands the first one).
#include "FuzzTarget.h"
#include "settings/AppList.h"
#include "settings/Placeholders.h"

namespace {

int FuzzListMapping(const uint8_t* data, size_t size) {
    // Fixed placeholder values: the desktop is not asked on every input.
    static const bool placeholders = [] {
        settings::SetPlaceholders({{"${MSPAINT}", "/usr/bin/paint"},
                                   {"${CURRENT_USER_MYPIC}", "/home/user/Pictures/"},
                                   {"${DEFAULT_MAILCLIENT}", "mail.desktop"}});
        return true;
    }();
    (void)placeholders;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto entries = settings::AppListProvider::Parse(text);
    const std::string once = settings::AppListProvider::Format(entries);
    const auto again = settings::AppListProvider::Parse(once);
    if (again.size() != entries.size()) fuzz::Fail("a written list reads back with another length");
    for (size_t i = 0; i < entries.size(); ++i)
        if (again[i]->GetId() != entries[i]->GetId() || again[i]->GetTitle() != entries[i]->GetTitle() ||
            again[i]->GetPath() != settings::ExpandPlaceholders(entries[i]->GetPath()))
            fuzz::Fail("a written list entry reads back changed");
    return 0;
}

} // namespace

SU_FUZZ_TARGET(list_mapping, FuzzListMapping)
