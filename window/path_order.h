// The order of paths in the result list: names as Explorer orders them
// (case-insensitive, digit runs by value: f2 before f10), then the exact
// text. One rule, given twice: as a comparison for the few rows that arrive
// into a sorted list, and as a sort by keys for a whole list at once.
#pragma once

#include <cstdint>

#include "window/display.h"

// Below, at or above 0 as `a` comes before, with or after `b`; 0 only for
// equal texts.
int ComparePaths(const wchar_t *a, const wchar_t *b);

// Puts the stored rows `rows` (indexes into `store`) in ComparePaths order of
// their paths, rows of equal paths the newer (higher index) first. False,
// the rows as they were, without memory.
bool SortRowsByPath(uint32_t *rows, int32_t count, const DisplayRow *store);
