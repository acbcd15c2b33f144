#pragma once

#include "BrowserCookiesService.h"

#include <QObject>
#include <QPointer>
#include <QString>

class BrowserProfile;

// The built-in browser's cookies for the engine: exports a site's cookies as a Netscape cookie file in a
// private per-user folder, removes those files, and wipes all of the browser's website data.
class BrowserCookies : public QObject, public BrowserCookiesService {
    Q_OBJECT
public:
    // An empty exportFolder means defaultExportFolder().
    explicit BrowserCookies(BrowserProfile* profile, QString exportFolder = {}, QObject* parent = nullptr);

    // "vamber-browser-cookies" in the user's runtime folder, or a per-user folder in the temporary
    // folder when there is no runtime folder.
    static QString defaultExportFolder();
    const QString& exportFolder() const { return m_exportFolder; }

    QCoro::Task<QString> exportFor(QString address) override;
    void discardExports() override;
    QCoro::Task<void> clearAll() override;

private:
    QPointer<BrowserProfile> m_profile;
    QString m_exportFolder;
};
