#pragma once

#include "EngineFailure.h"

#include <QString>
#include <QStringList>

// Why the engine cannot be used. The text follows the loaded text table.
class EngineLaunchError : public EngineFailure {
public:
    enum class Kind { PythonNotFound, ServerNotFound, NotRunning, SupportBusy, OtherCopyRunning, Stopped };

    static EngineLaunchError pythonNotFound(QStringList triedPaths);
    static EngineLaunchError serverNotFound(QString path);
    static EngineLaunchError notRunning() { return EngineLaunchError(Kind::NotRunning); }
    static EngineLaunchError supportBusy() { return EngineLaunchError(Kind::SupportBusy); }
    static EngineLaunchError otherCopyRunning() { return EngineLaunchError(Kind::OtherCopyRunning); }
    static EngineLaunchError stopped() { return EngineLaunchError(Kind::Stopped); }

    Kind kind() const { return m_kind; }
    // Every interpreter path tried, in search order (PythonNotFound only).
    const QStringList& triedPaths() const { return m_triedPaths; }
    // The missing script (ServerNotFound only).
    const QString& path() const { return m_path; }

    // The text key of this kind, e.g. "v2_engine_stopped".
    QString textKey() const;
    QString text() const override;

private:
    explicit EngineLaunchError(Kind kind) : m_kind(kind) {}

    Kind m_kind;
    QStringList m_triedPaths;
    QString m_path;
};
