#pragma once
// The QApplication of a widget test on the offscreen platform, made on first
// use and kept for the life of the process. Header only, so the test support
// library itself needs no Qt: only tests that link Qt Widgets include it.
// Call from the test's main thread.

#include <stdlib.h>

#include <QApplication>

namespace testsupport {

inline QApplication& OffscreenApp() {
    static int argc = 1;
    static char name[] = "quendra-widget-test";
    static char* argv[] = {name, nullptr};
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static auto* app = new QApplication(argc, argv);
    return *app;
}

}  // namespace testsupport
