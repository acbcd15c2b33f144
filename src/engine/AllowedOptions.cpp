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
    for (const QString& q : offered) {
        const qsizetype at = allQualities.indexOf(q);
        if (at >= 0 && at >= chosenAt)
            return q;
    }
    return offered.last();
}
