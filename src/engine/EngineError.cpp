#include "EngineError.h"

QString EngineError::emptyReplyText() {
    return QStringLiteral("Réponse vide du moteur.");
}

QString EngineError::unknownErrorText() {
    return QStringLiteral("Erreur inconnue du moteur.");
}
