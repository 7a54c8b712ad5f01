// `sources`: the scanning sources the source manager (SANE) lists, one a line:
// ProductName, Manufacturer, ProductFamily, tab-separated.
#include <cstdio>

#include "Command.h"
#include "scancontrol/SaneDynamictwain.h"

namespace {

int Run(const cli::Args& args) {
    if (!args.empty()) {
        std::fprintf(stderr, "usage: scanner-utility-cli sources\n");
        return 2;
    }
    const scancontrol::SourceListing listing = scancontrol::CreateSaneSourceManager()->EnumerateSources();
    if (listing.status != 1) {
        std::fprintf(stderr, "scanner-utility-cli: the source manager (SANE) could not be initialised\n");
        return 1;
    }
    for (const auto& s : listing.sources)
        std::printf("%s\t%s\t%s\n", s.productName.c_str(), s.manufacturer.c_str(), s.productFamily.c_str());
    return 0;
}

const cli::CliCommand command("sources", "  list the scanning sources (name, manufacturer, family)", Run);

} // namespace
