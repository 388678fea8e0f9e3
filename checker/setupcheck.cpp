#include "checker/setupcheck.h"

#include <string.h>

#include "checker/distribution_check.h"
#include "checker/language_check.h"
#include "setup/platform_branch.h"

static const char USAGE[] =
    "usage: setupcheck lang FILE...\n"
    "       setupcheck dist DIR\n"
    "       setupcheck inf --platform FOLDER --lang ger|eng|fre\n";

static int usage(FILE *err, const char *problem)
{
    if (problem != NULL)
        fprintf(err, "setupcheck: %s\n", problem);
    fputs(USAGE, err);
    fputs("FOLDER is one of the distribution's platform folders:", err);
    for (const PlatformFolder &folder : PLATFORM_FOLDERS)
        fprintf(err, " %s", folder.tag);
    fputs("\n", err);
    return EXIT_USAGE;
}

static int is_language(const char *code)
{
    for (const char *language : LANGUAGES)
        if (strcmp(language, code) == 0)
            return 1;
    return 0;
}

static int print_inf(int argc, char **argv, FILE *out, FILE *err)
{
    const char *platform = NULL;
    const char *language = NULL;
    std::string text;

    for (int i = 2; i < argc; i += 2) {
        if (i + 1 >= argc)
            return usage(err, "an option lacks its value");
        if (strcmp(argv[i], "--platform") == 0)
            platform = argv[i + 1];
        else if (strcmp(argv[i], "--lang") == 0)
            language = argv[i + 1];
        else
            return usage(err, "unknown option");
    }
    if (platform == NULL || branch_of_folder(platform) == NULL)
        return usage(err, "--platform takes a platform folder");
    if (language == NULL || !is_language(language))
        return usage(err, "--lang takes ger, eng or fre");
    if (!inf_text(platform, language, &text)) {
        fprintf(err, "setupcheck: the INF cannot be written\n");
        return EXIT_FAULTS;
    }
    fwrite(text.data(), 1, text.size(), out);
    return EXIT_CLEAN;
}

int run_setupcheck(int argc, char **argv, FILE *out, FILE *err)
{
    Diagnostics diagnostics = {out, 0, 0};

    if (argc < 2)
        return usage(err, NULL);
    if (strcmp(argv[1], "inf") == 0)
        return print_inf(argc, argv, out, err);
    if (strcmp(argv[1], "lang") == 0) {
        if (argc < 3)
            return usage(err, "lang needs at least one file");
        for (int i = 2; i < argc; i++)
            check_language_file(&diagnostics, argv[i]);
    } else if (strcmp(argv[1], "dist") == 0) {
        if (argc != 3)
            return usage(err, "dist needs one folder");
        check_distribution(&diagnostics, argv[2]);
    } else {
        return usage(err, "unknown command");
    }
    return diagnostics.errors > 0 ? EXIT_FAULTS : EXIT_CLEAN;
}
