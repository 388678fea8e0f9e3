// The platform description that the installation and the removal work with:
// what the running Windows takes of the package, chosen once by
// describe_platform.
#ifndef SETUP_PLATFORM_BRANCH_H
#define SETUP_PLATFORM_BRANCH_H

#include "setup/distribution_files.h"
#include "system/platform.h"

enum {
    PLATFORM_UNKNOWN = -1,        // neither the NT nor the 95 family
    PLATFORM_UNSUPPORTED_NT = 0,  // an NT version other than 3, 4 or 5
    PLATFORM_SUPPORTED = 1
};

// Where a file of the distribution lies below the program directory.
enum SourcePlace {
    FROM_PLATFORM, // the platform folder
    FROM_LANGUAGE  // the language folder below it
};

struct SourceFile {
    const char *name;
    SourcePlace place;
};

// The record a driver is added with.
struct DriverFiles {
    DWORD version;
    const char *driver_path;
    const char *data_file;
    const char *config_file;
    const char *help_file;
    const char *dependent_files; // names each ending in NUL, closed by one more
};

enum RemovalPlace {
    IN_SYSTEM_DIR,
    IN_PRINT_PROCESSOR_DIR,
    IN_DRIVER_DIR
};

struct RemovedFile {
    RemovalPlace place;
    const char *name;
};

// Everything that differs between the 95 family, NT 3.51 and 4, and
// Windows 2000 and later. Lists end with a NULL name.
struct PlatformBranch {
    const char *environment;
    const char *driver_extension;
    const char *inf_signature;
    const char *system_files[3];  // the INF's [Printer_Files]
    const char *driver_files[14]; // the INF's [Driver_Files]
    SourceFile sources[17];       // the INF's [SourceDisksFiles]
    DriverFiles fax_driver;
    DriverFiles telex_driver;
    DWORD printer_attributes;     // ORed into each new printer's
    // Deleting a driver also deletes the files no other driver uses.
    int driver_deletion_takes_files;
    RemovedFile removed_files[8];
};

// A platform folder of the distribution and the Windows that take it.
struct PlatformFolder {
    DWORD platform_id;
    DWORD major_version; // 0: every version of the platform
    const char *tag;
    const PlatformBranch *branch;
};

#define PLATFORM_FOLDER_ONE(platform_id, major, tag, branch) +1
enum { PLATFORM_FOLDER_COUNT = 0 DISTRIBUTION_FOLDERS(PLATFORM_FOLDER_ONE) };
#undef PLATFORM_FOLDER_ONE
extern const PlatformFolder PLATFORM_FOLDERS[PLATFORM_FOLDER_COUNT];

// Asks the system's version (returned in *version) and sets platform_branch
// (on every platform; an unknown one is taken for the NT family), and from
// it driver_extension, environment_name and platform_tag. On an unsupported
// NT version only driver_extension is set of these three, on an unknown
// platform none.
int describe_platform(OSVERSIONINFOA *version);

#endif
