// tests/runtime/runtime_fixture.h: runs the runtime's start-up chain around each test.
#pragma once

#include <gtest/gtest.h>

#include "runtime/chain.h"

// Every runtime heap, table and hook exists during the test and is gone after it.
class RuntimeTest : public ::testing::Test {
protected:
    void SetUp() override { runtime::RunStartupChain({}); }
    void TearDown() override { runtime::RunEndChain({}); }
};
