#pragma once
// Subcommands of scanner-utility-cli. Each subcommand lives in its own file and
// registers itself with a static CliCommand object.

#include <string>
#include <vector>

namespace cli {

using Args = std::vector<std::string>;

struct CliCommand {
    CliCommand(const char* name, const char* usage, int (*run)(const Args& args));
    const char* name;
    const char* usage;
    int (*run)(const Args& args);
};

const std::vector<const CliCommand*>& Commands();

// Small helpers for option parsing: "--name VALUE" pairs and bare flags.
class Options {
public:
    explicit Options(const Args& args);
    bool Flag(const std::string& name) const;
    // The value after the option, or the fallback when the option is absent.
    std::string Value(const std::string& name, const std::string& fallback = {}) const;
    bool Has(const std::string& name) const;
    // Arguments that are neither options nor option values.
    const Args& Positional() const { return positional_; }
    // An option given that is not in the known list, or a value option without value.
    std::string Unknown(const std::vector<std::string>& flags, const std::vector<std::string>& valued) const;
private:
    Args args_;
    Args positional_;
};

} // namespace cli
