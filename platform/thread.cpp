#include "platform/thread.h"

#include <pthread.h>

#include <memory>

namespace {
void* threadMain(void* arg) {
    std::unique_ptr<std::function<void()>> fn(static_cast<std::function<void()>*>(arg));
    (*fn)();
    return nullptr;
}
}  // namespace

bool startDetachedThread(std::function<void()> fn) {
    pthread_attr_t attr;
    if (pthread_attr_init(&attr) != 0) return false;
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    auto* heapFn = new std::function<void()>(std::move(fn));
    pthread_t tid;
    const int rc = pthread_create(&tid, &attr, threadMain, heapFn);
    pthread_attr_destroy(&attr);
    if (rc != 0) {
        delete heapFn;
        return false;
    }
    return true;
}
