// An environment variable changed for one scope and put back afterwards (POSIX tests only). Change
// variables before any thread that reads them starts: the environment has no lock.
#pragma once

#include <cstdlib>
#include <string>

namespace testsupport {

class ScopedEnv {
public:
    // Keeps the variable's value to put back at the end; the test may change it meanwhile.
    explicit ScopedEnv(const char* name) : m_name(name) {
        const char* old = std::getenv(name);
        m_had = old != nullptr;
        if (old) m_old = old;
    }
    // Sets the variable, or removes it for a null value.
    ScopedEnv(const char* name, const char* value) : ScopedEnv(name) {
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ScopedEnv(const char* name, const std::string& value) : ScopedEnv(name, value.c_str()) {}
    ~ScopedEnv() {
        if (m_had)
            setenv(m_name.c_str(), m_old.c_str(), 1);
        else
            unsetenv(m_name.c_str());
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_name;
    std::string m_old;
    bool m_had = false;
};

}  // namespace testsupport
