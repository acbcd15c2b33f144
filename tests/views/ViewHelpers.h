#pragma once

// Small helpers of the download and row tests, on top of the view fixture.

#include "JobStates.h"
#include "Strings.h"
#include "ViewFixture.h"
#include "kit/Theme.h"

#include <QWidget>

// Shows `widget` at `size` and waits until it is exposed, so layouts and show events have run.
inline bool showAt(QWidget* widget, QSize size) {
    widget->resize(size);
    widget->show();
    return QTest::qWaitForWindowExposed(widget);
}

// A job in the state `kind` (and `message` when failed), not started.
inline std::shared_ptr<Job> jobIn(Job::State::Kind kind,
                                  const QString& url = QStringLiteral("https://example.com/v"),
                                  const QString& message = {}) {
    auto job = std::make_shared<Job>(url, FormatChoice{}, QStringLiteral("A title"), false);
    putInState(*job, kind == Job::State::Failed ? Job::State::failed(message) : Job::State{kind, {}});
    return job;
}
