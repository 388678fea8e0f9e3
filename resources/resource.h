/* Identifiers of the program's resources, shared by the resource script and
 * the dialog procedures. */
#ifndef SETUP_RESOURCE_H
#define SETUP_RESOURCE_H

/* The program's version: the version block's numbers and the text the
 * run log starts with. */
#define SETUP_VERSION_MAJOR 6
#define SETUP_VERSION_MINOR 0
#define SETUP_VERSION_BUILD 2
#define SETUP_VERSION_REVISION 9
#define SETUP_VERSION_STRING(dotted) #dotted
#define SETUP_VERSION_TEXT_OF(a, b, c, d) SETUP_VERSION_STRING(a.b.c.d)
#define SETUP_VERSION_TEXT                                                      \
    SETUP_VERSION_TEXT_OF(SETUP_VERSION_MAJOR, SETUP_VERSION_MINOR, SETUP_VERSION_BUILD, \
                          SETUP_VERSION_REVISION)

#define IDI_SETUP 101

#define IDD_CHOICE 104
#define IDD_RESULT 105
#define IDD_PROGRESS 106
#define IDD_LANGUAGE 201

/* Language dialog. */
#define IDC_GERMAN 2000
#define IDC_ENGLISH 2001
#define IDC_FRENCH 2002

/* Choice, progress and result dialogs. */
#define IDC_SYSTEM_LINE 1001
#define IDC_STATUS_LINE 1001
#define IDC_INSTALL 1002
#define IDC_REMOVE 1003
#define IDC_REPORT 1004
#define IDC_RESULT_TEXT 1004

#endif
