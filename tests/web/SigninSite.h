#pragma once

// The site of serve_signin.py, run as a child: a video served only to signed-in visitors on 127.0.0.1.

#include "SourceDir.h"
#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QStringList>

class SigninSite {
public:
    SigninSite() {
        m_process.setProgram(QStringLiteral("/usr/bin/python3"));
        m_process.setArguments({QStringLiteral(VAMBER_SOURCE_DIR "/tests/web/serve_signin.py"),
                                QStringLiteral(VAMBER_SOURCE_DIR "/Engine/tests")});
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    }
    ~SigninSite() {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    bool start() {
        m_process.start();
        if (!m_process.waitForStarted())
            return false;
        const QStringList served = readLine().split(u' ');
        if (served.size() != 2)
            return false;
        base = served[0];
        videoSize = served[1].toLongLong();
        return base.startsWith(QLatin1String("http://127.0.0.1:"));
    }

    QString url(const QString& path) const { return base + path; }

    // The GET requests for the video so far: {"cookie", "agent"} each.
    QJsonArray mediaRequests() {
        m_process.write("media\n");
        return QJsonDocument::fromJson(readLine().toUtf8()).array();
    }

    QString base;
    qint64 videoSize = 0;

private:
    QString readLine() {
        QDeadlineTimer deadline(60000);
        while (!m_process.canReadLine() && !deadline.hasExpired())
            m_process.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
        return QString::fromUtf8(m_process.readLine()).trimmed();
    }

    QProcess m_process;
};
