#include "tests/e2e/app_path.h"

#include <windows.h>

std::wstring ExeFolder()
{
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

std::wstring AppPath()
{
    return ExeFolder() + TALVOR_E2E_APP_RELATIVE;
}

std::wstring ConsolePath()
{
    std::wstring path = AppPath();
    return path.substr(0, path.size() - 4) + L".com";
}
