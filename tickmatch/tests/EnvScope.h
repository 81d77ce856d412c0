#pragma once

#include <cstdlib>
#include <optional>
#include <string>

// Sets an environment variable for this process (and so for the children it
// starts) and puts back what was there before.
class TEnvScope {
public:
    TEnvScope(const char* name, const std::string& value) : Name(name) {
        if (const char* old = std::getenv(name)) Old = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~TEnvScope() {
        if (Old)
            ::setenv(Name, Old->c_str(), 1);
        else
            ::unsetenv(Name);
    }
    TEnvScope(const TEnvScope&) = delete;
    TEnvScope& operator=(const TEnvScope&) = delete;

private:
    const char* Name;
    std::optional<std::string> Old;
};
