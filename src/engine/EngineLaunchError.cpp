#include "EngineLaunchError.h"

#include "Strings.h"

#include <QMap>

EngineLaunchError EngineLaunchError::pythonNotFound(QStringList triedPaths) {
    EngineLaunchError e(Kind::PythonNotFound);
    e.m_triedPaths = std::move(triedPaths);
    return e;
}

EngineLaunchError EngineLaunchError::serverNotFound(QString path) {
    EngineLaunchError e(Kind::ServerNotFound);
    e.m_path = std::move(path);
    return e;
}

QString EngineLaunchError::textKey() const {
    switch (m_kind) {
    case Kind::PythonNotFound:
        return QStringLiteral("v2_engine_python_not_found");
    case Kind::ServerNotFound:
        return QStringLiteral("v2_engine_server_not_found");
    case Kind::NotRunning:
        return QStringLiteral("v2_engine_not_running");
    case Kind::SupportBusy:
        return QStringLiteral("v2_engine_support_busy");
    case Kind::OtherCopyRunning:
        return QStringLiteral("v2_engine_other_copy");
    case Kind::Stopped:
        return QStringLiteral("v2_engine_stopped");
    }
    return {};
}

QString EngineLaunchError::text() const {
    switch (m_kind) {
    case Kind::PythonNotFound: {
        const QMap<QString, QString> values{{QStringLiteral("paths"), m_triedPaths.join(u'\n')}};
        return Strings::text(textKey(), values);
    }
    case Kind::ServerNotFound: {
        const QMap<QString, QString> values{{QStringLiteral("path"), m_path}};
        return Strings::text(textKey(), values);
    }
    default:
        return Strings::text(textKey());
    }
}
