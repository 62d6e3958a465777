#include "platform/thread_wake.h"

#include <QMetaObject>
#include <QSocketNotifier>
#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

namespace tq50r::platform {

ThreadWake::ThreadWake(QObject* parent)
    : QObject(parent), fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (fd_) {
        notifier_ = new QSocketNotifier(fd_.get(), QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, &ThreadWake::takeWake);
    }
}

ThreadWake::~ThreadWake() {
    delete notifier_; // before the descriptor it watches
}

void ThreadWake::wake() {
    if (fd_) {
        const std::uint64_t one = 1;
        (void)!::write(fd_.get(), &one, sizeof one);
        return;
    }
    QMetaObject::invokeMethod(this, &ThreadWake::takeWake, Qt::QueuedConnection);
}

void ThreadWake::takeWake() {
    if (fd_) {
        std::uint64_t count = 0;
        (void)!::read(fd_.get(), &count, sizeof count);
    }
    emit woken();
}

} // namespace tq50r::platform
