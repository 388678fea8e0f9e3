#include "setup/quiet_copy_queue.h"

#include "app/run_log.h"
#include "catalog/text_format.h"
#include "system/environment.h"

// Ends the queue: SetupInstallFromInfSection then fails with the error the
// handler leaves as the last error.
static UINT abort_queue(DWORD error)
{
    SetLastError(error);
    return FILEOP_ABORT;
}

// The default callback takes a medium without a prompt when the file it
// looks for (the tag file, else the source file) is in the source folder,
// and asks for the disk otherwise. Here a missing one ends the queue.
static UINT answer_media(const SOURCE_MEDIA_A *media)
{
    char path[MAX_PATH];
    const char *looked_for = media->Tagfile != NULL ? media->Tagfile : media->SourceFile;

    format_text(path, sizeof path, "%s\\%s", media->SourcePath, looked_for);
    if (file_exists(path))
        return FILEOP_DOIT;
    log_event("file source missing: %s", path);
    return abort_queue(ERROR_FILE_NOT_FOUND);
}

UINT CALLBACK quiet_queue_callback(PVOID context, UINT notification, UINT_PTR param1,
                                   UINT_PTR param2)
{
    const FILEPATHS_A *paths = (const FILEPATHS_A *)param1;

    switch (notification) {
    case SPFILENOTIFY_STARTQUEUE:
    case SPFILENOTIFY_STARTSUBQUEUE:
        return TRUE;
    case SPFILENOTIFY_ENDSUBQUEUE:
    case SPFILENOTIFY_ENDQUEUE:
        return 0;
    case SPFILENOTIFY_STARTCOPY:
        return FILEOP_DOIT;
    case SPFILENOTIFY_ENDCOPY:
        log_event("file copied: %s -> %s", paths->Source, paths->Target);
        return 0;
    case SPFILENOTIFY_NEEDMEDIA:
        return answer_media((const SOURCE_MEDIA_A *)param1);
    case SPFILENOTIFY_COPYERROR:
        log_event("file copy failed: %s -> %s, error %u", paths->Source, paths->Target,
                  paths->Win32Error);
        return abort_queue(paths->Win32Error);
    case SPFILENOTIFY_FILEOPDELAYED:
        log_event("file delayed until the restart: %s -> %s", paths->Source, paths->Target);
        return 0;
    default:
        return SetupDefaultQueueCallbackA(context, notification, param1, param2);
    }
}
