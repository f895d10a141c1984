#ifndef KOVRAP_R_WORKER_H
#define KOVRAP_R_WORKER_H

#include "kovrap.h"

/* A library call that may outlive R's wait for it. work runs on the worker;
 * release frees the job and everything it owns. Neither may touch R. */
typedef struct KvJob {
    void (*work)(struct KvJob *job);
    void (*release)(struct KvJob *job);
    int done;      /* guarded by the worker's lock */
    int abandoned; /* R left: the worker releases the job when done */
} KvJob;

/* Runs job->work on a worker thread and waits for it, interruptibly. On an
 * interrupt R unwinds and the job finishes (and is released) on its own;
 * on a normal return the caller owns the finished job. */
void kv_run_job(KvJob *job);

/* Waits (interruptibly) until no left-behind job holds the library. */
void kv_wait_for_library(void);

#endif
