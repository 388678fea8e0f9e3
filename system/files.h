// Single-file operations of the installation and the removal.
#ifndef SETUP_FILES_H
#define SETUP_FILES_H

#include "system/platform.h"

// Clears the file's attributes (FILE_ATTRIBUTE_NORMAL); the Windows result.
BOOL set_normal_attributes(const char *path);
// Deletes the file, read-only or not: 0 deleted, -1 not. Nothing captured.
int delete_file(const char *path);
// Copies directory\name to destination\new_name (or the same name),
// overwriting; reports "Copy NAME ..." through status_callback. 1 copied,
// 0 failed with the error captured.
int copy_file(const char *directory, const char *name, const char *destination,
              const char *new_name);
// Copies a text file and puts product_short_name in place of every "@".
// 1 copied, 0 when a file could not be opened or the copy could not be
// written whole (error captured); a copy cut short is deleted.
int copy_with_substitution(const char *directory, const char *name, const char *destination,
                           const char *new_name);

#endif
