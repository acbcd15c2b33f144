#pragma once

#include "SettingFields.h"

#include <QString>

// The output format of the next single download, copied into each job when it is made.
struct FormatChoice {
    // What a choice holds before the user or a saved row says otherwise.
    static QString defaultQuality() { return Setting::quality.fallbackValue(); }
    static QString defaultContainer() { return Setting::container.fallbackValue(); }

    QString quality = defaultQuality();
    QString container = defaultContainer();
    QString videoCodec = Setting::videoCodec.fallbackValue();
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
