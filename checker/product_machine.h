// The one place where the checker's two builds differ. The checker reads
// language files and writes INF files through the product's own calls
// (fopen, the temporary-file calls), so that it sees them exactly as the
// setup does, text mode included. The host build routes those calls to
// winsim: there the files live in a simulated machine that is booted for the
// time of one check. On Windows they are the real calls on the real files.
#ifndef CHECKER_PRODUCT_MACHINE_H
#define CHECKER_PRODUCT_MACHINE_H

#include <string>

// Brackets one use of the product's file calls.
void begin_product_files(void);
void end_product_files(void);

// The name under which the product's fopen finds a file of the packager's
// machine, given the bytes the checker has read from it.
std::string product_file_name(const char *path, const std::string &bytes);

// Standard output without text-mode translation, so that CR LF is written
// as it stands.
void binary_standard_output(void);

#endif
