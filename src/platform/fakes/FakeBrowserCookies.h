#pragma once

#include "BrowserCookiesService.h"

#include <QMap>
#include <QStringList>

// Exports the file the test set for a host ("" otherwise); records every call.
class FakeBrowserCookies : public BrowserCookiesService {
public:
    QMap<QString, QString> filesByHost; // lower-case host -> path
    QStringList exportedFor;
    int discards = 0;
    int clears = 0;

    QCoro::Task<QString> exportFor(QString address) override;
    void discardExports() override { ++discards; }
    QCoro::Task<void> clearAll() override {
        ++clears;
        co_return;
    }
};
