// The one way worker threads touch the window: a call carried out by the user-interface thread while the
// worker waits (a blocking queued call), or a queued call that does not wait.
//
// Workers keep the gate by shared pointer, never the window. When the window goes away it closes the gate
// first: from then on calls return false at once without running, and calls already queued are dropped with
// the window's events, which also releases their waiting workers. So a worker that outlives the window never
// touches a destroyed object and never waits forever.
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <mutex>

namespace vantrel::gui {

class UiGate : public std::enable_shared_from_this<UiGate> {
public:
    // target: an object of the user-interface thread whose lifetime bounds the calls (the main window).
    // Always held by shared pointer (the queued calls keep the gate alive).
    static std::shared_ptr<UiGate> Create(QObject* target) { return std::shared_ptr<UiGate>(new UiGate(target)); }

    // Runs fn on the user-interface thread and waits until it has run. Called on that thread itself, fn runs
    // directly. Returns false (fn not run) once the gate is closed.
    bool Call(std::function<void()> fn);

    // Queues fn for the user-interface thread and returns at once; false when the gate is closed.
    bool Post(std::function<void()> fn);

    // User-interface thread only: no call runs from now on.
    void Close();
    bool Closed() const;

private:
    explicit UiGate(QObject* target) : target_(target) {}

    mutable std::mutex mutex_;
    QObject* target_;
    bool closed_ = false;
};

}  // namespace vantrel::gui
