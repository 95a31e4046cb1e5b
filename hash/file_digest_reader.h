// The block read of the file digest. It is ReadOpenFileAt on the file the
// digest holds open from its first read to its last; the tests wrap it to see how many
// bytes each read asks for and gets, and to change the file between reads.
#pragma once

#include <cstdint>

struct sOpenFile;
typedef int (*file_block_reader)(sOpenFile *file, void *dest, uint64_t offset, uint32_t *length);

// Set by the tests while no digest runs; read by every hashing thread.
extern file_block_reader file_digest_read_block;
