// Telling a path that reaches a device from one that names a file.
#include <cwchar>

#include "core/core.h"
#include "fileio/fileio.h"
#include "path_forms.h"

namespace {

int IsDriveAbsolute(const wchar_t *path)
{
    return path[0] != 0 && path[1] == L':' && path[2] == L'\\';
}

// \\.\ and \\?\ (either slash) reach the object namespace directly; only
// a drive or a share behind them names files.
int IsDeviceNamespacePath(const wchar_t *path)
{
    if (!StartsWithNamespacePrefix(path))
        return 0;
    const wchar_t *rest = path + 4;
    if (IsDriveAbsolute(rest) || (rest[0] != 0 && rest[1] == L':' && rest[2] == L'/'))
        return 0;
    return !(_wcsnicmp(rest, L"UNC", 3) == 0 && IsPathSeparator(rest[3]));
}

const wchar_t *FinalComponent(const wchar_t *path)
{
    const wchar_t *start = path[0] != 0 && path[1] == L':' ? path + 2 : path;
    for (const wchar_t *at = start; *at; ++at)
        if (IsPathSeparator(*at))
            start = at + 1;
    return start;
}

int IsPortDigit(wchar_t unit)
{
    // The superscript digits count as well: Windows maps them to the ports.
    return (unit >= L'0' && unit <= L'9') || unit == 0x00B9 || unit == 0x00B2 || unit == 0x00B3;
}

constexpr const wchar_t *kReservedNames[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};

// The reserved names stand for devices in every folder, also with an
// extension or trailing spaces ("NUL.txt", "COM1 ").
int IsReservedDeviceName(const wchar_t *name)
{
    size_t stem = 0;
    while (name[stem] != 0 && name[stem] != L'.' && name[stem] != L':')
        ++stem;
    while (stem > 0 && name[stem - 1] == L' ')
        --stem;
    for (const wchar_t *reserved : kReservedNames)
        if (stem == std::wcslen(reserved) && _wcsnicmp(name, reserved, stem) == 0)
            return 1;
    int port = _wcsnicmp(name, L"COM", 3) == 0 || _wcsnicmp(name, L"LPT", 3) == 0;
    return stem == 4 && port && IsPortDigit(name[3]);
}

}  // namespace

int IsDevicePath(const wchar_t *path)
{
    return IsDeviceNamespacePath(path) || IsReservedDeviceName(FinalComponent(path));
}
