#include "ui/user_interface.h"

#include "app/setup_state.h"
#include "catalog/text_format.h"
#include "setup/brand_variant.h"

static const char REMOVE_TITLE[] = "FAX Printer Driver remove";
static const char TITLE_VERSION[] = " Version 3.0";

const char *make_window_title(int install)
{
    const char *brand = brand_variant()->window_brand;

    // The brand's trailing blank separates it from "install"; the removal
    // title is the same for both brands.
    if (install)
        format_text(window_title, sizeof window_title, "%sinstall%s", brand, TITLE_VERSION);
    else
        format_text(window_title, sizeof window_title, "%s%s", REMOVE_TITLE, TITLE_VERSION);
    return window_title;
}
