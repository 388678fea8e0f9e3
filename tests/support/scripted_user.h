// The scripted user's verdict for gtest: every script failure and every
// expectation left unused fails the current test.
#ifndef TESTS_SCRIPTED_USER_H
#define TESTS_SCRIPTED_USER_H

// Waits for the program's threads first, so that nothing is still on its way.
void expect_no_script_failures();

#endif
