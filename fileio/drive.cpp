// What the drive under a path says of itself: whether it incurs a seek
// penalty (a spinning disk), which decides how many files are read at once,
// and whether its folders can lead back up without a link.
#include "fileio/fileio.h"

#include "core/core.h"

#include <windows.h>
#include <winioctl.h>

#include <cstdlib>
#include <cwchar>

namespace {

// "\\.\X:" for a volume path "X:\" or "\\?\X:\"; -1 for any other volume
// (a share, a mounted folder), which has no drive letter to ask.
int DriveDeviceOf(const wchar_t *volume, wchar_t device[7])
{
    if (std::wcsncmp(volume, L"\\\\?\\", 4) == 0)
        volume += 4;
    if (!IsDriveLetter(volume[0]) || volume[1] != L':' ||
        (volume[2] != 0 && (volume[2] != L'\\' || volume[3] != 0)))
        return -1;
    std::wmemcpy(device, L"\\\\.\\", 4);
    device[4] = volume[0];
    device[5] = L':';
    device[6] = 0;
    return 0;
}

int AskSeekPenalty(const wchar_t *device)
{
    // No access rights are needed to query the device's properties.
    HANDLE drive = CreateFileW(device, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    if (drive == INVALID_HANDLE_VALUE)
        return -1;
    STORAGE_PROPERTY_QUERY query = {};
    query.PropertyId = StorageDeviceSeekPenaltyProperty;
    query.QueryType = PropertyStandardQuery;
    DEVICE_SEEK_PENALTY_DESCRIPTOR answer = {};
    DWORD bytes = 0;
    BOOL answered = DeviceIoControl(drive, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query,
                                    &answer, sizeof answer, &bytes, nullptr);
    CloseHandle(drive);
    if (!answered || bytes < sizeof answer)
        return -1;
    return answer.IncursSeekPenalty ? 1 : 0;
}

// The drive types on which only a link (a reparse point) can make a folder
// one of its own ancestors: the local file systems have no directory hard
// links. On a share the server may follow links of its own (Samba follows
// symbolic links by default) and show them as plain folders; an unknown
// type is taken as one that may.
bool DriveTypeHasLoopsOnlyThroughLinks(UINT type)
{
    return type == DRIVE_FIXED || type == DRIVE_REMOVABLE || type == DRIVE_CDROM ||
           type == DRIVE_RAMDISK;
}

}  // namespace

int FolderMayLoopWithoutLinks(const wchar_t *folder)
{
    sLongPath form;
    int may_loop = 1;
    const wchar_t *text = nullptr;
    if (FormLongPath(folder, &form) == FILE_OK)
        text = form.text + 4;  // after \\?\ (a share's form goes on with UNC\)
    if (text && IsDriveLetter(text[0]) && text[1] == L':') {
        wchar_t root[4] = {text[0], L':', L'\\', 0};
        may_loop = DriveTypeHasLoopsOnlyThroughLinks(GetDriveTypeW(root)) ? 0 : 1;
    }
    ReleaseLongPath(&form);
    return may_loop;
}

int QuerySeekPenalty(const wchar_t *path)
{
    wchar_t *long_path = static_cast<wchar_t *>(std::malloc(2 * LONG_PATH_UNITS * sizeof(wchar_t)));
    if (!long_path)
        return -1;
    wchar_t *volume = long_path + LONG_PATH_UNITS;
    wchar_t device[7];
    int answer = -1;
    if (BuildLongPath(path, long_path, LONG_PATH_UNITS) == 0 &&
        GetVolumePathNameW(long_path, volume, LONG_PATH_UNITS) &&
        DriveDeviceOf(volume, device) == 0)
        answer = AskSeekPenalty(device);
    std::free(long_path);
    return answer;
}
