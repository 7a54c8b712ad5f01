// `message N`: the text of message N from Str.dat.
#include <cstdio>
#include <cstdlib>

#include "Command.h"
#include "core/Texts.h"

namespace {

int Run(const cli::Args& args) {
    if (args.size() != 1 || args[0].empty() || args[0].find_first_not_of("0123456789") != std::string::npos) {
        std::fprintf(stderr, "usage: scanner-utility-cli message NUMBER\n");
        return 2;
    }
    std::string text = core::LoadMessageText(std::atoi(args[0].c_str()));
    if (text.empty()) {
        std::fprintf(stderr, "no message %s in Str.dat\n", args[0].c_str());
        return 1;
    }
    std::printf("%s\n", text.c_str());
    return 0;
}

const cli::CliCommand command("message", "NUMBER  print message NUMBER from Str.dat", Run);

} // namespace
