#pragma once

#include "BrowserCookiesService.h"

#include <QMap>
#include <QObject>
#include <QStringList>

// Exports the file the test set for a host ("" otherwise); records every call. Like the real cookie jar
// it never answers at once: an export finishes on a later turn of the event loop, or, while holdExports
// is set, when release() is called.
class FakeBrowserCookies : public QObject, public BrowserCookiesService {
    Q_OBJECT
public:
    QMap<QString, QString> filesByHost; // lower-case host -> path
    QStringList exportedFor;
    int discards = 0;
    int clears = 0;
    bool holdExports = false;
    bool fail = false; // exports and clearing throw once they resume
    int finishedExports = 0;

    QCoro::Task<QString> exportFor(QString address) override;
    void discardExports() override { ++discards; }
    QCoro::Task<void> clearAll() override;

    // Lets every held export finish.
    void release() { Q_EMIT released(); }

Q_SIGNALS:
    void released();
};
