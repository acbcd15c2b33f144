#include "BrowserCookies.h"

#include "BrowserProfile.h"
#include "NetscapeCookieFile.h"
#include "PrivateFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

#include <unistd.h>

BrowserCookies::BrowserCookies(BrowserProfile* profile, QString exportFolder, QObject* parent)
    : QObject(parent), m_profile(profile),
      m_exportFolder(exportFolder.isEmpty() ? defaultExportFolder() : std::move(exportFolder)) {}

QString BrowserCookies::defaultExportFolder() {
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty())
        return runtime + QStringLiteral("/vamber-browser-cookies");
    return QDir::tempPath() + QStringLiteral("/vamber-browser-cookies-%1").arg(::geteuid());
}

QCoro::Task<QString> BrowserCookies::exportFor(QString address) {
    const QString host = NetscapeCookieFile::cookieHost(address);
    if (host.isEmpty() || !m_profile)
        co_return QString();

    QList<QNetworkCookie> matching;
    for (const QNetworkCookie& cookie : m_profile->cookies().cookies()) {
        if (NetscapeCookieFile::domainMatchesHost(cookie.domain(), host))
            matching.append(cookie);
    }
    if (matching.isEmpty())
        co_return QString();

    QString error;
    const std::optional<PrivateFolder> folder = PrivateFolder::open(m_exportFolder, &error);
    if (!folder) {
        qWarning("No cookie file written: %s", qPrintable(error));
        co_return QString();
    }
    // The file is named after the host as the address shows it, without the port.
    const QString name = NetscapeCookieFile::fileNameForHost(QUrl(address).host().toLower());
    if (!folder->writeFile(name, NetscapeCookieFile::text(matching)))
        co_return QString();
    co_return folder->filePath(name);
}

void BrowserCookies::discardExports() {
    // A folder that is missing or refused holds nothing of ours; it is not created just to be emptied.
    if (!QFileInfo(m_exportFolder).isDir())
        return;
    if (const std::optional<PrivateFolder> folder = PrivateFolder::open(m_exportFolder))
        folder->removeEntriesStartingWith(QString::fromLatin1(NetscapeCookieFile::filePrefix));
}

QCoro::Task<void> BrowserCookies::clearAll() {
    if (m_profile)
        co_await m_profile->renew();
}
