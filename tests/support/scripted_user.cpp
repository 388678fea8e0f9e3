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
