#include <QApplication>
#include <string>
#include <vector>

#include "app/startup.h"
#include "platform/qt/app_setup.h"

int main(int argc, char** argv) {
    // QApplication takes its own options out of argv; the switches are read from
    // the untouched copy.
    const std::vector<std::string> args(argv, argv + argc);
    std::vector<const char*> argPointers;
    for (const std::string& a : args) argPointers.push_back(a.c_str());

    const int argCount = static_cast<int>(argPointers.size());

    prepareQtPlatform(argCount, argPointers.data());
    QApplication app(argc, argv);
    installQtServices();

    const int rc = prepareProcess(argCount, argPointers.data());
    if (rc != 0) return rc;
    return 0;
}
