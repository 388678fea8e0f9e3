#include "support/scripted_user.h"

#include <gtest/gtest.h>
#include <winsim/user.h>

void expect_no_script_failures()
{
    winsim::join_program_threads();
    for (const std::string &failure : winsim::script_failures())
        ADD_FAILURE() << "scripted user: " << failure;
    for (const std::string &unused : winsim::unused_expectations())
        ADD_FAILURE() << "scripted user: expected " << unused << ", which never came";
}

namespace {

// A machine booted over one whose scripted user no one checked fails the
// test that booted it.
const bool unchecked_results_fail_the_test = [] {
    winsim::on_unchecked_script_results([](const std::vector<std::string> &unchecked) {
        std::string all;
        for (const std::string &line : unchecked)
            all += "\n  " + line;
        ADD_FAILURE() << "boot: the previous machine's scripted user was never checked "
                         "(expect_no_script_failures, or clear_script_failures to discard):"
                      << all;
    });
    return true;
}();

} // namespace
