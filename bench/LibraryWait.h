#pragma once

// Runs the event loop until `done` holds, looking again whenever the library or its loading flag changes.
// QTest::qWaitFor sleeps 10 ms between its looks, and every page of a reload takes a few turns of the loop,
// so a wait through it measures mostly its own sleeps.

#include "AppModel.h"
#include "Library.h"

#include <QEventLoop>
#include <QTimer>

#include <functional>

inline bool waitForLibrary(AppModel& model, const std::function<bool()>& done, int timeoutMs) {
    if (done())
        return true;
    QEventLoop loop;
    auto look = [&] {
        if (done())
            loop.quit();
    };
    QObject::connect(&model.libraryPart(), &Library::libraryChanged, &loop, look);
    QObject::connect(&model.libraryPart(), &Library::libraryLoadingChanged, &loop, look);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}
