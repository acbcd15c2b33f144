#pragma once

#include "BrowserCookiesService.h"

#include <QObject>
#include <QString>

class BrowserCookies;
class BrowserProfile;

// The built-in browser's web profile and its cookie export, made on first use: starting the web engine
// costs memory and time that a run which never opens the browser, and never needs its cookies, should
// not pay. Cookie files are removed without waking the web engine.
class BrowserRuntime : public QObject, public BrowserCookiesService {
    Q_OBJECT
public:
    // Empty folders mean the defaults of BrowserProfile and BrowserCookies.
    explicit BrowserRuntime(QString profileFolder = {}, QString exportFolder = {}, QObject* parent = nullptr);
    ~BrowserRuntime() override;

    // The web engine will not start as root with its sandbox on: it ends the whole program. As root, and
    // unless the sandbox was already turned off, this turns it off for this process and says so (true).
    // Must run before the web engine and before any other thread exists: first thing in main().
    static bool turnSandboxOffForRoot();
    static QString sandboxOffNote();
    // The web view draws with OpenGL, whose shader caches would otherwise go to the user's cache folder:
    // Qt's is turned off, the GL driver's (Mesa) goes into the browser's private folder, unless the user
    // chose a place for it. Like turnSandboxOffForRoot(), first thing in main(), after the application's
    // name is set and before the application object exists.
    static void keepShaderCachesInside();

    // The profile, made now if it was not yet.
    BrowserProfile* profile();
    bool isStarted() const { return m_profile != nullptr; }

    QCoro::Task<QString> exportFor(QString address) override;
    void discardExports() override;
    QCoro::Task<void> clearAll() override;

private:
    BrowserCookies& cookies();

    QString m_profileFolder;
    QString m_exportFolder;
    BrowserProfile* m_profile = nullptr;
    BrowserCookies* m_cookies = nullptr;
};
