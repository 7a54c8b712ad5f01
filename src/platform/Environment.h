#pragma once
// Process environment variables, behind an interface so tests can supply their own.

#include <initializer_list>
#include <map>
#include <optional>
#include <string>

namespace platform {

class IEnvironment {
public:
    virtual ~IEnvironment() = default;
    // The variable's value, or nothing when it is not set.
    virtual std::optional<std::string> Get(const std::string& name) const = 0;
};

class ProcessEnvironment : public IEnvironment {
public:
    std::optional<std::string> Get(const std::string& name) const override;
};

// A fixed set of variables; anything not listed is unset.
class MapEnvironment : public IEnvironment {
public:
    MapEnvironment() = default;
    MapEnvironment(std::initializer_list<std::pair<const std::string, std::string>> values) : values_(values) {}
    std::optional<std::string> Get(const std::string& name) const override;
    void Set(const std::string& name, const std::string& value) { values_[name] = value; }
private:
    std::map<std::string, std::string> values_;
};

} // namespace platform
