#include "EngineLocations.h"
#include "SourceDir.h"

#include "EngineLaunchError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

bool isExecutableFile(const QString& path) {
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

QString below(const QString& dir, const QString& rest) {
    return dir + rest;
}

} // namespace

EngineLocations EngineLocations::forApplication() {
    EngineLocations l;
    l.executableDir = QCoreApplication::applicationDirPath();
    l.bundleDir = QDir::cleanPath(l.executableDir + QStringLiteral("/../.."));
    l.resourcesDir = l.bundleDir + QStringLiteral("/share/vamber");
    l.developmentRoot = QStringLiteral(VAMBER_SOURCE_DIR);
    l.appVersion = QStringLiteral(VAMBER_VERSION);
    l.environment = QProcessEnvironment::systemEnvironment();
    return l;
}

QStringList EngineLocations::pythonCandidates() const {
    QStringList out;
    // A variable that is present is tried even when empty; an unset one is not.
    if (environment.contains(QStringLiteral("VAMBER_PYTHON")))
        out << environment.value(QStringLiteral("VAMBER_PYTHON"));
    if (!executableDir.isEmpty())
        out << below(executableDir, QStringLiteral("/python"));
    if (!resourcesDir.isEmpty())
        out << below(resourcesDir, QStringLiteral("/python/bin/python3"));
    out << below(developmentRoot, QStringLiteral("/Engine/venv/bin/python"));
    return out;
}

QString EngineLocations::locatePython() const {
    const QStringList candidates = pythonCandidates();
    for (const QString& c : candidates) {
        if (isExecutableFile(c))
            return c;
    }
    throw EngineLaunchError::pythonNotFound(candidates);
}

std::optional<QString> EngineLocations::locateServer() const {
    QStringList candidates;
    const QString fromEnv = environment.value(QStringLiteral("VAMBER_ENGINE_SERVER"));
    if (!fromEnv.isEmpty())
        candidates << fromEnv;
    if (!resourcesDir.isEmpty())
        candidates << below(resourcesDir, QStringLiteral("/engine/server.py"));
    candidates << below(developmentRoot, QStringLiteral("/Engine/server.py"));
    for (const QString& c : candidates) {
        if (QFileInfo::exists(c))
            return c;
    }
    return std::nullopt;
}

bool EngineLocations::isInsideBundle(const QString& path) const {
    if (bundleDir.isEmpty() || path.isEmpty())
        return false;
    const QString root = QDir::cleanPath(QDir(bundleDir).absolutePath());
    const QString p = QDir::cleanPath(QDir(path).absolutePath());
    if (root == QLatin1String("/"))
        return true;
    return p.startsWith(root + u'/');
}

QProcessEnvironment EngineLocations::childEnvironment(const QString& python) const {
    QProcessEnvironment env = environment;
    env.insert(QStringLiteral("PYTHONUNBUFFERED"), QStringLiteral("1"));
    env.insert(QStringLiteral("PYTHONDONTWRITEBYTECODE"), QStringLiteral("1"));
    if (!appVersion.isEmpty())
        env.insert(QStringLiteral("VAMBER_APP_VERSION"), appVersion);
    if (isInsideBundle(python) && !resourcesDir.isEmpty() &&
        QFileInfo::exists(resourcesDir + QStringLiteral("/lib/python3.12")))
        env.insert(QStringLiteral("PYTHONHOME"), resourcesDir);
    return env;
}
