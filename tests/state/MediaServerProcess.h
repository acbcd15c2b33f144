#pragma once

// The local media server of serve_media.py, run as a child for the end-to-end state tests.

#include "SourceDir.h"
#include <QDeadlineTimer>
#include <QProcess>
#include <QStringList>

class MediaServerProcess {
public:
    MediaServerProcess() {
        m_process.setProgram(QStringLiteral("/usr/bin/python3"));
        m_process.setArguments({QStringLiteral(VAMBER_SOURCE_DIR "/tests/state/serve_media.py"),
                                QStringLiteral(VAMBER_SOURCE_DIR "/Engine/tests")});
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    }
    ~MediaServerProcess() {
        m_process.kill();
        m_process.waitForFinished(5000);
    }

    // Starts the server and reads its addresses; the first run generates the video, so it may take long.
    bool start() {
        m_process.start();
        if (!m_process.waitForStarted())
            return false;
        const QStringList served = readLine().split(u' ');
        if (served.size() != 3)
            return false;
        page = served[0];
        size = served[1].toLongLong();
        heldVideo = served[2];
        return page.startsWith(QLatin1String("http://127.0.0.1:"));
    }

    // Sends one command and returns its answer line.
    QString command(const QString& line) {
        m_process.write(line.toUtf8() + '\n');
        return readLine();
    }

    // Closes the server's input; true when it then ended cleanly.
    bool finish() {
        m_process.closeWriteChannel();
        return m_process.waitForFinished(10000) && m_process.exitCode() == 0;
    }

    QString page;      // a page embedding a video served in about a second
    qint64 size = 0;   // the video's size in bytes
    QString heldVideo; // the same video, held after half its bytes until command("open")

private:
    QString readLine() {
        QDeadlineTimer deadline(60000);
        while (!m_process.canReadLine() && !deadline.hasExpired())
            m_process.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
        return QString::fromUtf8(m_process.readLine()).trimmed();
    }

    QProcess m_process;
};
