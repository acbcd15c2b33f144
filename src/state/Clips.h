#pragma once

#include "ClipJob.h"
#include "EngineEvent.h"
#include "EngineTypes.h"

#include <QObject>

#include <QCoro/QCoroTask>

#include <memory>
#include <optional>

class AppModel;

// Clip suggestion and the one clip extraction the window follows.
class Clips : public QObject {
    Q_OBJECT
public:
    // Owned by `app`, which outlives it.
    explicit Clips(AppModel& app);

    QCoro::Task<std::optional<ClipSuggestion>> suggestClip(QString path, qint64 startMs, qint64 endMs,
                                                           bool audioOnly);
    // Replaces clipJob with a new extraction and starts it; an earlier one runs on unwatched.
    std::shared_ptr<ClipJob> extractClip(const QString& path, qint64 startMs, qint64 endMs, ClipMode mode,
                                         bool audioOnly);
    void cancelClip(const std::shared_ptr<ClipJob>& job);
    const std::shared_ptr<ClipJob>& clipJob() const { return m_clipJob; }

    // The event pump's share: "clip.state" and "clip.progress", for clipJob only.
    void apply(const EngineEvent::ClipState& event);
    void apply(const EngineEvent::ClipProgress& event);

Q_SIGNALS:
    void clipJobChanged();
    // An extraction wrote a new file (the library lists it once read again).
    void clipSaved();

private:
    AppModel& m_app;
    std::shared_ptr<ClipJob> m_clipJob;
};
