// The languages the package ships, each with its file "lang.<code>". The
// build reads this list too (cmake/languages.cmake), so each entry stays on
// a line of its own, spelt as below.
#ifndef SETUP_LANGUAGES_H
#define SETUP_LANGUAGES_H

#define SHIPPED_LANGUAGES(LANGUAGE) \
    LANGUAGE("ger")                 \
    LANGUAGE("eng")                 \
    LANGUAGE("fre")

#define SETUP_LANGUAGE_CODE(code) code,
static const char *const LANGUAGE_CODES[] = {SHIPPED_LANGUAGES(SETUP_LANGUAGE_CODE)};
#undef SETUP_LANGUAGE_CODE

enum { LANGUAGE_COUNT = sizeof LANGUAGE_CODES / sizeof LANGUAGE_CODES[0] };

#endif
