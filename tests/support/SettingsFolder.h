#pragma once

#include <cstdlib>
#include <string>

#include "support/TempDir.h"

namespace varnet::test {

// Sets an environment variable (unsets it for a null value) and puts the old
// value back when it goes.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old, had_ = true;
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedEnv() { had_ ? setenv(name_, old_.c_str(), 1) : unsetenv(name_); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    const char* name_;
    std::string old_;
    bool had_ = false;
};

// The settings folder (XDG_CONFIG_HOME) of the programs a test starts, while
// it lives: the user's own settings neither affect the results nor get
// touched.
class SettingsFolder : public TempDir {
  private:
    ScopedEnv env_{"XDG_CONFIG_HOME", path().c_str()};
};

}  // namespace varnet::test
