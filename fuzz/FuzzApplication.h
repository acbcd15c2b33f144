#pragma once

// The application object the engine client needs (queued delivery runs through its event loop), made once
// per fuzzing process.

#include <QCoreApplication>

inline void ensureApplication() {
    static int argc = 1;
    static char name[] = "vamber-fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = new QCoreApplication(argc, argv);
    Q_UNUSED(app);
}

// Runs what was posted to the event loop (the client's queued deliveries and what they post in turn),
// without polling for input as processEvents() would.
inline void deliverPosted() {
    for (int i = 0; i < 3; ++i)
        QCoreApplication::sendPostedEvents();
}

// Stops the run with the input kept as a crash when a property does not hold.
#define FUZZ_ASSERT(condition, what)                                                                         \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            fprintf(stderr, "property broken: %s\n", what);                                                  \
            abort();                                                                                         \
        }                                                                                                    \
    } while (false)
