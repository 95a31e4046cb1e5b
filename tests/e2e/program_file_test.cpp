// What Windows reads from the built program file before it runs: the details
// Explorer's Properties page shows and the manifest the loader applies.

#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "tests/e2e/app_path.h"

namespace {

std::wstring VersionString(const void *info, const wchar_t *name)
{
    std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    void *value = nullptr;
    UINT units = 0;
    if (!VerQueryValueW(info, query.c_str(), &value, &units) || !value)
        return L"(missing)";
    return static_cast<const wchar_t *>(value);
}

std::wstring ActivationSetting(HANDLE context, const wchar_t *name_space, const wchar_t *name)
{
    wchar_t value[128] = {};
    SIZE_T written = 0;
    if (!QueryActCtxSettingsW(0, context, name_space, name, value, 128, &written))
        return L"(missing)";
    return value;
}

std::string ManifestText(const std::wstring &program)
{
    HMODULE module = LoadLibraryExW(program.c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!module)
        return {};
    std::string text;
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    if (loaded)
        text.assign(static_cast<const char *>(LockResource(loaded)), SizeofResource(module, found));
    FreeLibrary(module);
    return text;
}

TEST(ProgramFile, DetailsShowNameMakerAndTheAboutBoxVersion)
{
    std::wstring program = AppPath();
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(program.c_str(), &ignored);
    ASSERT_GT(size, 0u) << "no version resource in the program";
    std::string info(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoW(program.c_str(), 0, size, info.data()));

    VS_FIXEDFILEINFO *fixed = nullptr;
    UINT fixed_size = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void **>(&fixed), &fixed_size));
    ASSERT_EQ(fixed_size, sizeof *fixed);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    // 0.24.0.1537
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00000018u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000601u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00000018u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000601u);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS_NT_WINDOWS32));

    // The language and code page the string block is found under.
    WORD *translation = nullptr;
    UINT translation_size = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void **>(&translation), &translation_size));
    ASSERT_EQ(translation_size, 4u);
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 1200);

    EXPECT_EQ(VersionString(info.data(), L"ProductName"), L"TALVOR CRC Check");
    EXPECT_EQ(VersionString(info.data(), L"CompanyName"), L"Ostrik");
    EXPECT_EQ(VersionString(info.data(), L"FileDescription"), L"TALVOR CRC Check");
    EXPECT_EQ(VersionString(info.data(), L"FileVersion"), L"0.24b.1537");
    EXPECT_EQ(VersionString(info.data(), L"ProductVersion"), L"0.24b.1537");
    EXPECT_EQ(VersionString(info.data(), L"OriginalFilename"), L"TalvorCrcCheck.exe");
}

// The manifest as the loader reads it: the activation context is built from
// the program's own resource, so XML the system refuses fails here too.
TEST(ProgramFile, ManifestNamesWindows7To11LongPathsAndPerMonitorDpi)
{
    std::wstring program = AppPath();
    ACTCTXW request = {};
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = program.c_str();
    request.lpResourceName = MAKEINTRESOURCEW(1);
    HANDLE context = CreateActCtxW(&request);
    ASSERT_NE(context, INVALID_HANDLE_VALUE) << "error " << GetLastError();
    const wchar_t *settings_2016 = L"http://schemas.microsoft.com/SMI/2016/WindowsSettings";
    const wchar_t *settings_2005 = L"http://schemas.microsoft.com/SMI/2005/WindowsSettings";
    EXPECT_EQ(ActivationSetting(context, settings_2016, L"dpiAwareness"), L"PerMonitorV2, System");
    EXPECT_EQ(ActivationSetting(context, settings_2005, L"dpiAware"), L"true");
    EXPECT_EQ(ActivationSetting(context, settings_2016, L"longPathAware"), L"true");
    ReleaseActCtx(context);

    std::string manifest = ManifestText(program);
    ASSERT_FALSE(manifest.empty());
    const char *systems[] = {
        "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // Windows 7
        "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // Windows 8
        "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // Windows 8.1
        "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // Windows 10 and 11
    };
    for (const char *id : systems) {
        std::string entry = std::string("<supportedOS Id=\"") + id + "\"/>";
        EXPECT_NE(manifest.find(entry), std::string::npos) << id;
    }
    EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
    EXPECT_NE(manifest.find("<requestedExecutionLevel level=\"asInvoker\""), std::string::npos);
}

}  // namespace
