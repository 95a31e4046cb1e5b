// In-process throughput of the hash engines against reference libraries,
// measured in the same run: every SHA-3 path this processor has (each called
// through its engine table's entry) and the one the dispatcher chooses against OpenSSL's
// EVP; the multi-state kernels running 8 or 4 streams at once against EVP
// hashing the same streams one after another (one core each way); every
// CRC-32C path against ISA-L's crc32_iscsi, every CRC-32 path against its
// crc32_gzip_refl; every MD5, SHA-1, SHA-256 and SHA-512 path, and the one
// each dispatcher chooses, against OpenSSL's EVP; BLAKE3 (each path, and the
// one chosen) against BLAKE3's C library with its own dispatch, XXH3-64 and
// XXH128 against Debian's libxxhash. Prints MB/s and the ratio ours /
// reference. Not a test: the numbers depend on the machine and whatever else
// it is doing.
//   hash_bench [MiB]   buffer (and stream) size, 1 MiB unless given
//   hash_bench threads BLAKE3 over one 1 GiB buffer on every core against
//                      the cores times its speed on one
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include <thread>
#include <vector>

#include <isa-l/crc.h>
#include <openssl/evp.h>
#include <xxhash.h>

#include "hash/blake3_paths.h"
#include "hash/crc_paths.h"
#include "hash/hash.h"
#include "hash/md_paths.h"
#include "hash/sha3_paths.h"
#include "hash/xxh3_paths.h"
#include "tests/hash/blake3_reference.h"

static uint32_t BUFFER_BYTES = 1u << 20;
static const double MIN_SECONDS = 2.0;
static const int MIN_RUNS = 200;

// `path`: the table entry's run of the path measured, or null for the
// dispatcher's choice (references ignore it).
typedef void (*bench_fn)(const void *path, const uint8_t *buf, uint32_t len, uint8_t *out);

static volatile uint8_t g_sink;

static void our_sha3(const void *path, const uint8_t *buf, uint32_t len, uint8_t *out,
                     unsigned bits)
{
    sha3_context ctx;
    sha3_init(&ctx, bits);
    if (path) {
        sha3_absorb_fn absorb = *static_cast<const sha3_absorb_fn *>(path);
        sha3_update_on(absorb, &ctx, buf, len);
        sha3_final_on(absorb, &ctx, out);
    } else {
        sha3_update(&ctx, buf, len);
        sha3_final(&ctx, out);
    }
}

static void evp_sha3(const uint8_t *buf, uint32_t len, uint8_t *out, const EVP_MD *md)
{
    unsigned int out_len = 0;
    EVP_Digest(buf, len, out, &out_len, md, nullptr);
}

static void our_sha3_256(const void *p, const uint8_t *b, uint32_t n, uint8_t *o)
{
    our_sha3(p, b, n, o, 256);
}
static void our_sha3_512(const void *p, const uint8_t *b, uint32_t n, uint8_t *o)
{
    our_sha3(p, b, n, o, 512);
}
static void evp_sha3_256(const void *, const uint8_t *b, uint32_t n, uint8_t *o)
{
    evp_sha3(b, n, o, EVP_sha3_256());
}
static void evp_sha3_512(const void *, const uint8_t *b, uint32_t n, uint8_t *o)
{
    evp_sha3(b, n, o, EVP_sha3_512());
}

static uint32_t isal_crc32c(const uint8_t *buf, uint32_t len)
{
    return ~crc32_iscsi(const_cast<uint8_t *>(buf), static_cast<int>(len), 0xFFFFFFFFu);
}

static void store_crc(uint32_t crc, uint8_t *out)
{
    std::memcpy(out, &crc, sizeof crc);
}
static void our_crc(const void *p, const uint8_t *b, uint32_t n, uint8_t *o)
{
    store_crc(~(*static_cast<const crc_update_fn *>(p))(0xFFFFFFFFu, b, n), o);
}
static void isal_crc(const void *, const uint8_t *b, uint32_t n, uint8_t *o)
{
    store_crc(isal_crc32c(b, n), o);
}

static void isal_crc32(const void *, const uint8_t *b, uint32_t n, uint8_t *o)
{
    store_crc(crc32_gzip_refl(0, const_cast<uint8_t *>(b), n), o);
}

// One engine of the block-chained family: its kind and its reference.
struct md_bench {
    const char *name;
    DigestEngine engine;
    unsigned bits;
    const EVP_MD *(*reference)();
};
static const md_bench *g_md;

static void our_md(const void *path, const uint8_t *b, uint32_t n, uint8_t *o)
{
    md_context ctx;
    md_init(&ctx, g_md->engine, g_md->bits);
    if (path) {
        md_compress_fn compress = *static_cast<const md_compress_fn *>(path);
        md_update_on(compress, &ctx, b, n);
        md_final_on(compress, &ctx, o);
    } else {
        md_update(&ctx, b, n);
        md_final(&ctx, o);
    }
}

static void evp_md(const void *, const uint8_t *b, uint32_t n, uint8_t *o)
{
    unsigned int out_len = 0;
    EVP_Digest(b, n, o, &out_len, g_md->reference(), nullptr);
}

// BLAKE3 through the digest selection, on the path the dispatch takes (the
// benchmark limits the features to reach each one).
static void our_blake3(const void *, const uint8_t *b, uint32_t n, uint8_t *o)
{
    blake3_hasher hasher;
    blake3_hasher_init(&hasher);
    blake3_hasher_update(&hasher, b, n);
    blake3_hasher_finalize(&hasher, o, BLAKE3_OUT_LEN);
}
static void library_blake3(const void *, const uint8_t *b, uint32_t n, uint8_t *o)
{
    reference_blake3(b, n, o);
}

// XXH3 on the path of the entry given, or the dispatcher's choice.
static void our_xxh3(const void *path, const uint8_t *b, uint32_t n, uint8_t *o, bool wide)
{
    xxh3_context ctx;
    const xxh3_path_functions *run =
        path ? *static_cast<const xxh3_path_functions *const *>(path) : nullptr;
    if (!run) {
        xxh3_init(&ctx);
        xxh3_update(&ctx, b, n);
    } else {
        run->reset(ctx.state);
        run->update(ctx.state, b, n);
    }
    if (wide) {
        run ? run->digest128(ctx.state, o) : xxh3_final128(&ctx, o);
        return;
    }
    uint64_t value = run ? run->digest64(ctx.state) : xxh3_final64(&ctx);
    XXH64_canonicalFromHash(reinterpret_cast<XXH64_canonical_t *>(o), value);
}
static void our_xxh3_64(const void *p, const uint8_t *b, uint32_t n, uint8_t *o)
{
    our_xxh3(p, b, n, o, false);
}
static void our_xxh128(const void *p, const uint8_t *b, uint32_t n, uint8_t *o)
{
    our_xxh3(p, b, n, o, true);
}
static void library_xxh3_64(const void *, const uint8_t *b, uint32_t n, uint8_t *o)
{
    XXH64_canonicalFromHash(reinterpret_cast<XXH64_canonical_t *>(o), XXH3_64bits(b, n));
}
static void library_xxh128(const void *, const uint8_t *b, uint32_t n, uint8_t *o)
{
    XXH128_canonicalFromHash(reinterpret_cast<XXH128_canonical_t *>(o), XXH3_128bits(b, n));
}

// The streams of the multi-state comparison: one buffer each, so that no
// stream finds another's bytes in the cache.
static uint8_t *g_streams[SHA3_MAX_LANES];
static int32_t g_stream_count;

// SHA3-256 of every stream at once on the lanes, each finished alone; `out`
// gets the XOR of the digests.
static void lanes_sha3_256(const void *path, const uint8_t *, uint32_t len, uint8_t *out)
{
    sha3_lanes lanes;
    sha3_lanes_init_on(*static_cast<const keccak_lanes_kernel *>(path), &lanes);
    const uint8_t *in[SHA3_MAX_LANES] = {};
    for (int32_t s = 0; s < g_stream_count; ++s) {
        sha3_lanes_start(&lanes, s, 256);
        in[s] = g_streams[s];
    }
    uint32_t blocks = len / 136;
    sha3_lanes_absorb(&lanes, in, blocks);
    std::memset(out, 0, 32);
    for (int32_t s = 0; s < g_stream_count; ++s) {
        sha3_context ctx;
        uint8_t digest[32];
        sha3_lanes_detach(&lanes, s, &ctx);
        sha3_update(&ctx, g_streams[s] + blocks * 136, len - blocks * 136);
        sha3_final(&ctx, digest);
        for (int i = 0; i < 32; ++i)
            out[i] ^= digest[i];
    }
}

// EVP on one stream per call, the next one each time: timed per stream, the
// reference meets the same share of a busy machine's interruptions as the
// kernel's run over all of them (a run eight times as long would meet more).
static void evp_next_stream_sha3_256(const void *, const uint8_t *, uint32_t len, uint8_t *out)
{
    static int32_t next;
    next = (next + 1) % g_stream_count;
    evp_sha3(g_streams[next], len, out, EVP_sha3_256());
}

static void evp_streams_sha3_256(const void *, const uint8_t *, uint32_t len, uint8_t *out)
{
    std::memset(out, 0, 32);
    for (int32_t s = 0; s < g_stream_count; ++s) {
        uint8_t digest[32];
        evp_sha3(g_streams[s], len, digest, EVP_sha3_256());
        for (int i = 0; i < 32; ++i)
            out[i] ^= digest[i];
    }
}

static double seconds_for_one_buffer(bench_fn fn, const void *path, const uint8_t *buf)
{
    uint8_t out[64];
    auto start = std::chrono::steady_clock::now();
    fn(path, buf, BUFFER_BYTES, out);
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    g_sink = out[0];
    return seconds;
}

static int same_output(bench_fn a, const void *path, bench_fn b, const uint8_t *buf, size_t out_len)
{
    uint8_t out_a[64], out_b[64];
    a(path, buf, BUFFER_BYTES, out_a);
    b(nullptr, buf, BUFFER_BYTES, out_b);
    return std::memcmp(out_a, out_b, out_len) == 0;
}

// `ours_streams` buffers go through `ours` per call, one through `reference`.
static int compare_rates(const char *name, bench_fn ours, const void *path, int32_t ours_streams,
                         bench_fn reference, const char *ref_name, const uint8_t *buf)
{
    // Alternating single-buffer runs, fastest of each: on a shared machine
    // that compares the two in the same quiet moments rather than under
    // whatever load each happened to meet.
    double ours_best = 1e9, ref_best = 1e9, spent = 0;
    int min_runs = BUFFER_BYTES > (1u << 20) ? 5 : MIN_RUNS;
    for (int run = 0; run < min_runs || spent < MIN_SECONDS; ++run) {
        double a = seconds_for_one_buffer(ours, path, buf);
        double b = seconds_for_one_buffer(reference, nullptr, buf);
        ours_best = a < ours_best ? a : ours_best;
        ref_best = b < ref_best ? b : ref_best;
        spent += a + b;
    }
    double ours_rate = double(ours_streams) * BUFFER_BYTES / ours_best / 1e6;
    double ref_rate = BUFFER_BYTES / ref_best / 1e6;
    std::printf("%-20s %9.1f MB/s   %-18s %9.1f MB/s   ratio %.2f\n", name, ours_rate, ref_name,
                ref_rate, ours_rate / ref_rate);
    return 0;
}

static int compare(const char *name, bench_fn ours, const void *path, bench_fn reference,
                   const char *ref_name, const uint8_t *buf, size_t out_len)
{
    if (!same_output(ours, path, reference, buf, out_len)) {
        std::printf("%-20s DIFFERS from %s\n", name, ref_name);
        return 1;
    }
    return compare_rates(name, ours, path, 1, reference, ref_name, buf);
}

// One path of an engine's table, called through its entry.
template <typename Run>
static int compare_path(const char *engine, const engine_path<Run> &path, bench_fn ours,
                        bench_fn reference, const char *ref_name, const uint8_t *buf,
                        size_t out_len)
{
    char name[48];
    std::snprintf(name, sizeof name, "%s %s", engine, path.name);
    if (!engine_path_available(path)) {
        std::printf("%-20s skipped: this processor lacks it\n", name);
        return 0;
    }
    return compare(name, ours, &path.run, reference, ref_name, buf, out_len);
}

// The width-wide kernel forced, over as many streams as it runs at once.
static int compare_lanes(const sha3_lanes_path &path, const uint8_t *buf)
{
    char name[48];
    std::snprintf(name, sizeof name, "SHA3-256 %s", path.name);
    if (!engine_path_available(path)) {
        std::printf("%-20s skipped: this processor lacks it\n", name);
        return 0;
    }
    g_stream_count = path.run.width;
    int failures = 0;
    for (int32_t s = 0; s < g_stream_count && !failures; ++s) {
        g_streams[s] = static_cast<uint8_t *>(std::malloc(BUFFER_BYTES));
        if (!g_streams[s])
            failures = 1;
        else
            for (uint32_t i = 0; i < BUFFER_BYTES; ++i)
                g_streams[s][i] = static_cast<uint8_t>(buf[i] + 13 * s);
    }
    if (!failures && !same_output(lanes_sha3_256, &path.run, evp_streams_sha3_256, buf, 32)) {
        std::printf("%-20s DIFFERS from OpenSSL EVP\n", name);
        failures = 1;
    }
    if (!failures)
        failures = compare_rates(name, lanes_sha3_256, &path.run, g_stream_count,
                                 evp_next_stream_sha3_256, "EVP one by one", buf);
    for (int32_t s = 0; s < g_stream_count; ++s)
        std::free(g_streams[s]);
    g_stream_count = 0;
    return failures;
}

// BLAKE3 on each of its paths (reached through a feature limit: the
// library's hasher calls the dispatch) and on the one chosen, then XXH3-64
// and XXH128 on each path's entry and on the chosen one.
static int compare_blake3_and_xxh3(const uint8_t *buf)
{
    int failures = 0;
    char name[48];
    std::snprintf(name, sizeof name, "BLAKE3 chosen:%s", blake3_path_name());
    failures += compare(name, our_blake3, nullptr, library_blake3, "BLAKE3 C library", buf, 32);
    for (const blake3_path &path : BLAKE3_PATHS) {
        cpu_features_limit(path.needs);
        std::snprintf(name, sizeof name, "BLAKE3 %s", path.name);
        if (engine_path_available(path))
            failures +=
                compare(name, our_blake3, nullptr, library_blake3, "BLAKE3 C library", buf, 32);
        cpu_features_limit(~0u);
    }
    std::snprintf(name, sizeof name, "XXH3-64 chosen:%s", xxh3_path_name());
    failures += compare(name, our_xxh3_64, nullptr, library_xxh3_64, "libxxhash", buf, 8);
    std::snprintf(name, sizeof name, "XXH128 chosen:%s", xxh3_path_name());
    failures += compare(name, our_xxh128, nullptr, library_xxh128, "libxxhash", buf, 16);
    for (const xxh3_path &path : XXH3_PATHS)
        failures +=
            compare_path("XXH3-64", path, our_xxh3_64, library_xxh3_64, "libxxhash", buf, 8);
    return failures;
}

// One BLAKE3 digest of `length` bytes on `threads` threads: leaves of 1 MiB
// taken in turn, then merged.
static void blake3_on_threads(const uint8_t *input, uint64_t length, unsigned threads,
                              uint8_t out[32])
{
    constexpr uint64_t LEAF = 1u << 20;
    blake3_tree tree = blake3_tree_plan(length, LEAF);
    std::vector<uint8_t> cvs(tree.leaves * 32);
    std::atomic<uint64_t> next{0};
    auto work = [&] {
        for (uint64_t i; (i = next.fetch_add(1)) < tree.leaves;)
            blake3_tree_leaf(&tree, i, input + i * LEAF, cvs.data() + i * 32);
    };
    std::vector<std::thread> helpers;
    for (unsigned t = 1; t < threads; ++t)
        helpers.emplace_back(work);
    work();
    for (std::thread &helper : helpers)
        helper.join();
    blake3_tree_root(&tree, reinterpret_cast<const uint8_t(*)[32]>(cvs.data()),
                     input + tree.leaves * LEAF, out);
}

// BLAKE3 over one 1 GiB buffer on every core against one core, alternating
// runs, best of each. The goal: at least 0.9 of the cores times the one.
static int compare_blake3_threads()
{
    const uint64_t length = 1ull << 30;
    unsigned cores = std::thread::hardware_concurrency();
    uint8_t *input = static_cast<uint8_t *>(std::malloc(length));
    if (!input || cores == 0)
        return 1;
    for (uint64_t i = 0; i < length; ++i)
        input[i] = uint8_t(i * 2654435761u >> 24);
    double one_best = 1e9, all_best = 1e9;
    uint8_t one[32], all[32];
    for (int run = 0; run < 5; ++run) {
        auto start = std::chrono::steady_clock::now();
        our_blake3(nullptr, input, uint32_t(length), one);
        auto middle = std::chrono::steady_clock::now();
        blake3_on_threads(input, length, cores, all);
        auto end = std::chrono::steady_clock::now();
        one_best = std::min(one_best, std::chrono::duration<double>(middle - start).count());
        all_best = std::min(all_best, std::chrono::duration<double>(end - middle).count());
    }
    std::free(input);
    if (std::memcmp(one, all, 32) != 0) {
        std::printf("BLAKE3 on %u threads DIFFERS from one\n", cores);
        return 1;
    }
    double one_rate = length / one_best / 1e6, all_rate = length / all_best / 1e6;
    std::printf("BLAKE3 1 GiB, %u threads %9.1f MB/s   one thread %9.1f MB/s   "
                "ratio to %u x one %.2f (goal >= 0.9)\n",
                cores, all_rate, one_rate, cores, all_rate / (cores * one_rate));
    return 0;
}

int main(int argc, char **argv)
{
    if (argc > 1 && std::strcmp(argv[1], "threads") == 0)
        return compare_blake3_threads();
    if (argc > 1)
        BUFFER_BYTES = static_cast<uint32_t>(std::atoi(argv[1])) << 20;
    uint8_t *buf = static_cast<uint8_t *>(std::malloc(BUFFER_BYTES));
    if (!buf)
        return 1;
    uint32_t x = 0x12345678u;
    for (uint32_t i = 0; i < BUFFER_BYTES; ++i) {
        x = x * 1664525u + 1013904223u;
        buf[i] = static_cast<uint8_t>(x >> 24);
    }
    int failures = 0;
    char chosen[48];
    std::snprintf(chosen, sizeof chosen, "SHA3-256 chosen:%s", sha3_path_name());
    failures += compare(chosen, our_sha3_256, nullptr, evp_sha3_256, "OpenSSL EVP", buf, 32);
    for (const sha3_path &path : SHA3_PATHS)
        failures +=
            compare_path("SHA3-256", path, our_sha3_256, evp_sha3_256, "OpenSSL EVP", buf, 32);
    for (const sha3_lanes_path &path : SHA3_LANE_PATHS)
        failures += compare_lanes(path, buf);
    for (const sha3_path &path : SHA3_PATHS)
        failures +=
            compare_path("SHA3-512", path, our_sha3_512, evp_sha3_512, "OpenSSL EVP", buf, 64);
    for (const crc_path &path : CRC32C_PATHS)
        failures += compare_path("CRC-32C", path, our_crc, isal_crc, "ISA-L crc32_iscsi", buf, 4);
    for (const crc_path &path : CRC32_PATHS)
        failures += compare_path("CRC-32", path, our_crc, isal_crc32, "ISA-L gzip_refl", buf, 4);
    const md_bench engines[] = {
        {"MD5", ENGINE_MD5, 128, EVP_md5},
        {"SHA-1", ENGINE_SHA1, 160, EVP_sha1},
        {"SHA-256", ENGINE_SHA2, 256, EVP_sha256},
        {"SHA-512", ENGINE_SHA2, 512, EVP_sha512},
    };
    const md_path *tables[] = {MD5_PATHS, SHA1_PATHS, SHA256_PATHS, SHA512_PATHS};
    const size_t table_sizes[] = {std::size(MD5_PATHS), std::size(SHA1_PATHS),
                                  std::size(SHA256_PATHS), std::size(SHA512_PATHS)};
    for (size_t e = 0; e < std::size(engines); ++e) {
        g_md = &engines[e];
        std::snprintf(chosen, sizeof chosen, "%s chosen", g_md->name);
        failures += compare(chosen, our_md, nullptr, evp_md, "OpenSSL EVP", buf, g_md->bits / 8);
        for (size_t p = 0; p < table_sizes[e]; ++p)
            failures += compare_path(g_md->name, tables[e][p], our_md, evp_md, "OpenSSL EVP", buf,
                                     g_md->bits / 8);
    }
    failures += compare_blake3_and_xxh3(buf);
    std::free(buf);
    return failures ? 1 : 0;
}
