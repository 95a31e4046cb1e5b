// SHA-3 as FIPS 202 writes it, step by step and slowly: the oracle the fast
// paths are held against. Lane A[x][y] is state bytes 8 (5y + x) onwards,
// little-endian; rho's offsets come from the (x, y) walk and iota's
// constants from the rc(t) shift register, not from tables.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

inline uint64_t oracle_rotl(uint64_t v, unsigned n)
{
    n %= 64;
    return n == 0 ? v : (v << n) | (v >> (64 - n));
}

inline uint64_t oracle_rc_bit(unsigned t)
{
    uint32_t r = 1;  // bit i holds R[i]
    for (unsigned i = 1; i <= t % 255; ++i) {
        r <<= 1;
        uint32_t r8 = (r >> 8) & 1;
        r ^= r8 | (r8 << 4) | (r8 << 5) | (r8 << 6);
        r &= 0xFF;
    }
    return r & 1;
}

inline void oracle_keccak_p1600(uint64_t a[5][5])
{
    for (unsigned round = 0; round < 24; ++round) {
        uint64_t c[5], d[5];
        for (int x = 0; x < 5; ++x)
            c[x] = a[x][0] ^ a[x][1] ^ a[x][2] ^ a[x][3] ^ a[x][4];
        for (int x = 0; x < 5; ++x)
            d[x] = c[(x + 4) % 5] ^ oracle_rotl(c[(x + 1) % 5], 1);
        for (int x = 0; x < 5; ++x)
            for (int y = 0; y < 5; ++y)
                a[x][y] ^= d[x];

        uint64_t b[5][5];
        b[0][0] = a[0][0];
        for (int t = 0, x = 1, y = 0; t < 24; ++t) {
            b[x][y] = oracle_rotl(a[x][y], (t + 1) * (t + 2) / 2);
            int next_y = (2 * x + 3 * y) % 5;
            x = y;
            y = next_y;
        }
        for (int x = 0; x < 5; ++x)
            for (int y = 0; y < 5; ++y)
                a[x][y] = b[(x + 3 * y) % 5][x];

        for (int y = 0; y < 5; ++y) {
            uint64_t row[5];
            for (int x = 0; x < 5; ++x)
                row[x] = a[x][y];
            for (int x = 0; x < 5; ++x)
                a[x][y] = row[x] ^ (~row[(x + 1) % 5] & row[(x + 2) % 5]);
        }

        for (unsigned j = 0; j <= 6; ++j)
            a[0][0] ^= oracle_rc_bit(j + 7 * round) << ((1u << j) - 1);
    }
}

// SHA3-bits of n bytes: the digest bytes.
inline std::vector<uint8_t> oracle_sha3(unsigned bits, const uint8_t *message, size_t n)
{
    const size_t rate = 200 - bits / 4;
    std::vector<uint8_t> padded(message, message + n);
    padded.push_back(0x06);
    while (padded.size() % rate != 0)
        padded.push_back(0);
    padded.back() |= 0x80;
    uint8_t state[200] = {0};
    for (size_t at = 0; at < padded.size(); at += rate) {
        for (size_t i = 0; i < rate; ++i)
            state[i] ^= padded[at + i];
        uint64_t a[5][5];
        for (int x = 0; x < 5; ++x)
            for (int y = 0; y < 5; ++y)
                std::memcpy(&a[x][y], state + 8 * (5 * y + x), 8);
        oracle_keccak_p1600(a);
        for (int x = 0; x < 5; ++x)
            for (int y = 0; y < 5; ++y)
                std::memcpy(state + 8 * (5 * y + x), &a[x][y], 8);
    }
    return std::vector<uint8_t>(state, state + bits / 8);
}
