#include "testsupport/TimeZone.h"

#include <stdlib.h>
#include <time.h>

namespace testsupport {

ScopedTimeZone::ScopedTimeZone(const char* tz) {
    if (const char* old = ::getenv("TZ")) {
        m_old = old;
        m_had = true;
    }
    ::setenv("TZ", tz, 1);
    ::tzset();
}

ScopedTimeZone::~ScopedTimeZone() {
    if (m_had) {
        ::setenv("TZ", m_old.c_str(), 1);
    } else {
        ::unsetenv("TZ");
    }
    ::tzset();
}

}  // namespace testsupport
