// The program's name, maker and version: the one place they are written.
// Read by the resource script (version resource, string table), by the About
// box and by scripts/release.sh (the zip's name). Plain #defines so the
// resource compiler can read this file too.
#pragma once

#define TALVOR_PRODUCT_NAME "TALVOR CRC Check"
#define TALVOR_COMPANY_NAME "Ostrik"
#define TALVOR_EXE_NAME "TalvorCrcCheck.exe"

#define TALVOR_VERSION_MAJOR 0
#define TALVOR_VERSION_MINOR 24
#define TALVOR_VERSION_REVISION 0
#define TALVOR_VERSION_BUILD 1537
// The release letter after the minor number in the version text; the numeric
// version has the revision in its place.
#define TALVOR_VERSION_LETTER "b"

#define TALVOR_STRINGIZE_(x) #x
#define TALVOR_STRINGIZE(x) TALVOR_STRINGIZE_(x)

// "0.24b.1537"
#define TALVOR_VERSION_TEXT                                                                        \
    TALVOR_STRINGIZE(TALVOR_VERSION_MAJOR)                                                         \
    "." TALVOR_STRINGIZE(TALVOR_VERSION_MINOR) TALVOR_VERSION_LETTER                               \
        "." TALVOR_STRINGIZE(TALVOR_VERSION_BUILD)
