// A test fixture with a fresh scratch folder per test, removed afterwards.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "tests/support/scratch.h"

class ScratchFolderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = MakeScratchFolder();
        ASSERT_FALSE(dir.empty());
    }
    void TearDown() override { RemoveTree(dir); }
    std::wstring At(const wchar_t *name) const { return dir + L"\\" + name; }
    std::wstring dir;
};
