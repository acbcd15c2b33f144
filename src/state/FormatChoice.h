#pragma once

#include <QString>

// The output format of the next single download, copied into each job when it is made.
struct FormatChoice {
    // What a choice holds before the user or a saved row says otherwise.
    static QString defaultQuality() { return QStringLiteral("1080p"); }
    static QString defaultContainer() { return QStringLiteral("MP4"); }

    QString quality = defaultQuality();
    QString container = defaultContainer();
    QString videoCodec = QStringLiteral("Auto");
    QString subtitleMode = QStringLiteral("off");
    bool audioOnly = false;
    bool saveThumbnail = false;
    bool embedCover = false;

    bool operator==(const FormatChoice&) const = default;

    // One line describing the choice, for the collapsed options block.
    QString summary() const;
    // The user-facing label of a subtitle mode; unknown modes come back unchanged.
    static QString subtitleLabel(const QString& mode);
};
