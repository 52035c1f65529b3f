// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Work on a network share, waited for a bounded time. A hard NFS mount blocks a
// file call for as long as the server is away, and a Windows client waits about a
// minute before it gives up: the work runs on a thread of its own, and whoever
// asked for it stops waiting at the bound. The thread runs on until the call
// returns, so it owns everything it touches.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace zarvoni::records {

// The result of work, or nothing when it did not end within wait.
template <class Result>
std::optional<Result> withinBound(std::chrono::milliseconds wait, std::function<Result()> work) {
    struct Shared {
        std::mutex mutex;
        std::condition_variable ended;
        std::optional<Result> result;
    };
    const auto shared = std::make_shared<Shared>();
    std::thread([shared, work = std::move(work)] {
        Result result = work();
        const std::lock_guard lock(shared->mutex);
        shared->result = std::move(result);
        shared->ended.notify_all();
    }).detach();
    std::unique_lock lock(shared->mutex);
    if (!shared->ended.wait_for(lock, wait, [&] { return shared->result.has_value(); }))
        return std::nullopt;
    return std::move(shared->result);
}

} // namespace zarvoni::records
