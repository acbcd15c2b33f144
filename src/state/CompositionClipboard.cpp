// The clipboard's link offered to the empty download field when the application comes to the front.
#include "Composition.h"

#include "AppActivity.h"
#include "AppModel.h"
#include "ClipboardWatcher.h"
#include "Clock.h"
#include "Spawn.h"

void Composition::offerClipboardIfIdle() {
    // The user's own text is never replaced, and a running analysis is left to finish.
    if (!m_pastedText.isEmpty() || m_isAnalyzing)
        return;
    const std::optional<QString> link = ClipboardWatcher::newLink();
    if (!link)
        return;
    setPastedText(*link);
    spawn(this, [this]() -> QCoro::Task<void> { co_await analyzeCurrent(); });
}

void Composition::offerClipboardOnActivation() {
    offerClipboardIfIdle();
    // A newer activation replaces the rechecks of the one before.
    const int generation = ++m_clipboardRecheckGeneration;
    scheduleClipboardRecheck(generation, 1000, 2);
}

void Composition::scheduleClipboardRecheck(int generation, int delayMs, int left) {
    if (left <= 0)
        return;
    // The part is the timer's context: once it is gone, nothing runs.
    m_app.services().clock->singleShot(delayMs, this, [this, generation, left] {
        if (generation != m_clipboardRecheckGeneration)
            return;
        if (m_app.services().activity && !m_app.services().activity->isActive())
            return;
        offerClipboardIfIdle();
        scheduleClipboardRecheck(generation, 2000, left - 1);
    });
}
