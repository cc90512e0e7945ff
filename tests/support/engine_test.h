// A test with a started engine: a fresh home folder for its settings and
// log, and a fresh working folder the test runs in.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "core/engine.h"
#include "support/test_host.h"

namespace qf::test {

class EngineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        home = makeTempDir();
        dir = makeTempDir();
        ASSERT_EQ(::chdir(dir.c_str()), 0);
        // Every test starts as if the library had just been loaded.
        resetForLoad();
        ASSERT_EQ(startEngine(home), 0);
    }
    void TearDown() override { ExitQuillfen(); }
    std::string home, dir;
};

}  // namespace qf::test
