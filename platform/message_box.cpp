#include "platform/message_box.h"

#include <atomic>
#include <cstdio>

#include "platform/trace.h"

namespace {
std::atomic<MessageBoxHandler> installedHandler{nullptr};
}

void setMessageBoxHandler(MessageBoxHandler handler) {
    installedHandler.store(handler);
}

void showMessageBox(const std::string& title, const std::string& text) {
    traceLine("message box: " + title + ": " + text);
    if (MessageBoxHandler handler = installedHandler.load()) {
        handler(title, text);
        return;
    }
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
    std::fflush(stderr);
}
