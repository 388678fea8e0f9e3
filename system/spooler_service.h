// Stop and start of the print spooler service together with the services
// that depend on it, and the closing of the user's print window.
//
// A stop records, in the tree under spooler_service_list, every dependent
// service it stopped; the next start brings exactly those back, each right
// after the service it needs. On the 95 family there is no service control:
// a stop only closes the print window and a start does nothing.
#ifndef SETUP_SPOOLER_SERVICE_H
#define SETUP_SPOOLER_SERVICE_H

#include "system/platform.h"

struct ServiceNode {
    char *name;              // the service's key name, owned by the node
    ServiceNode *next;       // next service that depends on the same parent
    ServiceNode *dependents; // first service that depends on this one
    int excused;             // the user gave up on its start: a later start
                             // tries it again, but its failure fails nothing
};

// The static root of the tree, named "spooler"; never released.
extern ServiceNode *spooler_service_list;

// 1 on success; 0 with the Windows error captured and left as the thread's
// last error.
int stop_spooler(void);
int start_spooler(void);

// Stops the service after its active dependents, depth first, recording
// them under node. Non-zero on success.
int stop_service_tree(SC_HANDLE manager, SC_HANDLE service, ServiceNode *node);
// Starts the service and then what node recorded under it, each service
// right after the one it needs; every recorded service is tried. What runs
// again is released from the record, and so is what never can (gone or
// disabled); what failed otherwise stays recorded for a Retry. A service
// that stops again during its start fails it with its exit code (its own
// number, for ERROR_SERVICE_SPECIFIC_ERROR, into service_exit_code).
// Non-zero on success; 0 with the first failure's error captured.
int start_service_tree(SC_HANDLE manager, SC_HANDLE service, ServiceNode *node);

// For when the user gave up on a failed start_spooler (Abort or Ignore; a
// Retry starts again instead): the dependents that start could not bring
// back stay recorded, so that a later start of the run still tries them,
// but their failure no longer fails that start, and no one is asked about
// it again. After a start that failed at the spooler itself nothing is
// excused: its dependents were never tried.
void excuse_failed_dependents(void);

// Closes the current user's print window, if there is one.
void close_print_window(void);

#endif
