/* machine.h: the fixture of every native test: a fresh Windows 95/98 machine per test, and
 * the check that no message box came that the test did not expect. */
#ifndef TESTS_MACHINE_H
#define TESTS_MACHINE_H

#include <gtest/gtest.h>

#include "winsim.h"

class Machine : public ::testing::Test {
  protected:
    void SetUp() override { winsim_reset(); }
    void TearDown() override {
        EXPECT_EQ(winsim_unscripted_boxes(), 0) << "a message box came that was not expected";
        EXPECT_EQ(winsim_unused_answers(), 0) << "an expected message box did not come";
    }
};

#endif
