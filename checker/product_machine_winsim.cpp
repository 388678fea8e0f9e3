// Host build: the product's fopen is winsim's, which sees only the files of
// a simulated machine. The packager's file is copied into a fresh machine,
// so that winsim's text mode (CR LF to LF, Ctrl-Z ends the file) reads it as
// the Windows C runtime would.
#include "checker/product_machine.h"

#include <winsim/machine.h>

void begin_product_files(void)
{
    winsim::boot(winsim::MachineSetup());
}

void end_product_files(void)
{
    winsim::shut_down();
}

std::string product_file_name(const char *, const std::string &bytes)
{
    static unsigned count;
    std::string name = "D:\\checked\\" + std::to_string(++count);
    winsim::put_file(name, bytes);
    return name;
}

void binary_standard_output(void)
{
    // The host's C library never translates line ends.
}
