#pragma once

#include <QDir>
#include <QTemporaryDir>

// Gives a web test program (and the programs it starts) folders of its own for temporary files and
// application data. The web engine still writes a few files while it shuts down, after the last test;
// made before the application and removed after it, the whole lot goes once the engine is done.
class TestHome {
public:
    TestHome() {
        const QString base = m_base.path();
        QDir().mkpath(base + QStringLiteral("/tmp"));
        QDir().mkpath(base + QStringLiteral("/data"));
        QDir().mkpath(base + QStringLiteral("/cache"));
        qputenv("TMPDIR", QFile::encodeName(base + QStringLiteral("/tmp")));
        qputenv("XDG_DATA_HOME", QFile::encodeName(base + QStringLiteral("/data")));
        qputenv("XDG_CACHE_HOME", QFile::encodeName(base + QStringLiteral("/cache")));
    }
    QString dataHome() const { return m_base.path() + QStringLiteral("/data"); }

private:
    QTemporaryDir m_base;
};
