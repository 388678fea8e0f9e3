// The distribution folder as the setup uses it: the INF it writes for each
// platform folder and language, and the files that INF has it copy.
#ifndef CHECKER_DISTRIBUTION_CHECK_H
#define CHECKER_DISTRIBUTION_CHECK_H

#include <string>
#include <vector>

#include "checker/diagnostics.h"
#include "setup/platform_branch.h"

enum { LANGUAGE_COUNT = 3 };
extern const char *const LANGUAGES[LANGUAGE_COUNT];

// The platform branch whose files the platform folder holds, or NULL.
const PlatformBranch *branch_of_folder(const char *platform_tag);

// The bytes of the INF that the setup writes in that platform folder and
// language, as a text-mode file holds them. 0 when it cannot be written.
int inf_text(const char *platform_tag, const char *language_code, std::string *text);

// A line "NAME=DISK,SUBDIR" of the INF's [SourceDisksFiles].
struct SourceEntry {
    std::string name;
    std::string subdir; // below the distribution folder, '\' between folders
    std::string line;
};
std::vector<SourceEntry> source_disk_files(const std::string &inf);

// setup.exe, the language files (checked as language files) and every
// source file of every INF.
void check_distribution(Diagnostics *diagnostics, const char *dir);

#endif
