#pragma once

#include "PrivateFolder.h"

#include <QList>
#include <QNetworkCookie>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <optional>

class QWebEngineCookieStore;

// Our own copy of the browser's cookie jar. The web engine only reports cookies as they change
// (cookieAdded/cookieRemoved); the cookies it loads back from disk at start are never reported, so the
// copy is kept on disk beside the profile's own storage (owner-only) and read back at the next start.
class CookieMirror : public QObject {
    Q_OBJECT
public:
    static constexpr char fileName[] = "vamber-cookie-mirror.json";

    // Follows `store` from now on. With a folder, the copy saved there by an earlier run is read first;
    // cookies without an expiry are dropped from it unless the profile keeps them across runs, as the
    // web engine does. Without a folder the copy lives in memory only.
    CookieMirror(QWebEngineCookieStore* store, std::optional<PrivateFolder> folder, bool keepSessionCookies,
                 QObject* parent = nullptr);
    ~CookieMirror() override;

    // The cookies the browser holds now, in the order the store first reported them; expired ones are
    // left out.
    QList<QNetworkCookie> cookies() const;

    // Writes pending changes to disk now (they are otherwise written 200 ms after the first of them).
    void flush();
    // Stops following the store and forgets the copy without writing it (the storage is being wiped).
    void abandon();

Q_SIGNALS:
    void changed();

private:
    void add(const QNetworkCookie& cookie);
    void remove(const QNetworkCookie& cookie);
    void load(bool keepSessionCookies);
    void scheduleSave();

    QPointer<QWebEngineCookieStore> m_store;
    std::optional<PrivateFolder> m_folder;
    QList<QNetworkCookie> m_cookies;
    QTimer m_saveTimer;
    bool m_dirty = false;
};
