// The program's worker threads (crawlers, analysers, captures, the HTML report): started detached, counted, so
// that the end of the program can give them a moment to stop and tests can wait until all have ended.
#pragma once

#include <chrono>
#include <functional>

namespace vantrel::gui {

// Runs job on a new thread; the handle is not kept.
void StartWorker(std::function<void()> job);

// Number of workers still running.
int RunningWorkers();

// Waits until no worker runs or the timeout has passed; true when none runs. Does not process events: a worker
// that waits for the user-interface thread must have been released (its gate closed) before.
bool WaitForWorkers(std::chrono::milliseconds timeout);

}  // namespace vantrel::gui
