#include "crt_io.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "fileio/fileio.h"

namespace {

// The CRT's _write takes at most INT_MAX bytes per call.
constexpr uint32_t MAX_TRANSFER = 1u << 30;

int CreateForWriting(const wchar_t *path, int *fd)
{
    return _wsopen_s(fd, path, _O_BINARY | _O_RDWR | _O_CREAT | _O_TRUNC, _SH_DENYNO,
                     _S_IREAD | _S_IWRITE) == 0
               ? 0
               : -1;
}

// Cuts the long-path form back to its parent folder: the text before the
// last backslash that is not the first unit; without one the path stays.
void CutToParentFolder(wchar_t *path)
{
    size_t i = std::wcslen(path);
    while (i > 1) {
        --i;
        if (path[i] == L'\\') {
            path[i] = 0;
            return;
        }
    }
}

}  // namespace

int OpenForWriting(const wchar_t *path, int *fd)
{
    return _wsopen_s(fd, path, _O_BINARY | _O_RDWR, _SH_DENYNO, 0) == 0 ? 0 : -1;
}

int SeekFromStart(int fd, uint64_t offset)
{
    if (offset > static_cast<uint64_t>(INT64_MAX))
        return -1;
    return _lseeki64(fd, static_cast<int64_t>(offset), SEEK_SET) < 0 ? -1 : 0;
}

int WriteFully(int fd, const uint8_t *src, uint32_t length)
{
    uint32_t total = 0;
    while (total < length) {
        uint32_t step = length - total;
        if (step > MAX_TRANSFER)
            step = MAX_TRANSFER;
        int n = _write(fd, src + total, step);
        if (n <= 0)
            return -1;
        total += static_cast<uint32_t>(n);
    }
    return 0;
}

int OpenOrCreateForWriting(const wchar_t *path, wchar_t *parent, int *fd)
{
    if (OpenForWriting(path, fd) == 0)
        return FILE_OK;
    if (CreateForWriting(path, fd) != 0) {
        std::wcscpy(parent, path);
        CutToParentFolder(parent);
        if (_wmkdir(parent) != 0)
            return FILE_ERR_CREATE;
        if (CreateForWriting(path, fd) != 0)
            return FILE_ERR_CREATE;
    }
    // The created descriptor is reopened so the write goes through the same
    // no-truncate open as for an existing file.
    _close(*fd);
    return OpenForWriting(path, fd) == 0 ? FILE_OK : FILE_ERR_CREATE;
}
