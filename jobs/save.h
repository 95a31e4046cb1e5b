// Writing the entry table as a list file, and the form a name asks for.
// Private to the jobs folder.
#pragma once

#include <cstdint>

// Writes the entry table as a checksum list file at `path`, replacing an
// existing file only once the new one is complete: a tagged text list when
// the name's extension is anything but .qcx (ListPathIsTagged), else a .qcx
// list. *left_out (may be null): listed entries a tagged list cannot hold
// (EntryFitsTaggedList), which it leaves out. FILE_OK or a file error.
int WriteChecksumList(const wchar_t *path, int32_t *left_out = nullptr);
// Whether a list saved under `path` is written as a tagged text list: it has
// an extension other than .qcx (in any case).
bool ListPathIsTagged(const wchar_t *path);
