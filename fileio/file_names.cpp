// Comparing file names as Windows tells them apart.
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "fileio/fileio.h"

namespace {

// The system's upper case of every UTF-16 unit, built once (128 KiB): the
// file-system casing LCMapStringEx gives without LCMAP_LINGUISTIC_CASING,
// which is the table CompareStringOrdinal ignores case through. Surrogate
// halves are their own upper case. Null without memory, or when the system
// would not map the units: then names go to CompareStringOrdinal itself.
const wchar_t *FileNameUpperTable()
{
    static wchar_t *table;
    static bool unmapped;
    if (table || unmapped)
        return table;
    wchar_t *units = static_cast<wchar_t *>(std::malloc(2 * 65536 * sizeof(wchar_t)));
    if (!units)
        return nullptr;
    wchar_t *upper = units + 65536;
    for (uint32_t unit = 0; unit < 65536; ++unit)
        units[unit] = upper[unit] = wchar_t(unit);
    // Both sides of the surrogates, each mapped whole.
    const int32_t below = 0xD800 - 1;
    const int32_t above = 0x10000 - 0xE000;
    unmapped = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, units + 1, below, upper + 1,
                             below, nullptr, nullptr, 0) != below ||
               LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, units + 0xE000, above,
                             upper + 0xE000, above, nullptr, nullptr, 0) != above;
    if (unmapped) {
        std::free(units);
        return nullptr;
    }
    // The table stays for the life of the program.
    std::memmove(units, upper, 65536 * sizeof(wchar_t));
    table = units;
    return table;
}

size_t UnitsOf(const wchar_t *text, int32_t units)
{
    return units >= 0 ? size_t(units) : std::wcslen(text);
}

}  // namespace

// The same order as CompareStringOrdinal with case ignored, through the
// table: the system's call costs a microsecond and more under some loads,
// and an audit of 100,000 files makes millions of comparisons.
int CompareFileNames(const wchar_t *a, int32_t a_units, const wchar_t *b, int32_t b_units)
{
    const wchar_t *upper = FileNameUpperTable();
    if (!upper)
        return CompareStringOrdinal(a, a_units, b, b_units, TRUE) - CSTR_EQUAL;
    size_t a_length = UnitsOf(a, a_units);
    size_t b_length = UnitsOf(b, b_units);
    size_t shorter = a_length < b_length ? a_length : b_length;
    for (size_t i = 0; i < shorter; ++i) {
        wchar_t x = upper[a[i]];
        wchar_t y = upper[b[i]];
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a_length == b_length ? 0 : a_length < b_length ? -1 : 1;
}
