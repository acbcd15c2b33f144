#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

// What the transcript player opens: a search hit (its passage and excerpt) or a library item played
// from the beginning (both bounds 0, no excerpt).
struct PlayerTarget {
    QString mediaPath;
    QString title;
    qint64 startMs = 0;
    qint64 endMs = 0;
    std::optional<QString> excerpt; // with its highlight marks; absent differs from empty

    // Two hits in one file at one start share an id.
    QString id() const { return mediaPath + u'#' + QString::number(startMs); }

    friend bool operator==(const PlayerTarget&, const PlayerTarget&) = default;
};
