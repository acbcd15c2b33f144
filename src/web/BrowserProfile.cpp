#include "BrowserProfile.h"

#include <QCoreApplication>
#include <QCoro/QCoroTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QWebEngineCookieStore>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>

#include <chrono>

using namespace std::chrono_literals;

namespace {

QString generationName(int number) {
    return QStringLiteral("profile-%1").arg(number);
}

// A named profile of the web engine starts using the engine's own folder for that name,
// "<application data>/QtWebEngine/<name>", as it is made, before its storage path can be set: its
// preferences are written there, some of them later, from the engine's own threads. While it lives, this
// points the application's data location (made of the application's name) into `inside`, so that the
// engine's own folder lies there too and nothing reaches the user's data folder, whatever the timing.
class EngineDefaultsInside {
public:
    explicit EngineDefaultsInside(const QString& inside)
        : m_organization(QCoreApplication::organizationName()),
          m_application(QCoreApplication::applicationName()) {
        const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        const QString relative = QDir(base).relativeFilePath(inside);
        // The path must lead there whatever symbolic links lie on its way.
        const QString target = QFileInfo(inside).canonicalFilePath();
        if (target.isEmpty() || QFileInfo(base + QLatin1Char('/') + relative).canonicalFilePath() != target)
            return;
        QCoreApplication::setOrganizationName(QString());
        QCoreApplication::setApplicationName(relative);
        m_active = QFileInfo(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
                       .canonicalFilePath() == target;
        if (!m_active)
            restore();
    }
    ~EngineDefaultsInside() {
        if (m_active)
            restore();
    }
    EngineDefaultsInside(const EngineDefaultsInside&) = delete;
    EngineDefaultsInside& operator=(const EngineDefaultsInside&) = delete;
    bool active() const { return m_active; }

private:
    void restore() {
        QCoreApplication::setOrganizationName(m_organization);
        QCoreApplication::setApplicationName(m_application);
    }

    QString m_organization;
    QString m_application;
    bool m_active = false;
};

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
    // The highest generation folder is the current one. Lower ones, their markers and retired folders are
    // left over from earlier wipes: no web engine of this run has used them, so they go for good now.
    static const QRegularExpression pattern(QStringLiteral("^profile-(\\d{1,9})$"));
    int current = 0;
    const QStringList names = m_root->entries();
    for (const QString& name : names) {
        const QRegularExpressionMatch m = pattern.match(name);
        if (m.hasMatch() && QFileInfo(m_root->filePath(name)).isDir())
            current = std::max(current, m.captured(1).toInt());
    }
    for (const QString& name : names) {
        const QRegularExpressionMatch m = pattern.match(name);
        const bool stale = m.hasMatch() ? m.captured(1).toInt() != current : name.startsWith(retiredPrefix());
        if (stale)
            removeEntry(m_root->filePath(name));
    }
    startGeneration(std::max(current, 1));
}

QString BrowserProfile::retiredPrefix() {
    return QStringLiteral("retired-");
}

bool BrowserProfile::removeEntry(const QString& path) {
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink())
        return QDir(path).removeRecursively();
    return QFile::remove(path) || !info.exists();
}

std::optional<QString> BrowserProfile::closeOff(const QString& folder) const {
    const QString moved = m_root->filePath(retiredPrefix() + QFileInfo(folder).fileName());
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (QFileInfo(folder).isDir() && !QDir().rename(folder, moved))
            return std::nullopt;
        QFile marker(folder);
        if (marker.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return moved;
        // A late write recreated the folder between the two steps: the folder moved first goes at once,
        // and the new one is moved aside in its turn.
        removeEntry(moved);
    }
    return std::nullopt;
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
        EngineDefaultsInside defaults(folder->path());
        if (defaults.active()) {
            m_profile = new QWebEngineProfile(name);
        } else {
            qWarning("Browser data will not be kept: the web engine's own folder cannot be put inside %s",
                     qPrintable(folder->path()));
            folder.reset();
            m_root.reset();
        }
    }
    if (folder) {
        m_profile->setPersistentStoragePath(folder->path());
        m_profile->setCachePath(folder->filePath(QStringLiteral("cache")));
        m_profile->setHttpCacheType(QWebEngineProfile::DiskHttpCache);
        m_profile->setPersistentCookiesPolicy(QWebEngineProfile::AllowPersistentCookies);
    } else {
        m_profile = new QWebEngineProfile();
    }
    // Pop-ups a script opens on its own are blocked; windows opened by the user's click become tabs.
    m_profile->settings()->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
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

    // Nothing uses the old profile any more: its pages are gone and new pages go to the fresh one. Its
    // data goes with its folder (or its memory): no clearing is asked of it first, since the web engine
    // would still be at such work on its own threads when the profile is deleted.
    delete old;
    if (oldFolder.isEmpty())
        co_return true;

    // The web engine goes on writing for a while after the profile is gone (its databases close late,
    // its shader cache may even be created then), by path. The folder is moved aside and an empty file
    // takes its name at once, so no late write can bring the folder back; the moved folder is removed
    // once the engine has closed the files it still holds there.
    const std::optional<QString> moved = closeOff(oldFolder);
    if (!moved) {
        qWarning("Cannot set the old browser data in %s aside", qPrintable(oldFolder));
        removeEntry(oldFolder);
        co_return !QFileInfo(oldFolder).isDir();
    }
    for (int i = 0; i < 200 && hasOpenFilesUnder(*moved); ++i) {
        co_await QCoro::sleepFor(50ms);
        if (!self)
            co_return false;
    }
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (removeEntry(*moved))
            co_return true;
        co_await QCoro::sleepFor(100ms);
        if (!self)
            co_return false;
    }
    // The data is out of the browser's reach; the next start removes what is left.
    qWarning("Cannot remove the old browser data in %s", qPrintable(*moved));
    co_return true;
}
