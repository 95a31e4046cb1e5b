#include "path_order.h"

#include <windows.h>
#include <xmmintrin.h>

#include <algorithm>
#include <cstdlib>
#include <cwchar>

namespace {

// Upper case of every UTF-16 unit, as the system maps them, with the path
// separators below every other unit so that a folder's files come before a
// sibling folder whose name only starts the same way. Built once; 128 KiB.
const wchar_t *FoldTable()
{
    static wchar_t *table;
    if (table)
        return table;
    wchar_t *built = static_cast<wchar_t *>(std::malloc(65536 * sizeof(wchar_t)));
    if (!built)
        return nullptr;
    for (uint32_t unit = 0; unit < 65536; ++unit)
        built[unit] = wchar_t(unit);
    CharUpperBuffW(built + 1, 65535);
    built[L'\\'] = 1;
    built[L'/'] = 1;
    table = built;
    return table;
}

wchar_t Folded(const wchar_t *fold, wchar_t unit)
{
    return fold ? fold[unit] : unit;
}

bool IsDigit(wchar_t unit)
{
    return unit >= L'0' && unit <= L'9';
}

// Compares the digit runs at *a and *b by value and moves both past them.
int CompareDigitRuns(const wchar_t **a, const wchar_t **b)
{
    const wchar_t *x = *a;
    const wchar_t *y = *b;
    while (*x == L'0')
        ++x;
    while (*y == L'0')
        ++y;
    const wchar_t *x_end = x;
    const wchar_t *y_end = y;
    while (IsDigit(*x_end))
        ++x_end;
    while (IsDigit(*y_end))
        ++y_end;
    *a = x_end;
    *b = y_end;
    if (x_end - x != y_end - y)
        return x_end - x < y_end - y ? -1 : 1;
    for (; x < x_end; ++x, ++y)
        if (*x != *y)
            return *x < *y ? -1 : 1;
    return 0;
}

// ---- The same order by keys --------------------------------------------------------
// A path read as a stream of symbols that compare as ComparePaths compares
// the path: a folded unit, or for a digit run its length and then its
// significant digits. Six symbols of 21 bits make one key, so a whole list
// is ordered the way a radix sort orders it: by one key of every row, then
// each run of rows with equal keys by their next key, reading each path once
// from front to back instead of again for every comparison (which spent its
// time waiting for memory).

constexpr int SYMBOL_BITS = 21;
constexpr uint32_t SYMBOL_MAX = (1u << SYMBOL_BITS) - 1;
// Digit runs up to this long carry their length in the run's first symbol;
// longer ones give it again as a symbol of its own.
constexpr uint32_t LONG_RUN = 31;
constexpr uint8_t RUN_START = 1;
constexpr uint8_t RUN_SETTLED = 2;

struct KeyedRow {
    uint64_t key[2];       // three symbols each, the first in key[0]
    const wchar_t *at;     // the next unit of the path to read
    uint32_t digits_left;  // significant digits of the current run still to give
    uint32_t row;
    bool length_next;  // a long run's length is the next symbol
    uint8_t flags;     // RUN_START, RUN_SETTLED
};

// 0 once the path has ended, and only then.
uint32_t NextSymbol(KeyedRow *item, const wchar_t *fold)
{
    if (item->length_next) {
        item->length_next = false;
        return item->digits_left < SYMBOL_MAX ? item->digits_left : SYMBOL_MAX;
    }
    if (item->digits_left) {
        --item->digits_left;
        return uint32_t(*item->at++) << 5;
    }
    wchar_t unit = *item->at;
    if (unit == 0)
        return 0;
    if (!IsDigit(unit)) {
        ++item->at;
        return uint32_t(Folded(fold, unit)) << 5;
    }
    while (*item->at == L'0')
        ++item->at;
    const wchar_t *end = item->at;
    while (IsDigit(*end))
        ++end;
    uint32_t length = uint32_t(end - item->at);
    item->digits_left = length;
    item->length_next = length >= LONG_RUN;
    // A digit run against another unit compares as its first digit would.
    return (uint32_t(L'0') << 5) | (length < LONG_RUN ? length : LONG_RUN);
}

void TakeNextKey(KeyedRow *item, const wchar_t *fold)
{
    for (uint64_t &part : item->key) {
        part = 0;
        for (int i = 0; i < 3; ++i)
            part = (part << SYMBOL_BITS) | NextSymbol(item, fold);
    }
}

bool SameKey(const KeyedRow &a, const KeyedRow &b)
{
    return a.key[0] == b.key[0] && a.key[1] == b.key[1];
}

bool KeyBefore(const KeyedRow &a, const KeyedRow &b)
{
    return a.key[0] != b.key[0] ? a.key[0] < b.key[0] : a.key[1] < b.key[1];
}

// Rows whose paths compare equal: by the exact text, the newer first.
void OrderEqualPaths(KeyedRow *run, int32_t count, const DisplayRow *store)
{
    std::sort(run, run + count, [store](const KeyedRow &a, const KeyedRow &b) {
        int text = std::wcscmp(store[a.row].path, store[b.row].path);
        return text != 0 ? text < 0 : a.row > b.row;
    });
}

// Orders a run of rows with equal keys so far by the next key of each and
// marks the runs that keys leave equal. A run is settled when it holds one
// row or rows whose paths all ended together. Returns whether one is not.
bool OrderRunByNextKey(KeyedRow *run, int32_t count, const wchar_t *fold, const DisplayRow *store)
{
    // The paths lie anywhere in memory: asking for those a few rows ahead
    // lets their reads overlap.
    constexpr int32_t AHEAD = 8;
    bool differ = false;
    for (int32_t i = 0; i < count; ++i) {
        if (i + AHEAD < count)
            _mm_prefetch(reinterpret_cast<const char *>(run[i + AHEAD].at), _MM_HINT_T0);
        TakeNextKey(&run[i], fold);
        differ = differ || !SameKey(run[i], run[0]);
    }
    if (differ)
        std::sort(run, run + count, KeyBefore);
    bool open = false;
    for (int32_t first = 0; first < count;) {
        int32_t end = first + 1;
        while (end < count && SameKey(run[end], run[first]))
            ++end;
        bool ended = run[first].key[0] == 0;
        if (ended && end - first > 1)
            OrderEqualPaths(run + first, end - first, store);
        // Marked after that order: the marks move with the rows.
        for (int32_t i = first; i < end; ++i)
            run[i].flags = 0;
        run[first].flags = RUN_START;
        if (ended || end - first == 1)
            run[first].flags |= RUN_SETTLED;
        else
            open = true;
        first = end;
    }
    return open;
}

}  // namespace

// The system's CompareStringEx with SORT_DIGITSASNUMBERS gives this order
// too, but took microseconds per call: a million rows need some twenty
// million comparisons, far beyond a second.
int ComparePaths(const wchar_t *a, const wchar_t *b)
{
    const wchar_t *fold = FoldTable();
    const wchar_t *x = a;
    const wchar_t *y = b;
    for (;;) {
        if (IsDigit(*x) && IsDigit(*y)) {
            int runs = CompareDigitRuns(&x, &y);
            if (runs != 0)
                return runs;
            continue;
        }
        wchar_t fx = Folded(fold, *x);
        wchar_t fy = Folded(fold, *y);
        if (fx != fy)
            return fx < fy ? -1 : 1;
        if (*x == 0)
            break;
        ++x;
        ++y;
    }
    // Names equal but for case or leading zeros still get a fixed order.
    return std::wcscmp(a, b);
}

bool SortRowsByPath(uint32_t *rows, int32_t count, const DisplayRow *store)
{
    if (count < 2)
        return true;
    KeyedRow *items = static_cast<KeyedRow *>(std::malloc(size_t(count) * sizeof(KeyedRow)));
    if (!items)
        return false;
    const wchar_t *fold = FoldTable();
    for (int32_t i = 0; i < count; ++i)
        items[i] = KeyedRow{{0, 0}, store[rows[i]].path, 0, rows[i], false, 0};
    items[0].flags = RUN_START;
    // One key deeper into every run still open, until none is.
    for (bool open = true; open;) {
        open = false;
        for (int32_t first = 0; first < count;) {
            int32_t end = first + 1;
            while (end < count && !(items[end].flags & RUN_START))
                ++end;
            if (!(items[first].flags & RUN_SETTLED) &&
                OrderRunByNextKey(items + first, end - first, fold, store))
                open = true;
            first = end;
        }
    }
    for (int32_t i = 0; i < count; ++i)
        rows[i] = items[i].row;
    std::free(items);
    return true;
}
