// The Setup API as the setup installs its files: an INF of the setup's own
// sections (CopyFiles lists bound to user directory ids, source files in
// platform and language folders below the source root), the default queue
// callback behind a message handler of the test's own, a source file that
// is missing, and the errors of opening an INF and of a bad directory id.
// The restart question (SetupPromptReboot) needs a user and is left to
// winsim's scripted user and the end-to-end runs.
#include "tests/conformance/arrange.h"

#include <vector>

using conformance::file_bytes;
using conformance::put_bytes;
using conformance::remove_file;
using conformance::work_dir;

namespace
{

const DWORD SYSTEM_FILES_ID = 78000;
const DWORD DRIVER_FILES_ID = 78002;
const char INSTALL_SECTION[] = "Install_Printer";

const char INF_TEXT[] = "[Version]\n"
                        "Signature=$Windows NT$\n"
                        "Provider=Conformance\n"
                        "[Install_Printer]\n"
                        "CopyFiles=Printer_Files, Driver_Files\n"
                        "[DestinationDirs]\n"
                        "Printer_Files=78000\n"
                        "Driver_Files=78002\n"
                        "[Printer_Files]\n"
                        "cfsys.dll,,0x4\n"
                        "[Driver_Files]\n"
                        "cfdrv.dll\n"
                        "cfdrv.hlp\n"
                        "[SourceDisksNames]\n"
                        "1=\"Conformance Setup Disk\"\n"
                        "[SourceDisksFiles]\n"
                        "cfsys.dll=1,W2K\n"
                        "cfdrv.dll=1,W2K\n"
                        "cfdrv.hlp=1,W2K\\eng\n";

std::string path_in(const std::string &folder, const char *name)
{
    return folder + "\\" + name;
}

// The INF, written in text mode as the setup writes it.
std::string write_inf(const char *text)
{
    std::string path = path_in(work_dir(), "conform.inf");
    FILE *file = fopen(path.c_str(), "w");
    CHECK(file != NULL);
    if (file != NULL) {
        fputs(text, file);
        fclose(file);
    }
    return path;
}

// The source root with its platform and language folders.
std::string make_sources(bool with_help_file)
{
    std::string root = path_in(work_dir(), "source");
    CreateDirectoryA(root.c_str(), NULL);
    CreateDirectoryA(path_in(root, "W2K").c_str(), NULL);
    CreateDirectoryA(path_in(root, "W2K\\eng").c_str(), NULL);
    CHECK(put_bytes(path_in(root, "W2K\\cfsys.dll"), "system file"));
    CHECK(put_bytes(path_in(root, "W2K\\cfdrv.dll"), "driver file"));
    remove_file(path_in(root, "W2K\\eng\\cfdrv.hlp"));
    if (with_help_file)
        CHECK(put_bytes(path_in(root, "W2K\\eng\\cfdrv.hlp"), "help file"));
    return root;
}

std::string make_target(const char *name)
{
    std::string folder = path_in(work_dir(), name);
    CreateDirectoryA(folder.c_str(), NULL);
    remove_file(path_in(folder, "cfsys.dll"));
    remove_file(path_in(folder, "cfdrv.dll"));
    remove_file(path_in(folder, "cfdrv.hlp"));
    return folder;
}

// The notifications a queue sent, with the default callback's work done
// for all but a missing source, which is skipped instead of asked for.
struct Handler {
    void *default_context;
    std::vector<UINT> notifications;
    int missing_media;
};

UINT CALLBACK handle(PVOID context, UINT notification, UINT_PTR param1, UINT_PTR param2)
{
    Handler *handler = (Handler *)context;
    handler->notifications.push_back(notification);
    if (notification == SPFILENOTIFY_NEEDMEDIA) {
        const SOURCE_MEDIA_A *media = (const SOURCE_MEDIA_A *)param1;
        const char *looked_for = media->Tagfile != NULL ? media->Tagfile : media->SourceFile;
        if (!conformance::file_exists(path_in(media->SourcePath, looked_for))) {
            handler->missing_media++;
            return FILEOP_SKIP;
        }
    }
    if (notification == SPFILENOTIFY_COPYERROR)
        return FILEOP_SKIP;
    return SetupDefaultQueueCallbackA(handler->default_context, notification, param1, param2);
}

bool notified(const Handler &handler, UINT notification)
{
    for (UINT seen : handler.notifications) {
        if (seen == notification)
            return true;
    }
    return false;
}

int count_of(const Handler &handler, UINT notification)
{
    int count = 0;
    for (UINT seen : handler.notifications)
        count += seen == notification ? 1 : 0;
    return count;
}

// Opens the INF, binds its directory ids and installs the section through
// the handler; the result of SetupInstallFromInfSectionA.
BOOL install(const std::string &inf_path, const std::string &root, const std::string &system,
             const std::string &drivers, Handler &handler)
{
    UINT error_line = 0;
    HINF inf = SetupOpenInfFileA(inf_path.c_str(), NULL, INF_STYLE_WIN4, &error_line);
    CHECK(inf != INVALID_HANDLE_VALUE);
    if (inf == INVALID_HANDLE_VALUE)
        return FALSE;
    CHECK(SetupSetDirectoryIdA(inf, SYSTEM_FILES_ID, system.c_str()));
    CHECK(SetupSetDirectoryIdA(inf, DRIVER_FILES_ID, drivers.c_str()));
    handler.default_context = SetupInitDefaultQueueCallback(NULL);
    CHECK(handler.default_context != NULL);
    POISON();
    BOOL installed = SetupInstallFromInfSectionA(NULL, inf, INSTALL_SECTION, SPINST_FILES, NULL,
                                                 root.c_str(), SP_COPY_NEWER, handle, &handler,
                                                 NULL, NULL);
    DWORD error = GetLastError();
    SetupTermDefaultQueueCallback(handler.default_context);
    SetupCloseInfFile(inf);
    SetLastError(error);
    return installed;
}

} // namespace

CONFORMANCE_TEST(setup_api, AnInfThatIsNotThereIsNotOpened)
{
    UINT error_line = 77;
    POISON();
    HINF inf = SetupOpenInfFileA(path_in(work_dir(), "nothing.inf").c_str(), NULL, INF_STYLE_WIN4,
                                 &error_line);
    CHECK(inf == INVALID_HANDLE_VALUE);
    CHECK_ERROR(ERROR_FILE_NOT_FOUND);
}

CONFORMANCE_TEST(setup_api, TheSetupsInfOpensAndClearsTheLastError)
{
    std::string path = write_inf(INF_TEXT);
    UINT error_line = 77;
    POISON();
    HINF inf = SetupOpenInfFileA(path.c_str(), NULL, INF_STYLE_WIN4, &error_line);
    CHECK(inf != INVALID_HANDLE_VALUE);
    CHECK_ERROR(NO_ERROR);
    if (inf != INVALID_HANDLE_VALUE)
        SetupCloseInfFile(inf);
    remove_file(path);
}

CONFORMANCE_TEST(setup_api, AnInfWithoutASignatureIsOfTheWrongStyle)
{
    std::string path = write_inf("[Version]\nProvider=Conformance\n[Install_Printer]\n");
    UINT error_line = 77;
    POISON();
    HINF inf = SetupOpenInfFileA(path.c_str(), NULL, INF_STYLE_WIN4, &error_line);
    CHECK(inf == INVALID_HANDLE_VALUE);
    CHECK_ERROR(ERROR_WRONG_INF_STYLE);
    remove_file(path);
}

CONFORMANCE_TEST(setup_api, OnlyUserDirectoryIdsCanBeSet)
{
    std::string path = write_inf(INF_TEXT);
    HINF inf = SetupOpenInfFileA(path.c_str(), NULL, INF_STYLE_WIN4, NULL);
    CHECK(inf != INVALID_HANDLE_VALUE);
    if (inf == INVALID_HANDLE_VALUE)
        return;
    POISON();
    CHECK(!SetupSetDirectoryIdA(inf, DIRID_SYSTEM, work_dir().c_str()));
    CHECK_ERROR(ERROR_INVALID_PARAMETER);
    POISON();
    CHECK(!SetupSetDirectoryIdA(inf, DIRID_USER - 1, work_dir().c_str()));
    CHECK_ERROR(ERROR_INVALID_PARAMETER);
    CHECK(SetupSetDirectoryIdA(inf, DIRID_USER, work_dir().c_str()));
    CHECK(SetupSetDirectoryIdA(inf, SYSTEM_FILES_ID, work_dir().c_str()));
    SetupCloseInfFile(inf);
    remove_file(path);
}

CONFORMANCE_TEST(setup_api, TheSectionCopiesEachFileFromItsFolderToItsDirectoryId)
{
    std::string inf = write_inf(INF_TEXT);
    std::string root = make_sources(true);
    std::string system = make_target("sys");
    std::string drivers = make_target("drv");
    Handler handler = {NULL, std::vector<UINT>(), 0};
    CHECK(install(inf, root, system, drivers, handler));
    CHECK_STR(file_bytes(path_in(system, "cfsys.dll")).c_str(), "system file");
    CHECK_STR(file_bytes(path_in(drivers, "cfdrv.dll")).c_str(), "driver file");
    CHECK_STR(file_bytes(path_in(drivers, "cfdrv.hlp")).c_str(), "help file");
    CHECK(!conformance::file_exists(path_in(drivers, "cfsys.dll")));
    CHECK_EQ(count_of(handler, SPFILENOTIFY_STARTCOPY), 3);
    CHECK_EQ(count_of(handler, SPFILENOTIFY_ENDCOPY), 3);
    CHECK(!notified(handler, SPFILENOTIFY_COPYERROR));
    CHECK_EQ(handler.missing_media, 0);
    remove_file(inf);
}

CONFORMANCE_TEST(setup_api, AMissingSourceFileIsReportedToTheHandlerAndCanBeSkipped)
{
    std::string inf = write_inf(INF_TEXT);
    std::string root = make_sources(false);
    std::string system = make_target("sys");
    std::string drivers = make_target("drv");
    Handler handler = {NULL, std::vector<UINT>(), 0};
    CHECK(install(inf, root, system, drivers, handler));
    CHECK(handler.missing_media > 0 || notified(handler, SPFILENOTIFY_COPYERROR));
    CHECK_STR(file_bytes(path_in(system, "cfsys.dll")).c_str(), "system file");
    CHECK_STR(file_bytes(path_in(drivers, "cfdrv.dll")).c_str(), "driver file");
    CHECK(!conformance::file_exists(path_in(drivers, "cfdrv.hlp")));
    remove_file(inf);
}
