#include "BrowserProfile.h"

#include <QCoro/QCoroTimer>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QWebEngineCookieStore>
#include <QWebEnginePage>
#include <QWebEngineProfile>

#include <chrono>

using namespace std::chrono_literals;

namespace {

QString generationName(int number) {
    return QStringLiteral("profile-%1").arg(number);
}

} // namespace

BrowserProfile::BrowserProfile(QString rootFolder, QObject* parent) : QObject(parent) {
    if (rootFolder.isEmpty())
        rootFolder = defaultRootFolder();
    QString error;
    m_root = PrivateFolder::open(rootFolder, &error);
    if (!m_root) {
        qWarning("Browser data will not be kept: %s", qPrintable(error));
        startGeneration(0);
        return;
    }
    // The highest generation is the current one; lower ones are left over from a wipe that was cut short.
    static const QRegularExpression pattern(QStringLiteral("^profile-(\\d{1,9})$"));
    int current = 0;
    const QStringList names = m_root->entries();
    for (const QString& name : names) {
        const QRegularExpressionMatch m = pattern.match(name);
        if (m.hasMatch())
            current = std::max(current, m.captured(1).toInt());
    }
    for (const QString& name : names) {
        const QRegularExpressionMatch m = pattern.match(name);
        if (m.hasMatch() && m.captured(1).toInt() != current)
            QDir(m_root->filePath(name)).removeRecursively();
    }
    startGeneration(std::max(current, 1));
    if (m_root) {
        m_rootWatcher.addPath(m_root->path());
        connect(&m_rootWatcher, &QFileSystemWatcher::directoryChanged, this, &BrowserProfile::sweepRetired);
    }
}

void BrowserProfile::sweepRetired() {
    for (const QString& folder : std::as_const(m_retired)) {
        if (QFileInfo::exists(folder))
            QDir(folder).removeRecursively();
    }
}

BrowserProfile::~BrowserProfile() {
    releasePages();
    delete m_mirror;
    delete m_profile;
}

QString BrowserProfile::defaultRootFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
           QStringLiteral("/browser");
}

QString BrowserProfile::storageFolder() const {
    return m_root ? m_root->filePath(generationName(m_generation)) : QString();
}

void BrowserProfile::startGeneration(int number) {
    std::optional<PrivateFolder> folder;
    if (m_root) {
        QString error;
        folder = m_root->subFolder(generationName(number), &error);
        if (!folder) {
            qWarning("Browser data will not be kept: %s", qPrintable(error));
            m_root.reset();
        }
    }
    m_generation = number;
    if (folder) {
        const QString name = QStringLiteral("vamber-%1").arg(generationName(number));
        m_profile = new QWebEngineProfile(name);
        m_profile->setPersistentStoragePath(folder->path());
        m_profile->setCachePath(folder->filePath(QStringLiteral("cache")));
        m_profile->setHttpCacheType(QWebEngineProfile::DiskHttpCache);
        m_profile->setPersistentCookiesPolicy(QWebEngineProfile::AllowPersistentCookies);
        // Making a named profile writes its preferences (a media device salt) in the web engine's own
        // default place before our folder is set; nothing of the browser may stay outside our folder.
        const QString engineFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
                                     QStringLiteral("/QtWebEngine");
        if (engineFolder + QLatin1Char('/') + name != folder->path()) {
            QDir(engineFolder + QLatin1Char('/') + name).removeRecursively();
            QDir().rmdir(engineFolder); // only when nothing else is in it
        }
    } else {
        m_profile = new QWebEngineProfile();
    }
    const bool keepSession =
        m_profile->persistentCookiesPolicy() == QWebEngineProfile::ForcePersistentCookies;
    m_mirror = new CookieMirror(m_profile->cookieStore(), std::move(folder), keepSession);
}

QWebEnginePage* BrowserProfile::createPage(QObject* parent) {
    m_pages.removeIf([](const QPointer<QWebEnginePage>& p) { return p.isNull(); });
    auto* page = new QWebEnginePage(m_profile, parent);
    m_pages.append(page);
    return page;
}

void BrowserProfile::releasePages() {
    const QList<QPointer<QWebEnginePage>> pages = std::exchange(m_pages, {});
    for (const QPointer<QWebEnginePage>& page : pages)
        delete page.data();
}

bool BrowserProfile::hasOpenFilesUnder(const QString& folder) {
    const QString prefix = folder + QLatin1Char('/');
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& fd : fds.entryList(QDir::System | QDir::NoDotAndDotDot)) {
        const QString target = QFileInfo(fds.filePath(fd)).symLinkTarget();
        if (target == folder || target.startsWith(prefix))
            return true;
    }
    return false;
}

QCoro::Task<bool> BrowserProfile::renew() {
    QPointer<BrowserProfile> self(this);
    Q_EMIT aboutToRenew();
    releasePages();

    QWebEngineProfile* old = std::exchange(m_profile, nullptr);
    const QString oldFolder = storageFolder();
    m_mirror->abandon();
    delete std::exchange(m_mirror, nullptr);
    startGeneration(m_generation + 1);
    Q_EMIT renewed();

    // Nothing uses the old profile any more: its pages are gone and new pages go to the fresh one.
    old->cookieStore()->deleteAllCookies();
    old->clearHttpCache();
    old->clearAllVisitedLinks();
    delete old;
    if (oldFolder.isEmpty())
        co_return true;

    // The web engine closes its databases a little after the profile is gone; remove the folder once it
    // has, so that no late write brings a file back.
    for (int i = 0; i < 200 && hasOpenFilesUnder(oldFolder); ++i) {
        co_await QCoro::sleepFor(50ms);
        if (!self)
            co_return false;
    }
    for (int attempt = 0; attempt < 5; ++attempt) {
        QDir(oldFolder).removeRecursively();
        if (!QFileInfo::exists(oldFolder)) {
            m_retired.append(oldFolder);
            co_return true;
        }
        co_await QCoro::sleepFor(100ms);
        if (!self)
            co_return false;
    }
    qWarning("Cannot remove the old browser data in %s", qPrintable(oldFolder));
    co_return false;
}
