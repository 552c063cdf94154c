#include "run/Workers.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace vantrel::gui {
namespace {

struct Registry {
    std::mutex mutex;
    std::condition_variable ended;
    int running = 0;
};

Registry& TheRegistry() {
    // Never destroyed: detached workers may still end after main() has returned.
    static auto* registry = new Registry;
    return *registry;
}

}  // namespace

void StartWorker(std::function<void()> job) {
    Registry& r = TheRegistry();
    {
        std::lock_guard lock(r.mutex);
        ++r.running;
    }
    std::thread([job = std::move(job), &r]() mutable {
        job();
        job = nullptr;  // whatever the job holds is released before it counts as ended
        std::lock_guard lock(r.mutex);
        --r.running;
        r.ended.notify_all();
    }).detach();
}

int RunningWorkers() {
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    return r.running;
}

bool WaitForWorkers(std::chrono::milliseconds timeout) {
    Registry& r = TheRegistry();
    std::unique_lock lock(r.mutex);
    return r.ended.wait_for(lock, timeout, [&] { return r.running == 0; });
}

}  // namespace vantrel::gui
