#pragma once
#include <cstddef>
#include <cstdint>

// True when `format` holds exactly one integer conversion (%d, %i or %u,
// with flags, and width and precision of at most two digits) and nothing
// else printf would read.
// Texts from resources and controls can be changed by anyone; only such a
// format is safe to hand to printf with one number.
bool IsSingleNumberFormat(const char* format);

// Formats `value` into `out` with `format` when it is a single-number
// format; otherwise writes the number alone. Always terminated.
void FormatNumber(char* out, size_t size, const char* format, uint32_t value);
