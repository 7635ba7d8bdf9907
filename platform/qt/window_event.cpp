#include "platform/qt/window_event.h"

#include <QCoreApplication>
#include <mutex>

namespace {
// Guards the target against a post racing with the receiver's destruction: once
// the destructor has cleared it under the lock, no post can reach the object.
std::mutex targetMutex;
WindowEventReceiver* target = nullptr;
}  // namespace

WindowEvent::WindowEvent(int id, long param1, long param2)
    : QEvent(eventType()), id_(id), param1_(param1), param2_(param2) {}

QEvent::Type WindowEvent::eventType() {
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

WindowEventReceiver::WindowEventReceiver(QObject* parent) : QObject(parent) {
    std::lock_guard<std::mutex> g(targetMutex);
    target = this;
}

WindowEventReceiver::~WindowEventReceiver() {
    std::lock_guard<std::mutex> g(targetMutex);
    if (target == this) target = nullptr;
    // QObject's destructor then removes what is still queued for this object.
}

bool WindowEventReceiver::event(QEvent* e) {
    if (e->type() != WindowEvent::eventType()) return QObject::event(e);
    const auto* we = static_cast<WindowEvent*>(e);
    handleWindowEvent(we->id(), we->param1(), we->param2());
    return true;
}

bool postWindowEvent(int id, long param1, long param2) {
    std::lock_guard<std::mutex> g(targetMutex);
    if (!target) return false;
    QCoreApplication::postEvent(target, new WindowEvent(id, param1, param2));
    return true;
}
