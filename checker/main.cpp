#include "checker/product_machine.h"
#include "checker/setupcheck.h"

int main(int argc, char **argv)
{
    // The INF goes out with its CR LF as written.
    binary_standard_output();
    return run_setupcheck(argc, argv, stdout, stderr);
}
