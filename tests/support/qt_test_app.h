#pragma once
#include <QApplication>

// One QApplication for a whole test program, made on first use and never torn
// down (Qt objects of finished tests may still refer to it at exit).
inline QApplication& testApp() {
    static int argc = 1;
    static char name[] = "tervane-test";
    static char* argv[] = {name, nullptr};
    static auto* instance = new QApplication(argc, argv);
    return *instance;
}
