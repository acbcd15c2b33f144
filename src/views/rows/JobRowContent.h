#pragma once

#include <QString>

#include <array>
#include <memory>

class AppModel;
class Job;

// What a job row shows for a job as it is now: the caption, the progress bar and the four icons. The
// row widget and the list delegate both draw from it, so they never disagree.
struct JobRowContent {
    enum class Progress { None, Indeterminate, Determinate };
    // The four icons, left to right.
    enum class Action { Primary, Reveal, Cancel, Remove };
    static constexpr int actionCount = 4;

    struct Icon {
        QString symbol;   // a symbol name of the icon table
        QString labelKey; // text key of its label and tooltip
        bool enabled = true;
    };

    QString statusKey;
    QString detail;
    Progress progress = Progress::None;
    double fraction = 0; // within 0…1
    bool failed = false;
    std::array<Icon, actionCount> icons;

    static JobRowContent of(const Job& job);

    // "status · detail", or the status alone when there is no detail.
    QString caption() const;

    // Runs an icon's action for the job as it is at the moment of the click; a disabled one does nothing.
    static void trigger(AppModel& model, const std::shared_ptr<Job>& job, Action action);
};
