#pragma once
// Wakes the thread an object lives on from any other thread, through an eventfd that the owner's
// event loop watches. Used where a worker hands something to the GUI thread under its own lock:
// nothing is posted through Qt's queues, so no allocation crosses threads behind the back of
// thread checkers.
#include "base/unique_fd.h"

#include <QObject>

class QSocketNotifier;

namespace tq50r::platform {

class ThreadWake : public QObject {
    Q_OBJECT
public:
    explicit ThreadWake(QObject* parent = nullptr);
    ~ThreadWake() override;

    /// False when no eventfd could be made; wake() then posts through Qt's queue instead.
    bool hasDescriptor() const { return fd_.valid(); }
    /// Any thread: `woken` follows on the owner's thread (several wakes may merge into one).
    void wake();

signals:
    void woken();

private:
    void takeWake();

    base::UniqueFd fd_;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace tq50r::platform
