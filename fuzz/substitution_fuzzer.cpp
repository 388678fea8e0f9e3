// Copies arbitrary text through copy_with_substitution with a short name
// taken from the input, and checks the copy against a plain model of the
// text-mode copy: every "@" replaced, line ends written as CR LF.
#include "app/setup_state.h"
#include "system/files.h"

#include <winsim/machine.h>

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    winsim::boot(winsim::MachineSetup());
    winsim::set_journal_enabled(false);
    return 0;
}

// What the copy must hold: the source as text mode reads it (CR LF to LF,
// Ctrl-Z ends it), each "@" replaced, each LF written as CR LF.
static std::string expected_copy(const std::string &source, const std::string &name)
{
    std::string copy;
    for (size_t i = 0; i < source.size(); i++) {
        char c = source[i];
        if (c == '\x1a')
            break;
        if (c == '\r' && i + 1 < source.size() && source[i + 1] == '\n')
            continue;
        if (c == '@')
            copy += name;
        else if (c == '\n')
            copy += "\r\n";
        else
            copy += c;
    }
    return copy;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    // The first byte sets the name's length: 0 to 504 bytes of "N", longer
    // than any line buffer of the copy.
    std::string name(static_cast<size_t>(data[0] % 64) * 8, 'N');
    std::string source(reinterpret_cast<const char *>(data + 1), size - 1);
    product_short_name = name.c_str();
    winsim::put_file("D:\\lang.eng", source);

    if (copy_with_substitution("D:", "lang.eng", "C:\\WINDOWS", "zantrel.apd") != 1)
        abort();
    // A NUL byte ends a line piece for the line reader: the model does not
    // cover that case, only that nothing overflows.
    if (source.find('\0') == std::string::npos &&
        winsim::file_bytes("C:\\WINDOWS\\zantrel.apd") != expected_copy(source, name))
        abort();
    return 0;
}
