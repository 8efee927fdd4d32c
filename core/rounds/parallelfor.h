#pragma once

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace foresyn {

// Runs fn(i) for every i in [0, count) on up to `threads` threads (the
// calling one included) and returns when all are done. Items must be
// independent of one another. The first exception thrown by any item is
// rethrown here after the others have stopped taking new items.
template <class F> void ParallelFor(int count, int threads, F&& fn) {
    threads = std::max(1, std::min(threads, count));
    if (threads == 1) {
        for (int i = 0; i < count; ++i) {
            fn(i);
        }
        return;
    }
    std::atomic<int> next{0};
    std::atomic<bool> failed{false};
    std::exception_ptr error;
    std::mutex errorLock;
    auto work = [&]() {
        for (int i = next++; i < count && !failed; i = next++) {
            try {
                fn(i);
            } catch (...) {
                const std::lock_guard<std::mutex> lock(errorLock);
                if (!error) {
                    error = std::current_exception();
                }
                failed = true;
            }
        }
    };
    std::vector<std::thread> pool;
    pool.reserve(std::size_t(threads - 1));
    for (int t = 1; t < threads; ++t) {
        pool.emplace_back(work);
    }
    work();
    for (std::thread& t : pool) {
        t.join();
    }
    if (error) {
        std::rethrow_exception(error);
    }
}

// Threads for work that keeps a processor busy.
inline int ComputeThreads() {
    return int(std::max(1u, std::thread::hardware_concurrency()));
}

// Threads for file writes that mostly wait for the disk to confirm: enough
// for the file system to take several flushes in one go.
inline constexpr int kFileThreads = 8;

} // namespace foresyn
