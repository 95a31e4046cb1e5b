// The -report= switch, as the program reads it and as the console companion
// adds it to the command line it starts the program with. Private to the
// app folder.
#pragma once

#include <cstddef>

constexpr wchar_t REPORT_PREFIX[] = L"-report=";
constexpr size_t REPORT_PREFIX_UNITS = sizeof REPORT_PREFIX / sizeof REPORT_PREFIX[0] - 1;
