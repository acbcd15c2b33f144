#pragma once

#include <QString>

#include <memory>
#include <vector>

class AppModel;
class TranscriptionJob;

// What the row of one transcription shows, decided from the job alone: the caption by state, whether
// the progress bar shows, and which controls it offers, in their order. The painting delegate draws it
// and runs its controls through trigger().
struct TranscriptionRowContent {
    enum class Control { Cancel, Reveal, Remove };

    bool showsProgress = false;
    double fraction = 0; // within 0…1
    QString caption;
    bool failed = false;
    std::vector<Control> controls;

    static TranscriptionRowContent of(const TranscriptionJob& job);
    // The caption of `job` in the current language.
    static QString captionOf(const TranscriptionJob& job);
    // The key of a control's text (the cancel button's label, the icons' accessible names and tips).
    static QString labelKey(Control control);
    static QString symbol(Control control);
    static void trigger(AppModel& model, const std::shared_ptr<TranscriptionJob>& job, Control control);
};
