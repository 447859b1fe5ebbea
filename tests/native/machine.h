/* machine.h: the fixture of every native test: a fresh Windows 95/98 machine per test, and
 * the checks at its end that no message box came that the test did not expect and that no
 * expected one failed to come.  A table whose rows each need a machine of their own ends each
 * row with next_row(): the row gets the same final checks as a test, then a fresh machine. */
#ifndef TESTS_MACHINE_H
#define TESTS_MACHINE_H

#include <gtest/gtest.h>

#include "winsim.h"

#include <string>

class Machine : public ::testing::Test {
  protected:
    void SetUp() override { winsim_reset(); }
    void TearDown() override {
        EXPECT_EQ(winsim_unscripted_boxes(), 0) << "a message box came that was not expected";
        EXPECT_EQ(winsim_unused_answers(), 0) << "an expected message box did not come";
    }
    /* The end of one row of a table: the fixture's final checks (named by `row`), then a
     * fresh machine set up as for a new test. */
    void next_row(const std::string &row) {
        {
            SCOPED_TRACE("at the end of row: " + row);
            TearDown();
        }
        SetUp();
    }
};

#endif
