// The CRC32-instruction path. This file alone is compiled for SSE4.2; it only
// runs after detect_sse42 has found the instruction.
//
// One CRC32 instruction has a latency of three cycles but the processor can
// start one every cycle, so a single dependent chain uses a third of it. Long
// inputs are therefore cut into rounds of three equal lanes whose CRCs run as
// three independent chains and are then joined: the CRC register is linear
// over GF(2), so the CRC of "A then B" is the CRC of A moved past len(B) zero
// bytes, XOR the CRC of B started from 0. Moving a value past a lane of zero
// bytes is a fixed 32x32 bit matrix, applied here as four 256-entry tables
// built at compile time.
#include "crc_paths.h"

#include <bit>
#include <cstring>

#include <nmmintrin.h>

namespace {

constexpr uint32_t CRC32C_POLY = 0x82F63B78u;

// Long lanes carry the bulk of a 64 KiB block; short lanes take most of what
// is left, so only a few hundred bytes run on a single chain.
constexpr uint32_t LONG_LANE = 4096;
constexpr uint32_t SHORT_LANE = 256;

struct crc32c_shift_table {
    uint32_t t[4][256];
};

// A 32x32 GF(2) matrix as its 32 columns: column j is the image of bit j.
struct gf2_matrix {
    uint32_t col[32];
};

constexpr uint32_t gf2_apply(const gf2_matrix &m, uint32_t v)
{
    uint32_t r = 0;
    for (int j = 0; v != 0; ++j, v >>= 1)
        if (v & 1)
            r ^= m.col[j];
    return r;
}

constexpr uint32_t one_zero_bit(uint32_t c)
{
    return (c & 1) ? (c >> 1) ^ CRC32C_POLY : c >> 1;
}

constexpr uint32_t one_zero_byte(uint32_t c)
{
    for (int bit = 0; bit < 8; ++bit)
        c = one_zero_bit(c);
    return c;
}

// One zero bit takes bit j to bit j-1, and moving past zero bytes commutes
// with moving past one zero bit, so column j-1 is column j moved one bit
// further: the top column fixes the whole matrix.
constexpr gf2_matrix matrix_from_top_column(uint32_t top)
{
    gf2_matrix m{};
    m.col[31] = top;
    for (int j = 31; j > 0; --j)
        m.col[j - 1] = one_zero_bit(m.col[j]);
    return m;
}

// The register after `bytes` zero bytes (a power of two) as a matrix: one
// zero byte, squared until it covers them all.
constexpr gf2_matrix zero_bytes_matrix(uint32_t bytes)
{
    gf2_matrix m = matrix_from_top_column(one_zero_byte(1u << 31));
    for (uint32_t n = 1; n < bytes; n *= 2)
        m = matrix_from_top_column(gf2_apply(m, m.col[31]));
    return m;
}

// Each entry is the entry without its lowest set bit plus that bit's column,
// one XOR apiece.
constexpr crc32c_shift_table make_shift_table(uint32_t bytes)
{
    gf2_matrix m = zero_bytes_matrix(bytes);
    crc32c_shift_table table{};
    for (int k = 0; k < 4; ++k)
        for (uint32_t b = 1; b < 256; ++b)
            table.t[k][b] = table.t[k][b & (b - 1)] ^ m.col[8 * k + std::countr_zero(b)];
    return table;
}

constexpr crc32c_shift_table LONG_LANE_SHIFT = make_shift_table(LONG_LANE);
constexpr crc32c_shift_table SHORT_LANE_SHIFT = make_shift_table(SHORT_LANE);

// One zero byte after the value 1 is entry 1 of the ordinary bytewise table,
// and a squared matrix must equal stepping byte by byte.
static_assert(one_zero_byte(1) == 0xF26B8303u, "reflected polynomial");
static_assert(zero_bytes_matrix(4).col[5] ==
                  one_zero_byte(one_zero_byte(one_zero_byte(one_zero_byte(1u << 5)))),
              "squaring composes zero bytes");

inline uint32_t shift_past_lane(const crc32c_shift_table &shift, uint32_t crc)
{
    return shift.t[0][crc & 0xFF] ^ shift.t[1][(crc >> 8) & 0xFF] ^ shift.t[2][(crc >> 16) & 0xFF] ^
           shift.t[3][crc >> 24];
}

inline uint64_t load_le64(const uint8_t *p)
{
    uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

// Whole rounds of three lanes from an 8-byte aligned pointer; returns how
// many bytes were consumed (a multiple of 3 * lane).
inline uint32_t crc32c_three_lanes(uint32_t *crc, const uint8_t *data, uint32_t count,
                                   uint32_t lane, const crc32c_shift_table &shift)
{
    uint32_t done = 0;
    while (count - done >= 3 * lane) {
        const uint8_t *a = data + done;
        const uint8_t *b = a + lane;
        const uint8_t *c = b + lane;
        uint64_t ca = *crc, cb = 0, cc = 0;
        for (uint32_t i = 0; i < lane; i += 8) {
            ca = _mm_crc32_u64(ca, load_le64(a + i));
            cb = _mm_crc32_u64(cb, load_le64(b + i));
            cc = _mm_crc32_u64(cc, load_le64(c + i));
        }
        uint32_t ab = shift_past_lane(shift, static_cast<uint32_t>(ca)) ^ static_cast<uint32_t>(cb);
        *crc = shift_past_lane(shift, ab) ^ static_cast<uint32_t>(cc);
        done += 3 * lane;
    }
    return done;
}

}  // namespace

uint32_t crc32c_update_sse42(uint32_t crc, const uint8_t *data, uint32_t count)
{
    while (count != 0 && (reinterpret_cast<uintptr_t>(data) & 7) != 0) {
        crc = _mm_crc32_u8(crc, *data++);
        --count;
    }
    uint32_t done = crc32c_three_lanes(&crc, data, count, LONG_LANE, LONG_LANE_SHIFT);
    data += done;
    count -= done;
    done = crc32c_three_lanes(&crc, data, count, SHORT_LANE, SHORT_LANE_SHIFT);
    data += done;
    count -= done;
    uint64_t wide = crc;
    while (count >= 8) {
        wide = _mm_crc32_u64(wide, load_le64(data));
        data += 8;
        count -= 8;
    }
    crc = static_cast<uint32_t>(wide);
    if (count >= 4) {
        uint32_t w;
        std::memcpy(&w, data, sizeof w);
        crc = _mm_crc32_u32(crc, w);
        data += 4;
        count -= 4;
    }
    if (count >= 2) {
        uint16_t w;
        std::memcpy(&w, data, sizeof w);
        crc = _mm_crc32_u16(crc, w);
        data += 2;
        count -= 2;
    }
    if (count >= 1)
        crc = _mm_crc32_u8(crc, *data);
    return crc;
}
