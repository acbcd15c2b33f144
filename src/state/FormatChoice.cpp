#include "FormatChoice.h"

#include "Strings.h"

#include <QStringList>

QString FormatChoice::summary() const {
    if (audioOnly)
        return Strings::text(QStringLiteral("summary_audio_only"));
    QStringList parts{quality, container};
    if (videoCodec != QLatin1String("Auto"))
        parts << videoCodec;
    if (subtitleMode != QLatin1String("off"))
        parts << Strings::text(QStringLiteral("summary_subtitles"));
    return parts.join(QStringLiteral("  \u00B7  "));
}

QString FormatChoice::subtitleLabel(const QString& mode) {
    static const char* const modes[] = {"off", "file", "embed", "both"};
    for (const char* m : modes) {
        if (mode == QLatin1String(m))
            return Strings::text(QStringLiteral("subs_") + mode);
    }
    return mode;
}
