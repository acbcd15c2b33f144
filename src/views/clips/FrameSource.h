#pragma once

#include <QImage>
#include <QList>
#include <QObject>
#include <QString>

// Pictures of a media file at given times, for the trim timeline's strip. Work happens away from the GUI
// thread; results arrive as signals in the order of the times asked for, one per time: a picture or a
// failure. A new request (or cancel) drops the run before it: nothing of it arrives afterwards.
class FrameSource : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // `timesMs` in milliseconds from the start; pictures at most `maxHeight` pixels high (never enlarged).
    // Returns the run's number, which its signals carry.
    virtual int request(const QString& path, const QList<double>& timesMs, int maxHeight) = 0;
    virtual void cancel() = 0;

Q_SIGNALS:
    void frameReady(int run, int index, const QImage& image);
    void frameFailed(int run, int index);
    // Every time of the run was answered.
    void finished(int run);
};
