#pragma once

#include <QString>
#include <QStringList>

// What a file chooser offers for media, from the engine's list of media extensions: the engine's
// extensions are classified as sound or pictures by the desktop's MIME database, so a name that also
// belongs to something else (".ts" is a video stream and a translation catalogue) is still offered for
// the media it is, and nothing that is neither sound nor pictures ever is.
namespace MediaFilters {

// What an extension (".mp3" or "mp3", any case) may hold: ".ogg" is claimed by sound and by pictures,
// ".ts" by pictures (and by a text format, which does not count), ".ass" by neither.
struct Kinds {
    bool audio = false;
    bool video = false;
    friend bool operator==(const Kinds&, const Kinds&) = default;
};
Kinds kindsOf(const QString& extension);
// The MIME type of the media an extension names, sound before pictures; empty when it names neither.
QString typeOf(const QString& extension);

// "*.ext" patterns in lower case, in the engine's order, each once in a group; an extension that may hold
// either kind is in both kinds' groups.
struct Patterns {
    QStringList all; // every audio and video extension
    QStringList audio;
    QStringList video;
    friend bool operator==(const Patterns&, const Patterns&) = default;
};
Patterns patterns(const QStringList& extensions);

// Name filters for a file chooser, "Label (*.a *.b)": every kind first, then audio, then video; a group
// without patterns is left out, so no extension gives no filter (any file).
QStringList nameFilters(const Patterns& patterns, const QString& allLabel, const QString& audioLabel,
                        const QString& videoLabel);

} // namespace MediaFilters
