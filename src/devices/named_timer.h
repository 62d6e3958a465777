// The rooms' timers: each named as the window names it, with its interval, stopped until the
// room starts it, and its tick bound to the room's handler of that name.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

namespace tq50r::devices {

template <typename Room>
QTimer* makeNamedTimer(Room* room, const char* name, int intervalMs, void (Room::*handler)()) {
    auto* timer = new QTimer(room);
    timer->setObjectName(QString::fromLatin1(name));
    timer->setInterval(intervalMs);
    QObject::connect(timer, &QTimer::timeout, room, handler);
    return timer;
}

} // namespace tq50r::devices
