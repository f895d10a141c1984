// Bounding a call that might wait on a named pipe: the test fails instead of
// hanging when an open or read waits for the other end.
#ifndef KOVRAP_TEST_FIFO_GUARD_H
#define KOVRAP_TEST_FIFO_GUARD_H

#if !defined(_WIN32)

#include <chrono>
#include <functional>
#include <future>
#include <string>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

namespace kovrap_test {

// Runs work on a thread and waits for it at most `limit`. Should it still be
// running, the pipe is opened for writing and closed until it ends (that
// ends a wait for a writer, and a read sees the end of the file), and the
// answer is false.
inline bool finishesWithoutWaiting(const std::function<void()> &work, const std::string &pipe,
                                   std::chrono::seconds limit = std::chrono::seconds(10)) {
    std::promise<void> done;
    std::future<void> finished = done.get_future();
    std::thread worker([&] {
        work();
        done.set_value();
    });
    const bool inTime = finished.wait_for(limit) == std::future_status::ready;
    while (finished.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
        const int fd = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0)
            ::close(fd);
    }
    worker.join();
    return inTime;
}

} // namespace kovrap_test

#endif

#endif
