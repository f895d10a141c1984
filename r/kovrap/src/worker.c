/*
 * A long library call runs on a worker thread while R's thread waits for
 * it, checking for an interrupt (Ctrl-C, setTimeLimit) every 50 ms. When R
 * leaves (the interrupt unwinds), the call goes on to its end on its own;
 * everything it touches belongs to the job, not to R, and the worker frees
 * the job when it is done. The next library call waits until the library
 * is free again, so that two calls never share the libraries' state.
 */
#include <pthread.h>
#include <stdlib.h>
#include <time.h>

#include <R_ext/Utils.h>

#include "worker.h"

static pthread_mutex_t g_lock = PTHREAD_MUTEX_INITIALIZER;
static pthread_cond_t g_changed = PTHREAD_COND_INITIALIZER;
static int g_running = 0; /* jobs on worker threads, left behind ones included */

static void wait_a_little(void) {
    struct timespec until;
    clock_gettime(CLOCK_REALTIME, &until);
    until.tv_nsec += 50 * 1000 * 1000;
    if (until.tv_nsec >= 1000000000L) {
        until.tv_sec += 1;
        until.tv_nsec -= 1000000000L;
    }
    pthread_cond_timedwait(&g_changed, &g_lock, &until);
}

void kv_wait_for_library(void) {
    pthread_mutex_lock(&g_lock);
    while (g_running > 0) {
        pthread_mutex_unlock(&g_lock);
        R_CheckUserInterrupt();
        pthread_mutex_lock(&g_lock);
        if (g_running > 0)
            wait_a_little();
    }
    pthread_mutex_unlock(&g_lock);
}

static void *run(void *argument) {
    KvJob *job = (KvJob *)argument;
    job->work(job);
    pthread_mutex_lock(&g_lock);
    job->done = 1;
    --g_running;
    int left = job->abandoned;
    pthread_cond_broadcast(&g_changed);
    pthread_mutex_unlock(&g_lock);
    if (left)
        job->release(job);
    return NULL;
}

/* Runs when R unwinds past the wait: the job is the worker's from now on,
 * unless it has finished already. */
static void leave(void *argument, Rboolean jump) {
    KvJob *job = (KvJob *)argument;
    if (!jump)
        return;
    pthread_mutex_lock(&g_lock);
    int finished = job->done;
    job->abandoned = 1;
    pthread_mutex_unlock(&g_lock);
    if (finished)
        job->release(job);
}

static SEXP wait_for(void *argument) {
    KvJob *job = (KvJob *)argument;
    pthread_mutex_lock(&g_lock);
    while (!job->done) {
        pthread_mutex_unlock(&g_lock);
        R_CheckUserInterrupt();
        pthread_mutex_lock(&g_lock);
        if (!job->done)
            wait_a_little();
    }
    pthread_mutex_unlock(&g_lock);
    return R_NilValue;
}

void kv_run_job(KvJob *job) {
    kv_wait_for_library();
    job->done = 0;
    job->abandoned = 0;
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_mutex_lock(&g_lock);
    ++g_running;
    pthread_t thread;
    int failed = pthread_create(&thread, &attributes, run, job);
    if (failed)
        --g_running;
    pthread_mutex_unlock(&g_lock);
    pthread_attr_destroy(&attributes);
    if (failed) {
        /* No thread to be had: the call runs here, uninterruptible. */
        job->work(job);
        job->done = 1;
        return;
    }
    SEXP token = PROTECT(R_MakeUnwindCont());
    R_UnwindProtect(wait_for, job, leave, job, token);
    UNPROTECT(1);
}
