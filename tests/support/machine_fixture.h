// A fresh simulated machine and a fresh setup state for every test.
#ifndef TESTS_MACHINE_FIXTURE_H
#define TESTS_MACHINE_FIXTURE_H

#include <gtest/gtest.h>
#include <winsim/machine.h>

#include <string>
#include <utility>
#include <vector>

// Puts every value of the setup state back to its start value and drops the
// message catalog and the record of the services a stop took down.
void reset_setup_state();

// Every value of the setup state in one text, and that text as the process
// had it before any test ran: the product's own start values, which the
// fixture's reset would otherwise hide.
std::string setup_state_text();
// The same, value by value: (name, value as the text shows it).
std::vector<std::pair<std::string, std::string>> setup_state_values();
// Gives every value of the setup state a value other than its start value.
void change_setup_state();
const std::string &setup_state_at_process_start();

// Text with its CR LF line ends spelled out, for readable comparisons.
std::string crlf(const std::string &text_with_lf);

// The package's programs as they behave once started; boot forgets them, so
// the fixture sets them after each boot.
void set_package_program_behaviours();

class MachineTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    // Reboots with another setup (also another Windows version).
    void boot(const winsim::MachineSetup &setup);
};

#endif
