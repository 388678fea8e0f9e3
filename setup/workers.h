// The two workers that the progress dialog starts on their own thread. Each
// ends the progress dialog with 1 for success or 0 for failure.
#ifndef SETUP_WORKERS_H
#define SETUP_WORKERS_H

void install_worker(void *unused);
void removal_worker(void *unused);

#endif
