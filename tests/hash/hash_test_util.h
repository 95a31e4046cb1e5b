// Small helpers shared by the hash tests.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "hash/engine_paths.h"
#include "hash/hash.h"
#include "tests/support/expected_digest.h"

inline std::string hex_upper(const uint8_t *bytes, size_t n)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s += digits[bytes[i] >> 4];
        s += digits[bytes[i] & 0xF];
    }
    return s;
}

inline std::string narrow(const utf16 *text)
{
    std::string s;
    while (*text)
        s += static_cast<char>(*text++);
    return s;
}

inline std::vector<uint8_t> random_bytes(std::mt19937 &rng, size_t n)
{
    std::vector<uint8_t> v(n);
    for (auto &b : v)
        b = static_cast<uint8_t>(rng());
    return v;
}

// Ends of the pieces of a random split of n bytes; the last end is n.
inline std::vector<size_t> random_split(std::mt19937 &rng, size_t n, size_t max_piece)
{
    std::vector<size_t> ends;
    size_t at = 0;
    while (at < n) {
        at += 1 + rng() % max_piece;
        if (at > n)
            at = n;
        ends.push_back(at);
    }
    return ends;
}

// Ends of pieces of `piece` bytes (the last one shorter) covering n bytes.
inline std::vector<size_t> even_split(size_t n, size_t piece)
{
    std::vector<size_t> ends;
    for (size_t at = piece; at < n + piece; at += piece)
        ends.push_back(at < n ? at : n);
    return ends;
}

// Cases shared by every path of an engine: each calls its path through the
// entry of the engine's table, and a path this processor lacks is skipped
// with a message rather than passed.
template <typename Run>
class EnginePathTest : public ::testing::TestWithParam<engine_path<Run>> {
protected:
    void SetUp() override
    {
        if (!engine_path_available(this->GetParam()))
            GTEST_SKIP() << "this processor lacks the " << this->GetParam().name << " path";
    }
    const Run &path() const { return this->GetParam().run; }
};

// The same for cases that reach a path only through its engine's dispatch
// (a library's own code calling it, or the digest selection): each runs with
// the features limited to its path's.
template <typename Run>
class LimitedPathTest : public EnginePathTest<Run> {
protected:
    void SetUp() override
    {
        EnginePathTest<Run>::SetUp();
        cpu_features_limit(this->GetParam().needs);
    }
    void TearDown() override { cpu_features_limit(~0u); }
};

template <typename Run>
std::string engine_path_name(const ::testing::TestParamInfo<engine_path<Run>> &info)
{
    return info.param.name;
}

template <typename Run>
void PrintTo(const engine_path<Run> &path, std::ostream *out)
{
    *out << path.name;
}

// Limited to exactly one path's features, an engine's dispatcher takes that
// path where this processor has it (and never a path it lacks); with nothing
// allowed, the table's last. `chosen` names the path the dispatcher takes now.
template <typename Run, size_t N>
void expect_dispatch_follows_limits(const engine_path<Run> (&paths)[N], const char *(*chosen)())
{
    for (const engine_path<Run> &path : paths) {
        cpu_features_limit(path.needs);
        if (engine_path_available(path))
            EXPECT_STREQ(chosen(), path.name) << "limited to the " << path.name << " features";
        else
            EXPECT_STRNE(chosen(), path.name) << "a path this processor lacks";
    }
    cpu_features_limit(0);
    EXPECT_STREQ(chosen(), paths[N - 1].name) << "nothing allowed";
    cpu_features_limit(~0u);
}
