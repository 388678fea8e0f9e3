// winsim internals: the INF files of the Setup API, parsed as setupapi parses
// them.
#ifndef WINSIM_INF_FILE_H
#define WINSIM_INF_FILE_H

#include <windows.h>

#include <string>
#include <vector>

namespace winsim {

// One entry: "key = field, field, ..." or just "field, field, ...". Quotes
// are gone and %strkey% tokens replaced.
struct InfLine {
    bool has_key = false;
    std::string key;
    std::vector<std::string> fields; // after the "=" of a keyed line
    UINT line_number = 0;
};

struct InfSection {
    std::string name; // as first spelled
    std::vector<InfLine> lines;
};

struct InfFile {
    // Sections of the same name are one, in the order they first appear.
    std::vector<InfSection> sections;
    // The section of that name, compared without regard to case; null when
    // there is none.
    const InfSection *find(const std::string &name) const;
};

// A file's contents parsed; error is 0 or the Setup API error with the
// 1-based line it was found on.
struct InfParse {
    DWORD error = 0;
    UINT error_line = 0;
    InfFile inf;
};
InfParse parse_inf(const std::string &bytes);

// Whether the [Version] section carries the signature of a Windows INF.
bool has_windows_signature(const InfFile &inf);

// The first keyed line of the section whose key matches, or null.
const InfLine *find_line(const InfSection *section, const std::string &key);

} // namespace winsim

#endif
