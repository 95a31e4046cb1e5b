// Carry-less multiply folding, written once for the reflected 32-bit CRCs
// (CRC-32C and CRC-32 differ only in the constants).
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
// What is left at the end is 16 bytes whose CRC, taken from 0, is the CRC
// of everything folded into them: each engine finishes them its own way.
#pragma once

#include <cstdint>

struct crc_fold_constant {
    uint64_t low_half;   // reflected x^(D+63) mod P, multiplies the register's low half
    uint64_t high_half;  // reflected x^(D-1) mod P, multiplies its high half
};

// x^e mod P in normal bit order (bit j: coefficient of x^j); `poly` is P
// with its x^32 term implied.
constexpr uint32_t crc_x_power_mod(uint32_t poly, uint32_t e)
{
    uint32_t v = 1;
    for (uint32_t i = 0; i < e; ++i)
        v = (v << 1) ^ ((v & 0x80000000u) ? poly : 0);
    return v;
}

// A polynomial of degree < 32 as the reflected 64-bit operand: x^j at bit 63 - j.
constexpr uint64_t crc_reflect_to_operand(uint32_t v)
{
    uint64_t r = 0;
    for (int j = 0; j < 32; ++j)
        if (v & (1u << j))
            r |= 1ull << (63 - j);
    return r;
}

constexpr crc_fold_constant crc_fold_by_bits(uint32_t poly, uint32_t bits)
{
    return {crc_reflect_to_operand(crc_x_power_mod(poly, bits + 63)),
            crc_reflect_to_operand(crc_x_power_mod(poly, bits - 1))};
}

// Every distance the folding paths fold over, for one polynomial.
struct crc_fold_keys {
    crc_fold_constant by_128_bytes;  // the PCLMUL stride
    crc_fold_constant by_256_bytes;  // the VPCLMUL stride
    crc_fold_constant by_64_bytes, by_48_bytes, by_32_bytes, by_16_bytes;
};

constexpr crc_fold_keys make_crc_fold_keys(uint32_t poly)
{
    return {crc_fold_by_bits(poly, 8 * 128), crc_fold_by_bits(poly, 8 * 256),
            crc_fold_by_bits(poly, 8 * 64),  crc_fold_by_bits(poly, 8 * 48),
            crc_fold_by_bits(poly, 8 * 32),  crc_fold_by_bits(poly, 8 * 16)};
}

// The folding paths take whole multiples of their stride from an input of
// at least their minimum, the register `crc` folded in at its start, and
// leave in `rest` the 16 bytes whose CRC from 0 is the CRC of what they took;
// they return its length. The engine's own path finishes the remainder.
uint32_t crc_fold_pclmul(const crc_fold_keys &keys, uint32_t crc, const uint8_t *data,
                         uint32_t count, uint8_t rest[16]);
uint32_t crc_fold_vpclmul(const crc_fold_keys &keys, uint32_t crc, const uint8_t *data,
                          uint32_t count, uint8_t rest[16]);
constexpr uint32_t CRC_PCLMUL_MIN = 256;
constexpr uint32_t CRC_VPCLMUL_MIN = 512;
