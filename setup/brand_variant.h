// The two brands the package ships under. The marker file "sorvik" beside
// the program chooses the Sorvik brand; the names of drivers, printers and
// files are the same for both.
#ifndef SETUP_BRAND_VARIANT_H
#define SETUP_BRAND_VARIANT_H

struct BrandVariant {
    const char *window_brand;  // ahead of "install" in the window titles
    const char *display_name;  // the result texts' and the uninstall entry's
    const char *short_name;    // the placeholder of the installed message file
    const char *language_code; // the language dialog's preset
};

// The brand of the running program; the marker is looked for at each call.
const BrandVariant *brand_variant(void);

#endif
