#include "setup/inf_writer.h"

#include "catalog/text_format.h"
#include "setup/product_names.h"

enum {
    INF_LINE_SIZE = 1024
};

// One line of the INF, cut to the longest line the Setup API reads. 0 when
// the stream refused it.
static int write_line(FILE *inf, const char *format, ...)
{
    char line[INF_LINE_SIZE];
    va_list arguments;

    va_start(arguments, format);
    format_text_v(line, sizeof line, format, arguments);
    va_end(arguments);
    return fputs(line, inf) >= 0 && fputs("\n", inf) >= 0;
}

int write_inf_for(FILE *inf, const PlatformBranch *branch, const char *platform_folder,
                  const char *language)
{
    char language_subpath[MAX_PATH];
    int written = 1;

    format_text(language_subpath, sizeof language_subpath, "%s\\%s", platform_folder, language);
    written &= write_line(inf, "[Version]");
    written &= write_line(inf, "Signature=%s", branch->inf_signature);
    written &= write_line(inf, "Provider=Norvane");
    written &= write_line(inf, "[%s]", INF_INSTALL_SECTION);
    written &= write_line(inf, "CopyFiles=Printer_Files, PrintProc_Files, Driver_Files");
    written &= write_line(inf, "[DestinationDirs]");
    written &= write_line(inf, "Printer_Files=%d", INF_SYSTEM_DIR_ID);
    written &= write_line(inf, "PrintProc_Files=%d", INF_PRINT_PROCESSOR_DIR_ID);
    written &= write_line(inf, "Driver_Files=%d", INF_DRIVER_DIR_ID);
    written &= write_line(inf, "[Printer_Files]");
    for (const char *const *name = branch->system_files; *name != NULL; name++)
        written &= write_line(inf, "%s,,0x4", *name);
    written &= write_line(inf, "[PrintProc_Files]");
    written &= write_line(inf, "%s,,0x4", PRINT_PROCESSOR_FILE);
    written &= write_line(inf, "[Driver_Files]");
    for (const char *const *name = branch->driver_files; *name != NULL; name++)
        written &= write_line(inf, "%s", *name);
    written &= write_line(inf, "[SourceDisksNames]");
    written &= write_line(inf, "1=\"Ravelo Printer Driver Setup Disk\"");
    written &= write_line(inf, "[SourceDisksFiles]");
    for (const SourceFile *file = branch->sources; file->name != NULL; file++) {
        written &= write_line(inf, "%s=1,%s", file->name,
                              file->place == FROM_PLATFORM ? platform_folder : language_subpath);
    }
    return written;
}
