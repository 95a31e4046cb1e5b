// Where the end-to-end tests find the program under test and the driver.
#pragma once

#include <string>

// The folder of the running test executable, with its trailing backslash.
std::wstring ExeFolder();
// TalvorCrcCheck.exe, found relative to the test executable.
std::wstring AppPath();
// Its console companion TalvorCrcCheck.com, beside it.
std::wstring ConsolePath();
