#include "checker/distribution_check.h"

#include <cctype>
#include <filesystem>
#include <set>
#include <sstream>

#include "checker/language_check.h"
#include "checker/product_machine.h"
#include "catalog/language_file.h"
#include "setup/inf_writer.h"

namespace fs = std::filesystem;

const PlatformBranch *branch_of_folder(const char *platform_tag)
{
    for (const PlatformFolder &folder : PLATFORM_FOLDERS)
        if (strcmp(folder.tag, platform_tag) == 0)
            return folder.branch;
    return NULL;
}

// Written as the setup writes it: a temporary file in text mode, through
// the product's fopen, then read back byte for byte.
int inf_text(const char *platform_tag, const char *language_code, std::string *text)
{
    char temp_dir[MAX_PATH];
    char name[MAX_PATH];
    char buffer[4096];
    const PlatformBranch *branch = branch_of_folder(platform_tag);
    int written = 0;
    size_t count;

    if (branch == NULL)
        return 0;
    text->clear();
    begin_product_files();
    DWORD length = GetTempPathA(sizeof temp_dir, temp_dir);
    if (length == 0 || length >= sizeof temp_dir ||
        GetTempFileNameA(temp_dir, "CHK", 0, name) == 0) {
        end_product_files();
        return 0;
    }
    FILE *inf = fopen(name, "w");
    if (inf != NULL) {
        written = write_inf_for(inf, branch, platform_tag, language_code) && !ferror(inf);
        written = fclose(inf) == 0 && written;
    }
    FILE *back = written ? fopen(name, "rb") : NULL;
    if (back != NULL) {
        while ((count = fread(buffer, 1, sizeof buffer, back)) > 0)
            text->append(buffer, count);
        written = !ferror(back);
        fclose(back);
    } else {
        written = 0;
    }
    DeleteFileA(name);
    end_product_files();
    return written;
}

static std::string lower(std::string text)
{
    for (char &c : text)
        c = (char)tolower((unsigned char)c);
    return text;
}

static std::string trim(const std::string &text)
{
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return "";
    size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

std::vector<SourceEntry> source_disk_files(const std::string &inf)
{
    std::vector<SourceEntry> entries;
    std::istringstream lines(inf);
    std::string line;
    bool in_section = false;

    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::string text = trim(line);
        if (text.empty() || text[0] == ';')
            continue;
        if (text[0] == '[') {
            // Section names are compared without regard to case, as by the Setup API.
            in_section = lower(text) == "[sourcedisksfiles]";
            continue;
        }
        size_t equals = text.find('=');
        if (!in_section || equals == std::string::npos)
            continue;
        SourceEntry entry;
        entry.name = trim(text.substr(0, equals));
        std::string fields = text.substr(equals + 1);
        size_t comma = fields.find(',');
        entry.subdir =
            comma == std::string::npos
                ? ""
                : trim(fields.substr(comma + 1, fields.find(',', comma + 1) - comma - 1));
        entry.line = text;
        entries.push_back(entry);
    }
    return entries;
}

// The file below dir, each name matched without regard to case as Windows
// matches it; empty when there is none.
static fs::path find_file(const fs::path &dir, const std::vector<std::string> &names)
{
    std::error_code error;
    fs::path found = dir;

    for (const std::string &name : names) {
        if (fs::exists(found / name, error)) {
            found /= name;
            continue;
        }
        fs::path match;
        for (fs::directory_iterator it(found, error), end; !error && it != end;
             it.increment(error)) {
            if (lower(it->path().filename().string()) == lower(name)) {
                match = it->path();
                break;
            }
        }
        if (match.empty())
            return fs::path();
        found = match;
    }
    return fs::is_regular_file(found, error) ? found : fs::path();
}

static std::vector<std::string> folders_of(const std::string &subdir)
{
    std::vector<std::string> names;
    std::string name;
    std::istringstream parts(subdir);
    while (std::getline(parts, name, '\\'))
        if (!name.empty())
            names.push_back(name);
    return names;
}

static fs::path join(const fs::path &dir, const std::vector<std::string> &names)
{
    fs::path path = dir;
    for (const std::string &name : names)
        path /= name;
    return path;
}

void check_distribution(Diagnostics *diagnostics, const char *dir)
{
    fs::path root(dir);
    std::set<std::string> reported;
    std::error_code error;

    if (!fs::is_directory(root, error)) {
        report(diagnostics, dir, 0, LEVEL_ERROR, "not a folder");
        return;
    }
    if (find_file(root, {"setup.exe"}).empty())
        report(diagnostics, (root / "setup.exe").string().c_str(), 0, LEVEL_ERROR, "missing");
    for (const char *language : LANGUAGE_CODES) {
        char name[MAX_PATH];
        name_language_file(name, sizeof name, language);
        fs::path file = find_file(root, {name});
        if (file.empty())
            report(diagnostics, (root / name).string().c_str(), 0, LEVEL_ERROR, "missing");
        else
            check_language_file(diagnostics, file.string().c_str());
    }

    for (const PlatformFolder &platform : PLATFORM_FOLDERS) {
        for (const char *language : LANGUAGE_CODES) {
            std::string inf;
            std::string which = std::string("the INF for ") + platform.tag + " in " + language;
            if (!inf_text(platform.tag, language, &inf)) {
                report(diagnostics, dir, 0, LEVEL_ERROR, (which + " cannot be written").c_str());
                continue;
            }
            std::vector<SourceEntry> sources = source_disk_files(inf);
            if (sources.empty())
                report(diagnostics, dir, 0, LEVEL_ERROR,
                       (which + " names no [SourceDisksFiles]").c_str());
            for (const SourceEntry &source : sources) {
                std::vector<std::string> names = folders_of(source.subdir);
                names.push_back(source.name);
                if (!find_file(root, names).empty())
                    continue;
                std::string path = join(root, names).string();
                if (reported.insert(lower(path)).second)
                    report(diagnostics, path.c_str(), 0, LEVEL_ERROR,
                           ("missing: " + which + " copies it from there (\"" + source.line + "\")")
                               .c_str());
            }
        }
    }
}
