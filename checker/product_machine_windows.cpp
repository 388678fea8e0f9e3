// Windows build: the product's calls are the C runtime's and the system's,
// on the packager's own files.
#include "checker/product_machine.h"

#include <fcntl.h>
#include <io.h>
#include <stdio.h>

void begin_product_files(void) {}

void end_product_files(void) {}

std::string product_file_name(const char *path, const std::string &)
{
    return path;
}

void binary_standard_output(void)
{
    _setmode(_fileno(stdout), _O_BINARY);
}
