#include "ui/format.h"

#include <cstdio>
#include <cstring>

bool IsSingleNumberFormat(const char* format)
{
    if (!format) return false;
    int conversions = 0;
    for (const char* p = format; *p; ++p) {
        if (*p != '%') continue;
        ++p;
        while (*p && std::strchr("-+ #0", *p)) ++p;
        while (*p >= '0' && *p <= '9') ++p;
        if (*p == '.') {
            ++p;
            while (*p >= '0' && *p <= '9') ++p;
        }
        if (*p != 'd' && *p != 'i' && *p != 'u') return false;  // %%, %s, %n, *, length modifiers
        ++conversions;
    }
    return conversions == 1;
}

void FormatNumber(char* out, size_t size, const char* format, uint32_t value)
{
    if (!out || size == 0) return;
    if (IsSingleNumberFormat(format))
        std::snprintf(out, size, format, value);
    else
        std::snprintf(out, size, "%u", static_cast<unsigned>(value));
}
