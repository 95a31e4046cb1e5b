// The digest every test holds the program's digests against: computed in
// memory through the digest selection, independent of files and jobs. Header
// only, so the host's hash tests use it as the Windows groups do.
#pragma once

#include <cstdint>
#include <string>

#include "hash/hash.h"

// The digest text of `n` bytes in the kind `letter` names: what every digest
// of these bytes (a file's, a job's row) must read. Empty for a letter that
// names no kind.
inline std::string digest_hex(utf16 letter, const void *data, uint64_t n)
{
    digest_context ctx;
    if (digest_init(&ctx, letter) != 0)
        return std::string();
    const uint8_t *bytes = static_cast<const uint8_t *>(data);
    for (uint64_t done = 0; done < n;) {
        uint32_t piece = n - done < 0x40000000u ? uint32_t(n - done) : 0x40000000u;
        digest_update(&ctx, bytes + done, piece);
        done += piece;
    }
    utf16 text[DIGEST_TEXT_CAPACITY];
    digest_final_text(&ctx, text);
    return std::string(text, text + TextUnits(text));
}

// The same text in the wide characters the window shows.
inline std::wstring widen(const std::string &ascii)
{
    return std::wstring(ascii.begin(), ascii.end());
}
