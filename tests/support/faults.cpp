#include "tests/support/faults.h"

#include <windows.h>

#include "tests/support/scratch.h"

namespace {

// The plan file's host path (TALVOR_FAULT_PLAN) as a drive path: Wine's Z:
// is the host's root.
std::wstring PlanPath()
{
    wchar_t value[1024];
    DWORD units = GetEnvironmentVariableW(L"TALVOR_FAULT_PLAN", value, 1024);
    if (units == 0 || units >= 1024)
        return std::wstring();
    std::wstring path = L"Z:" + std::wstring(value, units);
    for (wchar_t &unit : path)
        if (unit == L'/')
            unit = L'\\';
    return path;
}

// The injector matches the end of the host path. The file's folder and name
// end it whatever the drive stands for on the host (and whatever links lie
// on the way there).
std::string HostPathEnd(const std::wstring &path)
{
    size_t name = path.find_last_of(L'\\');
    size_t folder =
        name == std::wstring::npos || name == 0 ? name : path.find_last_of(L'\\', name - 1);
    std::wstring end = folder == std::wstring::npos ? L"/" + path : path.substr(folder);
    int bytes = WideCharToMultiByte(CP_UTF8, 0, end.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(bytes > 0 ? size_t(bytes) : 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, end.c_str(), -1, &utf8[0], bytes, nullptr, nullptr);
    utf8.resize(utf8.size() - 1);
    for (char &unit : utf8)
        if (unit == '\\')
            unit = '/';
    return utf8;
}

}  // namespace

bool FaultsAvailable()
{
    return !PlanPath().empty();
}

bool PlanFault(const InjectedFault &fault)
{
    std::string plan = std::string(fault.kind) + "\n" + std::to_string(fault.after) + "\n" +
                       HostPathEnd(fault.file) + "\n";
    return PutBytes(PlanPath(), plan);
}

void EndFault()
{
    DeleteFileW(PlanPath().c_str());
}
