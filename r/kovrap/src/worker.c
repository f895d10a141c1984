/*
 * A long library call runs on a worker thread while R's thread waits for
 * it, checking for an interrupt (Ctrl-C, setTimeLimit) every 50 ms. When R
 * leaves (the interrupt unwinds), the call goes on to its end on its own;
 * everything it touches belongs to the job, not to R, and the worker frees
 * the job when it is done. The next library call waits until the library
 * is free again, so that two calls never share the libraries' state.
 *
 * Two moments must not find a worker inside the library: the unloading of
 * this package's code (the worker runs it) and the process's exit (the
 * exit handlers destroy the libraries' state). Both wait for it. A forked
 * child has no worker: it starts from an idle state, and when the parent's
 * worker was inside a call at the fork, the child refuses library calls,
 * whose state it holds only half-changed.
 */
#include <pthread.h>
#include <stdlib.h>
#include <time.h>

#include <R_ext/Print.h>
#include <R_ext/Utils.h>

#include "worker.h"

static pthread_mutex_t g_lock = PTHREAD_MUTEX_INITIALIZER;
static pthread_cond_t g_changed = PTHREAD_COND_INITIALIZER;
static int g_running = 0; /* jobs on worker threads, left behind ones included */
/* The last worker thread, joined before the next starts and before the
 * code goes; only R's thread (and the fork handlers on it) touch these. */
static pthread_t g_thread;
static int g_joinable = 0;
/* A fork of a process whose worker was inside a library call. */
static int g_inherited_call = 0;

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

static SEXP wait_for_library(void *unused) {
    (void)unused;
    pthread_mutex_lock(&g_lock);
    while (g_running > 0) {
        pthread_mutex_unlock(&g_lock);
        R_CheckUserInterrupt();
        pthread_mutex_lock(&g_lock);
        if (g_running > 0)
            wait_a_little();
    }
    pthread_mutex_unlock(&g_lock);
    return R_NilValue;
}

int kv_worker_busy(void) {
    pthread_mutex_lock(&g_lock);
    int busy = g_running > 0;
    pthread_mutex_unlock(&g_lock);
    return busy;
}

static void join_last(void) {
    if (g_joinable) {
        pthread_join(g_thread, NULL);
        g_joinable = 0;
    }
}

void kv_wait_for_worker(void) {
    pthread_mutex_lock(&g_lock);
    int told = 0;
    for (int rounds = 0; g_running > 0; ++rounds) {
        /* After a second, one line says why the process does not end yet. */
        if (rounds == 20 && !told) {
            REprintf("kovrap: waiting for a library call to finish\n");
            told = 1;
        }
        wait_a_little();
    }
    pthread_mutex_unlock(&g_lock);
    join_last();
}

static void refuse_inherited_call(void) {
    SEXP ns = PROTECT(R_FindNamespace(PROTECT(Rf_mkString("kovrap"))));
    SEXP message = PROTECT(Rf_mkString(
        "this process was forked while a library call was running in its parent, so the "
        "libraries' state is that of an unfinished call: call the library from the parent, "
        "or fork when no call is running"));
    SEXP what = PROTECT(Rf_mkString("fork"));
    SEXP call = PROTECT(Rf_lang3(Rf_install("kv_abort"), message, what));
    Rf_eval(call, ns);
    UNPROTECT(5);
}

void kv_check_process(void) {
    if (g_inherited_call)
        refuse_inherited_call();
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

/* Runs when R unwinds while the job still waits for an earlier one: the job
 * never started, and nothing else will free it. */
static void drop_unstarted(void *argument, Rboolean jump) {
    KvJob *job = (KvJob *)argument;
    if (jump)
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
    if (g_inherited_call) {
        job->release(job);
        refuse_inherited_call();
    }
    SEXP before = PROTECT(R_MakeUnwindCont());
    R_UnwindProtect(wait_for_library, NULL, drop_unstarted, job, before);
    UNPROTECT(1);
    join_last();
    job->done = 0;
    job->abandoned = 0;
    pthread_mutex_lock(&g_lock);
    ++g_running;
    int failed = pthread_create(&g_thread, NULL, run, job);
    if (failed)
        --g_running;
    else
        g_joinable = 1;
    pthread_mutex_unlock(&g_lock);
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

#if !defined(_WIN32)
/* The lock is taken across the fork, so that the child's copy of the state
 * is whole and its lock free. */
static void before_fork(void) {
    pthread_mutex_lock(&g_lock);
}

static void after_fork_in_parent(void) {
    pthread_mutex_unlock(&g_lock);
}

static void after_fork_in_child(void) {
    if (g_running > 0)
        g_inherited_call = 1;
    g_running = 0;
    g_joinable = 0; /* the thread stayed with the parent */
    pthread_mutex_unlock(&g_lock);
    pthread_cond_init(&g_changed, NULL);
}
#endif

static void wait_at_exit(void) {
    kv_wait_for_worker();
}

void kv_worker_init(void) {
#if !defined(_WIN32)
    static int registered = 0;
    if (!registered && pthread_atfork(before_fork, after_fork_in_parent, after_fork_in_child) == 0)
        registered = 1;
#endif
}

void kv_worker_after_load(const void *library) {
    /* Exit handlers run last registered first: registered after a library's
     * load, the wait runs before that library's state is destroyed. Once
     * per library: loading the same one again gives the same handle. */
    static const void *seen[32];
    static int count = 0;
    for (int i = 0; i < count; ++i)
        if (seen[i] == library)
            return;
    if (count < (int)(sizeof seen / sizeof seen[0]))
        seen[count++] = library;
    atexit(wait_at_exit);
}
