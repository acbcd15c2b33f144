#include "BrowserRuntime.h"

#include "BrowserCookies.h"
#include "BrowserProfile.h"

#include <QCoreApplication>
#include <QFile>

#include <unistd.h>

BrowserRuntime::BrowserRuntime(QString profileFolder, QString exportFolder, QObject* parent)
    : QObject(parent), m_profileFolder(std::move(profileFolder)), m_exportFolder(std::move(exportFolder)) {}

BrowserRuntime::~BrowserRuntime() {
    delete m_cookies;
    delete m_profile;
}

BrowserProfile* BrowserRuntime::profile() {
    if (!m_profile) {
        m_profile = new BrowserProfile(m_profileFolder);
        delete m_cookies;
        m_cookies = new BrowserCookies(m_profile, m_exportFolder);
    }
    return m_profile;
}

BrowserCookies& BrowserRuntime::cookies() {
    profile();
    return *m_cookies;
}

QCoro::Task<QString> BrowserRuntime::exportFor(QString address) {
    // The cookies kept from earlier runs are read with the profile.
    return cookies().exportFor(std::move(address));
}

void BrowserRuntime::discardExports() {
    if (m_cookies)
        m_cookies->discardExports();
    else
        BrowserCookies(nullptr, m_exportFolder).discardExports();
}

QCoro::Task<void> BrowserRuntime::clearAll() {
    // Even the data of a profile not opened in this run goes.
    return cookies().clearAll();
}

bool BrowserRuntime::turnSandboxOffForRoot() {
    if (geteuid() != 0)
        return false;
    if (qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX") ||
        qEnvironmentVariable("QTWEBENGINE_CHROMIUM_FLAGS").contains(QLatin1String("--no-sandbox")))
        return false;
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    return true;
}

void BrowserRuntime::keepShaderCachesInside() {
    QCoreApplication::setAttribute(Qt::AA_DisableShaderDiskCache);
    if (!qEnvironmentVariableIsSet("MESA_SHADER_CACHE_DIR"))
        qputenv("MESA_SHADER_CACHE_DIR",
                QFile::encodeName(BrowserProfile::defaultRootFolder() + QStringLiteral("/shader-cache")));
}

QString BrowserRuntime::sandboxOffNote() {
    return QStringLiteral("Running as root: the built-in browser runs without its sandbox.");
}
