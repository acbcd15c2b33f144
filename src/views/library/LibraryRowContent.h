#pragma once

#include "EngineTypesLibrary.h"
#include "library/TranscribeSlot.h"

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

class AppModel;

// What a library row shows for an item as things are now: its facts, its first slot and its four icons.
// The painted row and its clicks both read it, so they never disagree.
struct LibraryRowContent {
    enum class First { Transcribe, Empty, DownloadAgain };
    // The slots, left to right: the first slot, then the four icons.
    enum class Action { First, Open, Reveal, Web, Remove };
    static constexpr int iconCount = 4;

    struct Icon {
        QString symbol;
        QString labelKey;
        bool enabled = true;
    };

    bool picture = false; // a saved thumbnail image rather than a media file
    bool missing = false;
    bool transcribed = false;
    QString channel;
    QString size; // empty for a size of 0
    First first = First::Empty;
    TranscribeSlot transcribe; // for First::Transcribe
    Icon downloadAgain;        // for First::DownloadAgain
    std::array<Icon, iconCount> icons;

    static LibraryRowContent of(const AppModel& model, const LibraryItem& item);
    // The title for the checkbox's accessible name: the path when there is no title.
    static QString accessibleTitle(const LibraryItem& item);
};
