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
 * interrupt R unwinds and the job finishes (and is released) on its own,
 * also when the interrupt comes while the job still waits for an earlier
 * one; on a normal return the caller owns the finished job. */
void kv_run_job(KvJob *job);

/* 1 while a job (one left behind included) is inside the library. */
int kv_worker_busy(void);

/* Raises a kovrap_fork_error when this process is a fork of one whose
 * worker was inside a library call: the libraries' state was copied in the
 * middle of that call. */
void kv_check_process(void);

/* Waits, without interrupts, until no worker holds the library and the last
 * worker thread has ended: before the package's code is unloaded and before
 * the process's exit handlers take down the libraries' state. */
void kv_wait_for_worker(void);

/* Registers the fork handlers (once) and the exit wait (after every load of
 * a library, so that it runs before that library's own exit handlers). */
void kv_worker_init(void);
void kv_worker_after_load(const void *library);

#endif
