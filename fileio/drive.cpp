// What the drive under a path says of itself: whether it incurs a seek
// penalty (a spinning disk), which decides how many files are read at once.
#include "fileio/fileio.h"

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
    bool letter =
        (volume[0] >= L'A' && volume[0] <= L'Z') || (volume[0] >= L'a' && volume[0] <= L'z');
    if (!letter || volume[1] != L':' || (volume[2] != 0 && (volume[2] != L'\\' || volume[3] != 0)))
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

}  // namespace

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
