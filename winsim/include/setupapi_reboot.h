/* winsim: the Setup API's restart question (setupapi.h). */
#ifndef WINSIM_SETUPAPI_REBOOT_H
#define WINSIM_SETUPAPI_REBOOT_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef void *HSPFILEQ;

#define SPFILEQ_FILE_IN_USE 0x00000001
#define SPFILEQ_REBOOT_RECOMMENDED 0x00000002
#define SPFILEQ_REBOOT_IN_PROGRESS 0x00000004

INT WINAPI SetupPromptReboot(HSPFILEQ FileQueue, HWND Owner, BOOL ScanOnly);

#ifdef __cplusplus
}
#endif

#endif
