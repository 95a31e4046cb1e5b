#include "file_digest_reader.h"

#include <atomic>

#include "fileio/fileio.h"
#include "hash/file_digest.h"

file_block_reader file_digest_read_block = ReadOpenFileAt;

namespace {

void add_to_count(uint64_t *counter, uint64_t amount)
{
    std::atomic_ref<uint64_t>(*counter).fetch_add(amount, std::memory_order_relaxed);
}

}  // namespace

void count_opened_file(file_digest_meter *meter, uint64_t size)
{
    if (!meter)
        return;
    add_to_count(&meter->files_sized, 1);
    add_to_count(&meter->bytes_sized, size);
}

void count_read(file_digest_meter *meter, uint32_t bytes)
{
    if (meter)
        add_to_count(&meter->bytes_read, bytes);
}

file_digest_result digest_result_of_failed_open(int opened)
{
    if (opened == FILE_ERR_IO)
        return FILE_DIGEST_NO_MEMORY;
    return opened == FILE_ERR_NOT_FOUND ? FILE_DIGEST_NOT_FOUND : FILE_DIGEST_UNREADABLE;
}
