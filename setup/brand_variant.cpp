#include "setup/brand_variant.h"

#include "system/environment.h"

// Each name ends in the blank that separates it from what follows.
static const BrandVariant RAVELO = {"Ravelo Printer Driver Setup ", "Ravelo Printer driver ",
                                    "Ravelo", "ger"};
// The Sorvik variant speaks English by default.
static const BrandVariant SORVIK = {"Sorvik Printer Driver Setup ", "Sorvik Printer driver ",
                                    "Sorvik", "eng"};

const BrandVariant *brand_variant(void)
{
    return is_sorvik_variant() ? &SORVIK : &RAVELO;
}
