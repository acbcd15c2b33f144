#include "transcription/TranscriptionRowContent.h"

#include "AppModel.h"
#include "Fraction.h"
#include "Job.h"
#include "Library.h"
#include "Strings.h"
#include "TranscriptionJob.h"
#include "Transcriptions.h"

#include <cmath>

QString TranscriptionRowContent::captionOf(const TranscriptionJob& job) {
    using State = TranscriptionJob::State;
    switch (job.state()) {
    case State::Queued:
        return Strings::text(QStringLiteral("note_transcribe_queued"));
    case State::Running: {
        const double fraction = unitFraction(job.fraction());
        const double estimate = job.estimateSeconds();
        // A linear estimate; an estimate the engine could not make counts as nothing left.
        const double remaining = std::isfinite(estimate) ? std::max(0.0, estimate * (1 - fraction)) : 0.0;
        return Strings::text(QStringLiteral("note_transcribing"),
                             {{QStringLiteral("percent"), QString::number(percentOf(fraction))},
                              {QStringLiteral("remaining"), Job::duration(remaining)}});
    }
    case State::Failed: {
        const std::optional<QString>& message = job.message();
        return message && !message->isEmpty() ? *message : Strings::text(QStringLiteral("status_error"));
    }
    case State::Cancelled:
        return Strings::text(QStringLiteral("status_cancelled"));
    case State::Done:
        return Strings::text(QStringLiteral("status_done"));
    case State::Other:
        break;
    }
    return job.otherState();
}

TranscriptionRowContent TranscriptionRowContent::of(const TranscriptionJob& job) {
    TranscriptionRowContent c;
    const bool active = job.isUnderWay();
    c.showsProgress = active;
    c.fraction = unitFraction(job.fraction());
    c.caption = captionOf(job);
    c.failed = job.state() == TranscriptionJob::State::Failed;
    if (active)
        c.controls.push_back(Control::Cancel);
    if (job.transcriptPath() && !job.transcriptPath()->isEmpty())
        c.controls.push_back(Control::Reveal);
    c.controls.push_back(Control::Remove);
    return c;
}

QString TranscriptionRowContent::labelKey(Control control) {
    switch (control) {
    case Control::Cancel:
        return QStringLiteral("button_cancel");
    case Control::Reveal:
        return QStringLiteral("button_finder");
    case Control::Remove:
        return QStringLiteral("button_remove");
    }
    return {};
}

QString TranscriptionRowContent::symbol(Control control) {
    switch (control) {
    case Control::Cancel:
        return {};
    case Control::Reveal:
        return QStringLiteral("folder");
    case Control::Remove:
        return QStringLiteral("trash");
    }
    return {};
}

void TranscriptionRowContent::trigger(AppModel& model, const std::shared_ptr<TranscriptionJob>& job,
                                      Control control) {
    if (!job)
        return;
    switch (control) {
    case Control::Cancel:
        model.transcriptionsPart().cancelTranscription(job);
        break;
    case Control::Reveal:
        if (job->transcriptPath() && !job->transcriptPath()->isEmpty())
            model.libraryPart().revealPath(*job->transcriptPath());
        break;
    case Control::Remove:
        model.transcriptionsPart().removeTranscription(job);
        break;
    }
}
