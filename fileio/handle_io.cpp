#include "handle_io.h"

#include <cstdlib>

namespace {

constexpr uint32_t SCRATCH_BYTES = 65536;
// Reads are made in steps of at most 1 GiB, as the writes are.
constexpr uint32_t MAX_TRANSFER = 1u << 30;

}  // namespace

// Straight through Win32, not the C runtime: its open asks the file's type
// and its reads and seeks add calls of their own, each a round trip to the
// server under Wine, which for a small file cost more than reading it.
// Shared for reading and writing as the runtime's _SH_DENYNO shares it; the
// reads run front to back, which the cache is told.
HANDLE OpenHandleForReading(const wchar_t *path)
{
    return CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

bool OpenFoundNothing(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// The reads go on from the handle's position: a read given its offset in an
// OVERLAPPED record costs Wine a further round trip to the server per read
// (it registers a completion), where a seek on the handle costs none.
int SeekHandle(HANDLE handle, uint64_t offset)
{
    if (offset > static_cast<uint64_t>(INT64_MAX))
        return -1;
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(handle, to, nullptr, FILE_BEGIN) ? 0 : -1;
}

int ReadFully(HANDLE handle, uint8_t *dest, uint32_t wanted, uint32_t *got)
{
    uint32_t total = 0;
    while (total < wanted) {
        uint32_t step = wanted - total;
        if (step > MAX_TRANSFER)
            step = MAX_TRANSFER;
        DWORD n = 0;
        if (!ReadFile(handle, dest + total, step, &n, nullptr))
            return -1;
        if (n == 0)
            break;
        total += n;
    }
    *got = total;
    return 0;
}

int CountByReading(HANDLE handle, uint64_t stop_above, uint64_t *count)
{
    uint8_t *buf = static_cast<uint8_t *>(std::malloc(SCRATCH_BYTES));
    if (!buf)
        return -1;
    uint64_t total = 0;
    uint32_t got = 0;
    int result = SeekHandle(handle, 0);
    while (result == 0) {
        result = ReadFully(handle, buf, SCRATCH_BYTES, &got);
        total += got;
        if (got < SCRATCH_BYTES || total > stop_above)
            break;
    }
    std::free(buf);
    if (result == 0)
        *count = total;
    return result;
}
