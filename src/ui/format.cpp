#include "ui/format.h"

#include <cstdio>
#include <cstring>

// Width and precision up to 99: "%999999999d" would have printf pad a
// billion characters, however small the buffer, and freeze the program.
static const int kMostDigits = 2;

// Skips a run of digits; false when it is longer than kMostDigits.
static bool SkipShortNumber(const char*& p)
{
    int digits = 0;
    for (; *p >= '0' && *p <= '9'; ++p) ++digits;
    return digits <= kMostDigits;
}

bool IsSingleNumberFormat(const char* format)
{
    if (!format) return false;
    int conversions = 0;
    for (const char* p = format; *p; ++p) {
        if (*p != '%') continue;
        ++p;
        while (*p && std::strchr("-+ #0", *p)) ++p;
        if (!SkipShortNumber(p)) return false;
        if (*p == '.') {
            ++p;
            if (!SkipShortNumber(p)) return false;
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
