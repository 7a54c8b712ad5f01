#include "platform/Environment.h"

#include <cstdlib>

namespace platform {

std::optional<std::string> ProcessEnvironment::Get(const std::string& name) const {
    const char* value = std::getenv(name.c_str());
    if (!value) return std::nullopt;
    return std::string(value);
}

std::optional<std::string> MapEnvironment::Get(const std::string& name) const {
    auto it = values_.find(name);
    if (it == values_.end()) return std::nullopt;
    return it->second;
}

} // namespace platform
