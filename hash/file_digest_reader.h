// The block read of the file digest. It is ReadFileAt; the tests wrap it to
// see how many bytes each read asks for and gets, and to change the file
// between reads.
#pragma once

#include <cstdint>

typedef int (*file_block_reader)(void *dest, const wchar_t *path, uint64_t offset, uint32_t *length);

extern file_block_reader file_digest_read_block;
