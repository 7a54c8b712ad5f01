// `sources`: the scanning sources the source manager (SANE) lists, one a line, tab-separated:
// ProductName (the SANE device name), Manufacturer (maker), ProductFamily (model), then
// "offered" or "not-offered" as the product data decides, and for an offered source
// whether the program treats it as a "local" or a "network" scanner.
#include <algorithm>
#include <cstdio>

#include "Command.h"
#include "scan/DriverIdentifer.h"
#include "scancontrol/SaneDynamictwain.h"
#include "scancontrol/SourceManager.h"

namespace {

int Run(const cli::Args& args) {
    if (!args.empty()) {
        std::fprintf(stderr, "usage: scanner-utility-cli sources\n");
        return 2;
    }
    // One listing serves both the lines and the product data's choice.
    auto sources = std::make_shared<scancontrol::KeptSourceListing>(scancontrol::CreateSaneSourceManager());
    const scancontrol::SourceListing listing = sources->EnumerateSources();
    if (listing.status != 1) {
        std::fprintf(stderr, "scanner-utility-cli: the source manager (SANE) could not be initialised\n");
        return 1;
    }
    auto& identifier = scan::DriverIdentifer::GetInstance();
    identifier.SetSourceManager(sources);
    std::vector<std::string> offered;
    identifier.KnownSources(offered);
    identifier.SetSourceManager(nullptr);
    for (const auto& s : listing.sources) {
        const bool isOffered = std::find(offered.begin(), offered.end(), s.productName) != offered.end();
        std::string mark = "not-offered";
        if (isOffered)
            mark = identifier.Identify(s.productName).connectionKind == 1 ? "offered\tnetwork" : "offered\tlocal";
        std::printf("%s\t%s\t%s\t%s\n", s.productName.c_str(), s.manufacturer.c_str(), s.productFamily.c_str(),
                    mark.c_str());
    }
    return 0;
}

const cli::CliCommand command("sources",
                              "  list the scanning sources (name, maker, model, whether the product data offers it)",
                              Run);

} // namespace
