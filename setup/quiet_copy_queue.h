// The Setup API's file queue in a quiet run: nobody is there to answer the
// default callback's prompts, and its progress window must not appear.
#ifndef SETUP_QUIET_COPY_QUEUE_H
#define SETUP_QUIET_COPY_QUEUE_H

#include "system/platform.h"

// The queue's message handler in a quiet run; context is a default queue
// callback context. Writes each copied file (source and target) to the run
// log, and each file the next restart puts in place. A copy error or a
// source that is not there ends the queue, logged, with that error as the
// last error (ERROR_FILE_NOT_FOUND for a missing source): no prompt. The
// progress notifications are answered here, so the default callback never
// has progress to show; any other notification goes on to it.
UINT CALLBACK quiet_queue_callback(PVOID context, UINT notification, UINT_PTR param1,
                                   UINT_PTR param2);

#endif
