#pragma once

#include "EngineTypesLibrary.h"

#include <QString>

#include <optional>

class AppModel;

// The transcribe button of a library row for a media file without a transcript: transcribe it, first get
// a speech model (or show that one is coming), or say that this machine cannot transcribe.
struct TranscribeSlot {
    enum class Look { Icon, Progress };

    Look look = Look::Icon;
    QString symbol = QStringLiteral("text.quote");
    QString labelKey = QStringLiteral("button_transcribe");
    std::optional<QString> helpKey;
    bool enabled = true;
    double fraction = 0; // of the default model's download, for Progress

    static TranscribeSlot of(const AppModel& model);
    // What a click does for `item`: transcribe it, or ask for the default model; nothing when disabled.
    static void trigger(AppModel& model, const LibraryItem& item);
};
