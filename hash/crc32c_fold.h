// Carry-less multiply folding for the CRC-32C paths that have it.
//
// A run of 16 bytes loaded into a 128-bit register, byte 0 in the low bits,
// is the polynomial whose bit i is the coefficient of x^(127-i): the CRC is
// bit-reflected. Its CRC contribution D bits further on is that polynomial
// times x^D, and only its value modulo the CRC polynomial P matters. So a
// register is folded forward by multiplying its low half (the high-degree
// part) by x^(D+64) mod P and its high half by x^D mod P, and XORing both
// products into the data D bits on. The two 64x64 products land one degree
// short in reflected order, so the constants carry one power of x less.
//
// What is left at the end is 16 bytes whose CRC, taken with the CRC32
// instruction from 0, is the CRC of everything folded into them.
#pragma once

#include <cstdint>

struct crc32c_fold_constant {
    uint64_t low_half;   // reflected x^(D+63) mod P, multiplies the register's low half
    uint64_t high_half;  // reflected x^(D-1) mod P, multiplies its high half
};

// x^e mod P in normal bit order (bit j: coefficient of x^j); P is the
// Castagnoli polynomial 0x1EDC6F41 with its x^32 term implied.
constexpr uint32_t crc32c_x_power_mod(uint32_t e)
{
    uint32_t v = 1;
    for (uint32_t i = 0; i < e; ++i)
        v = (v << 1) ^ ((v & 0x80000000u) ? 0x1EDC6F41u : 0);
    return v;
}

// A polynomial of degree < 32 as the reflected 64-bit operand: x^j at bit 63 - j.
constexpr uint64_t crc32c_reflect_to_operand(uint32_t v)
{
    uint64_t r = 0;
    for (int j = 0; j < 32; ++j)
        if (v & (1u << j))
            r |= 1ull << (63 - j);
    return r;
}

constexpr crc32c_fold_constant crc32c_fold_by_bits(uint32_t bits)
{
    return {crc32c_reflect_to_operand(crc32c_x_power_mod(bits + 63)),
            crc32c_reflect_to_operand(crc32c_x_power_mod(bits - 1))};
}

// The folding paths take whole multiples of their stride from an input of
// at least their minimum, returning the CRC of what they took and its
// length in `done`; the CRC32-instruction path finishes the rest.
uint32_t crc32c_fold_pclmul(uint32_t crc, const uint8_t *data, uint32_t count, uint32_t *done);
uint32_t crc32c_fold_vpclmul(uint32_t crc, const uint8_t *data, uint32_t count, uint32_t *done);
constexpr uint32_t CRC32C_PCLMUL_MIN = 256;
constexpr uint32_t CRC32C_VPCLMUL_MIN = 512;
