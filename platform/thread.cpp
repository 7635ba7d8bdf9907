#include "platform/thread.h"

#include <pthread.h>

#include <atomic>
#include <memory>

namespace {
void* threadMain(void* arg) {
    std::unique_ptr<std::function<void()>> fn(static_cast<std::function<void()>*>(arg));
    (*fn)();
    return nullptr;
}
}  // namespace

bool startDetachedThread(std::function<void()> fn, size_t stackBytes) {
    pthread_attr_t attr;
    if (pthread_attr_init(&attr) != 0) return false;
    size_t defaultStack = 0;
    pthread_attr_getstacksize(&attr, &defaultStack);
    if (stackBytes > defaultStack) pthread_attr_setstacksize(&attr, stackBytes);
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

unsigned long currentThreadNumber() {
    static std::atomic<unsigned long> next{1};
    thread_local unsigned long mine = next.fetch_add(1);
    return mine;
}
