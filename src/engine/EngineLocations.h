#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <optional>

// Where the engine's interpreter and script are looked for, and what the child inherits. The
// application uses forApplication(); tests point the folders at temporary ones.
struct EngineLocations {
    // The install prefix (the "bundle"): an interpreter below it may need PYTHONHOME.
    QString bundleDir;
    // Folder of the application's executable; empty when unknown.
    QString executableDir;
    // <prefix>/share/vamber; empty when unknown.
    QString resourcesDir;
    // The development checkout (holds Engine/).
    QString developmentRoot;
    // Passed to the engine as VAMBER_APP_VERSION; empty gives no variable.
    QString appVersion;
    // The environment the child starts from.
    QProcessEnvironment environment;

    static EngineLocations forApplication();

    // Interpreter candidates in search order (also the list reported when none is usable).
    QStringList pythonCandidates() const;
    // The first candidate that is an executable file; throws EngineLaunchError::pythonNotFound.
    QString locatePython() const;
    // The engine script, or nothing.
    std::optional<QString> locateServer() const;
    // True when the path lies below bundleDir, comparing whole path components.
    bool isInsideBundle(const QString& path) const;
    // The child's environment for the given interpreter.
    QProcessEnvironment childEnvironment(const QString& python) const;
};
