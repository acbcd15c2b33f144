#pragma once

// The screenshot registry. Each area adds its shots in a file of its own here, shots_<area>.cpp
// (web/shots_<area>.cpp for views that link the web engine), for example:
//
//     #include "Shots.h"
//     #include "download/DownloadPane.h"
//
//     static const ShotRegistration downloadEmpty("download-empty", [](ShotContext& c) -> QWidget* {
//         return new DownloadPane(c.model());
//     });
//     static const ShotRegistration downloadFailed("download-failed", [](ShotContext& c) -> QWidget* {
//         c.fixture.scriptError("analyze", 1, "No video found");    // put the state where it matters
//         c.model().compositionPart().setPastedText("https://example.test/v");
//         QCoro::waitFor(c.model().compositionPart().analyzeCurrent());
//         return new DownloadPane(c.model());
//     }, {.size = {900, 620}});
//
// `scripts/screenshots [filter…]` renders every shot whose name holds one of the filters, four times:
// light and dark, English and French, into build/screenshots/<name>-<light|dark>-<en|fr>.png. Each shot
// gets a fresh state object booted in the language against the stand-in engine (unless `boot` is false);
// the widget it returns is shown at `size` (the window's default unless given), and dialogs it opened
// (sheets, alerts) are drawn over it, centred, on a dimmed window.

#include "ViewFixture.h"

#include <QSize>
#include <QString>

#include <functional>
#include <vector>

class QWidget;

struct ShotContext {
    ViewFixture& fixture;
    QString language; // "en" or "fr"
    AppModel& model() { return *fixture.model; }
    // Waits until `done` holds (or the time is up); true when it held.
    bool waitFor(const std::function<bool()>& done, int timeoutMs = 5000);
};

struct ShotOptions {
    QSize size{1020, 700};
    // Boot the state object (and load the language's texts) before making the widget.
    bool boot = true;
    // Drawn only on a display (the web engine paints nothing offscreen): scripts/screenshots renders
    // these in a second pass under xvfb-run.
    bool needsDisplay = false;
};

struct Shot {
    QString name;
    std::function<QWidget*(ShotContext&)> make; // the caller owns the widget
    ShotOptions options;
};

std::vector<Shot>& shots();

struct ShotRegistration {
    ShotRegistration(QString name, std::function<QWidget*(ShotContext&)> make, ShotOptions options = {});
};
