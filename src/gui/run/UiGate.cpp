#include "run/UiGate.h"

#include <QMetaObject>
#include <QSemaphore>
#include <QThread>

namespace vantrel::gui {
namespace {

struct Rendezvous {
    QSemaphore done;
    bool ran = false;
};

// Travels with the queued call: whether the call runs or is dropped unrun, destroying it wakes the worker.
class Releaser {
public:
    explicit Releaser(std::shared_ptr<Rendezvous> r) : r_(std::move(r)) {}
    ~Releaser() { r_->done.release(); }
    Releaser(const Releaser&) = delete;
    Releaser& operator=(const Releaser&) = delete;
    Rendezvous& r() { return *r_; }

private:
    std::shared_ptr<Rendezvous> r_;
};

}  // namespace

bool UiGate::Call(std::function<void()> fn) {
    if (QThread::currentThread() == target_->thread()) {
        if (Closed()) {
            return false;
        }
        fn();
        return true;
    }
    auto rendezvous = std::make_shared<Rendezvous>();
    {
        auto releaser = std::make_shared<Releaser>(rendezvous);
        std::lock_guard lock(mutex_);
        if (closed_) {
            return false;  // the releaser wakes nobody: this thread does not wait
        }
        QMetaObject::invokeMethod(
            target_,
            [self = shared_from_this(), fn = std::move(fn), releaser = std::move(releaser)] {
                if (!self->Closed()) {
                    fn();
                    releaser->r().ran = true;
                }
            },
            Qt::QueuedConnection);
    }
    rendezvous->done.acquire();
    return rendezvous->ran;
}

bool UiGate::Post(std::function<void()> fn) {
    std::lock_guard lock(mutex_);
    if (closed_) {
        return false;
    }
    QMetaObject::invokeMethod(
        target_,
        [self = shared_from_this(), fn = std::move(fn)] {
            if (!self->Closed()) {
                fn();
            }
        },
        Qt::QueuedConnection);
    return true;
}

void UiGate::Close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
}

bool UiGate::Closed() const {
    std::lock_guard lock(mutex_);
    return closed_;
}

}  // namespace vantrel::gui
