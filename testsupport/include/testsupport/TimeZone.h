#pragma once
// A local time zone for the length of a test: sets TZ (and tzset) and puts
// the earlier value back when the object dies, so tests that format local
// times give the same texts on every machine.
// Not thread-safe: TZ belongs to the whole process.

#include <string>

namespace testsupport {

class ScopedTimeZone {
public:
    // `tz` in the TZ format, e.g. "UTC" or "JST-9".
    explicit ScopedTimeZone(const char* tz);
    ~ScopedTimeZone();
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    std::string m_old;
    bool m_had = false;
};

}  // namespace testsupport
