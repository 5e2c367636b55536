// Sets (or, with nullptr, unsets) an environment variable for one scope.
#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace pelrion::test_support {

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) setenv(name, value->c_str(), 1);
    else unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_) setenv(name_, old_->c_str(), 1);
    else unsetenv(name_);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// Local time is UTC for one scope, whatever the machine's zone.
class ScopedUtcZone {
 public:
  ScopedUtcZone() { tzset(); }

 private:
  // Members go in reverse order: TZ is restored first, then the C library reads it again.
  struct TzsetAtEnd {
    ~TzsetAtEnd() { tzset(); }
  } tzset_at_end_;
  ScopedEnv zone_{"TZ", "UTC0"};
};

}  // namespace pelrion::test_support
