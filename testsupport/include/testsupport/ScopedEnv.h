#pragma once
// One environment variable set (or removed) for the length of a test; the
// earlier value, or its absence, comes back when the object dies.
// Not thread-safe: the environment belongs to the whole process.

#include <optional>
#include <string>

namespace testsupport {

class ScopedEnv {
public:
    // `value` null removes the variable.
    ScopedEnv(const char* name, const char* value);
    ScopedEnv(const char* name, const std::string& value) : ScopedEnv(name, value.c_str()) {}
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_old;
};

}  // namespace testsupport
