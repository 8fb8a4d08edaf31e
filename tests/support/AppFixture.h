#pragma once
// Base for tests of the program-wide state: each test starts as a freshly
// loaded program would, in an empty directory of its own.

#include "app/AppState.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>
#include <memory>

class AppFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetProgramState();
        m_cwd = std::make_unique<ScopedChdir>(dir.Path());
    }
    void TearDown() override
    {
        m_cwd.reset();
        ResetProgramState();
    }

    ScopedTempDir dir;

private:
    std::unique_ptr<ScopedChdir> m_cwd;
};
