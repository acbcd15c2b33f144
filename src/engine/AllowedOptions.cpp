#include "EngineTypesSession.h"

QStringList AllowedOptions::allQualitiesOfferedBy(const std::optional<QStringList>& offered) const {
    if (!offered || offered->isEmpty())
        return allQualities;
    QStringList kept;
    for (const QString& q : allQualities) {
        if (offered->contains(q))
            kept << q;
    }
    return kept.isEmpty() ? allQualities : kept;
}

std::optional<QString> AllowedOptions::qualityCappedBy(const QString& chosen,
                                                       const QStringList& offered) const {
    const qsizetype chosenAt = allQualities.indexOf(chosen);
    if (chosenAt < 0)
        return offered.isEmpty() ? std::nullopt : std::optional<QString>(offered.first());
    if (offered.isEmpty())
        return std::nullopt;
    // "audio" sorts below every video quality, but a video choice never turns into it.
    const QString audio = QStringLiteral("audio");
    const bool audioChosen = chosen == audio;
    for (const QString& q : offered) {
        if (q == audio && !audioChosen)
            continue;
        const qsizetype at = allQualities.indexOf(q);
        if (at >= 0 && at >= chosenAt)
            return q;
    }
    if (!audioChosen) {
        for (auto it = offered.crbegin(); it != offered.crend(); ++it) {
            if (*it != audio)
                return *it;
        }
    }
    return offered.last();
}
