// Writing the entry table as a list file, and the form a name asks for.
// Private to the jobs folder.
#pragma once

#include <cstdint>

// Writes the entry table as a checksum list file at `path` in the format its
// name asks for (ListFormatOfName: .qcx, a GNU list for SHA256SUMS or
// *.sha256, SFV for *.sfv, a tagged list for any other extension),
// replacing an existing file only once the new one is complete. *left_out
// (may be null): listed entries whose names the format cannot hold, which
// it leaves out. FILE_OK, a file error or a SaveRefusal.
int WriteChecksumList(const wchar_t *path, int32_t *left_out = nullptr);
