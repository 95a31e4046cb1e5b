// What the file digests share (one file, lanes, threads): the block read,
// the meter's counts, the result of a failed open and the read block's
// growth. The block read is ReadOpenFileAt on the file the digest holds open
// from its first read to its last; the tests wrap it to see how many bytes
// each read asks for and gets, and to change the file between reads.
#pragma once

#include <cstdint>

struct sOpenFile;
typedef int (*file_block_reader)(sOpenFile *file, void *dest, uint64_t offset, uint32_t *length);

// Set by the tests while no digest runs; read by every hashing thread.
extern file_block_reader file_digest_read_block;

struct file_digest_meter;
struct file_digest_buffer;
enum file_digest_result : int;

// Counts an opened file of `size` bytes, and `bytes` read; a null meter
// counts nothing. Any number of threads may count at once.
void count_opened_file(file_digest_meter *meter, uint64_t size);
void count_read(file_digest_meter *meter, uint32_t bytes);
// A file the open found missing (it or its folder) is told apart from one
// that is there but could not be opened, and both from an open that had no
// memory for the path's buffer.
file_digest_result digest_result_of_failed_open(int opened);
// The buffer's block, grown to `bytes` if it is smaller; null without
// memory. It stays for the next file, so a hashing thread faults its pages in
// once, not once per file.
uint8_t *reserve_block(file_digest_buffer *buffer, uint32_t bytes);
