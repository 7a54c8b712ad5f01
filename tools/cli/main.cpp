// The programs behind scanner-utility-cli: the program's work from the command line,
// for scripts, checks and benchmarks. The command line is split into programs by the
// libraries their commands need (tools/cli/CMakeLists.txt); the front (front.cpp)
// starts the one that holds the command asked for, and this is its main.
#include <cstdio>
#include <cstring>

#include "Command.h"
#include "platform/Memory.h"
#include "platform/Process.h"
#include "platform/SanitizerSupport.h"

namespace cli {

std::vector<const CliCommand*>& Registry() {
    static std::vector<const CliCommand*> commands;
    return commands;
}

CliCommand::CliCommand(const char* n, const char* u, int (*r)(const Args&)) : name(n), usage(u), run(r) {
    Registry().push_back(this);
}

const std::vector<const CliCommand*>& Commands() { return Registry(); }

Options::Options(const Args& args) : args_(args) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i].rfind("--", 0) == 0) {
            if (i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0) ++i;
            continue;
        }
        positional_.push_back(args[i]);
    }
}

bool Options::Has(const std::string& name) const {
    for (const auto& a : args_)
        if (a == name) return true;
    return false;
}

bool Options::Flag(const std::string& name) const { return Has(name); }

std::string Options::Value(const std::string& name, const std::string& fallback) const {
    for (size_t i = 0; i + 1 < args_.size(); ++i)
        if (args_[i] == name) return args_[i + 1];
    return fallback;
}

std::string Options::Unknown(const std::vector<std::string>& flags, const std::vector<std::string>& valued) const {
    for (size_t i = 0; i < args_.size(); ++i) {
        const std::string& a = args_[i];
        if (a.rfind("--", 0) != 0) continue;
        bool isFlag = false, isValued = false;
        for (const auto& f : flags) isFlag = isFlag || f == a;
        for (const auto& v : valued) isValued = isValued || v == a;
        if (!isFlag && !isValued) return a;
        if (isValued) {
            if (i + 1 >= args_.size()) return a;
            ++i;
        }
    }
    return {};
}

} // namespace cli

namespace {

void ListCommands(FILE* out) {
    for (const auto* c : cli::Commands()) std::fprintf(out, "  %s %s\n", c->name, c->usage);
}

void Usage() {
    std::fprintf(stderr, "usage: scanner-utility-cli COMMAND [ARGS]\n\ncommands:\n");
    ListCommands(stderr);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        Usage();
        return argc < 2 ? 2 : 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--commands") == 0) { // asked by the front's usage
        ListCommands(stdout);
        return 0;
    }
    cli::Args args(argv + 2, argv + argc);
    for (const auto* c : cli::Commands()) {
        if (std::strcmp(c->name, argv[1]) != 0) continue;
#ifndef SU_CLI_DATA_ONLY
        platform::KeepSaneBackendsLoadedForLeakReports();
        platform::KeepPageBuffersForReuse();
        const int status = c->run(args);
        platform::EndProcessWithin(platform::ProcessEndGraceSeconds(), status);
        return status;
#else
        return c->run(args);
#endif
    }
    std::fprintf(stderr, "scanner-utility-cli: unknown command '%s'\n", argv[1]);
    Usage();
    return 2;
}
