#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace test_support {

// Sets (or removes) an environment variable for the life of the object.
class EnvOverride {
public:
    EnvOverride(const char* name, const std::optional<std::string>& value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        Apply(value);
    }
    ~EnvOverride() { Apply(old_); }
    EnvOverride(const EnvOverride&) = delete;
    EnvOverride& operator=(const EnvOverride&) = delete;

private:
    void Apply(const std::optional<std::string>& value) {
        if (value) {
            ::setenv(name_, value->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

    const char* name_;
    std::optional<std::string> old_;
};

}  // namespace test_support
