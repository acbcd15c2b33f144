#pragma once

// Short media files made with ffmpeg for the player tests: a test picture with a tone, encoded without
// B-frames so picture times are exact, and a tone alone.

#include <QDir>
#include <QProcess>
#include <QString>

namespace MediaFiles {

inline bool run(const QStringList& arguments) {
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 QStringList{QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"),
                             QStringLiteral("error"), QStringLiteral("-y")} +
                     arguments);
    return ffmpeg.waitForFinished(60000) && ffmpeg.exitStatus() == QProcess::NormalExit &&
           ffmpeg.exitCode() == 0;
}

// `seconds` of 320×240 at 25 pictures a second with a 440 Hz tone; empty when ffmpeg failed.
inline QString video(const QDir& dir, const QString& name, int seconds) {
    const QString path = dir.filePath(name);
    const QString length = QString::number(seconds);
    const bool ok = run({QStringLiteral("-f"),        QStringLiteral("lavfi"),
                         QStringLiteral("-i"),        QStringLiteral("testsrc2=size=320x240:rate=25"),
                         QStringLiteral("-f"),        QStringLiteral("lavfi"),
                         QStringLiteral("-i"),        QStringLiteral("sine=frequency=440:sample_rate=44100"),
                         QStringLiteral("-t"),        length,
                         QStringLiteral("-c:v"),      QStringLiteral("libx264"),
                         QStringLiteral("-bf"),       QStringLiteral("0"),
                         QStringLiteral("-g"),        QStringLiteral("25"),
                         QStringLiteral("-pix_fmt"),  QStringLiteral("yuv420p"),
                         QStringLiteral("-c:a"),      QStringLiteral("aac"),
                         QStringLiteral("-shortest"), path});
    return ok ? path : QString();
}

// `seconds` of a tone, no picture.
inline QString audio(const QDir& dir, const QString& name, int seconds) {
    const QString path = dir.filePath(name);
    const bool ok = run({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                         QStringLiteral("sine=frequency=440:sample_rate=44100"), QStringLiteral("-t"),
                         QString::number(seconds), QStringLiteral("-c:a"), QStringLiteral("aac"), path});
    return ok ? path : QString();
}

} // namespace MediaFiles
