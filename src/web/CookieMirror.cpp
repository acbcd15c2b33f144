#include "CookieMirror.h"

#include "JsonReader.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QWebEngineCookieStore>

namespace {

// One cookie as saved on disk. Name and value are bytes, kept exact through base64.
struct SavedCookie {
    QString name;
    QString value;
    QString domain;
    QString path;
    std::optional<qint64> expiresMs;
    bool secure = false;
    bool httpOnly = false;
    QString sameSite;

    static SavedCookie fromJson(const JsonReader& r) {
        return {r.req<QString>("name"),     r.req<QString>("value"),
                r.req<QString>("domain"),   r.req<QString>("path"),
                r.opt<qint64>("expiresMs"), r.req<bool>("secure"),
                r.req<bool>("httpOnly"),    r.opt<QString>("sameSite").value_or(QString())};
    }

    static SavedCookie of(const QNetworkCookie& c) {
        SavedCookie s;
        s.name = QString::fromLatin1(c.name().toBase64());
        s.value = QString::fromLatin1(c.value().toBase64());
        s.domain = c.domain();
        s.path = c.path();
        if (c.expirationDate().isValid())
            s.expiresMs = c.expirationDate().toMSecsSinceEpoch();
        s.secure = c.isSecure();
        s.httpOnly = c.isHttpOnly();
        switch (c.sameSitePolicy()) {
        case QNetworkCookie::SameSite::Lax:
            s.sameSite = QStringLiteral("Lax");
            break;
        case QNetworkCookie::SameSite::Strict:
            s.sameSite = QStringLiteral("Strict");
            break;
        case QNetworkCookie::SameSite::None:
            s.sameSite = QStringLiteral("None");
            break;
        case QNetworkCookie::SameSite::Default:
            break;
        }
        return s;
    }

    QJsonObject toJson() const {
        QJsonObject o;
        o.insert(QStringLiteral("name"), name);
        o.insert(QStringLiteral("value"), value);
        o.insert(QStringLiteral("domain"), domain);
        o.insert(QStringLiteral("path"), path);
        o.insert(QStringLiteral("expiresMs"), expiresMs ? QJsonValue(double(*expiresMs)) : QJsonValue());
        o.insert(QStringLiteral("secure"), secure);
        o.insert(QStringLiteral("httpOnly"), httpOnly);
        o.insert(QStringLiteral("sameSite"), sameSite);
        return o;
    }

    QNetworkCookie cookie() const {
        QNetworkCookie c(QByteArray::fromBase64(name.toLatin1()), QByteArray::fromBase64(value.toLatin1()));
        c.setDomain(domain);
        c.setPath(path);
        if (expiresMs)
            c.setExpirationDate(QDateTime::fromMSecsSinceEpoch(*expiresMs, Qt::UTC));
        c.setSecure(secure);
        c.setHttpOnly(httpOnly);
        if (sameSite == QLatin1String("Lax"))
            c.setSameSitePolicy(QNetworkCookie::SameSite::Lax);
        else if (sameSite == QLatin1String("Strict"))
            c.setSameSitePolicy(QNetworkCookie::SameSite::Strict);
        else if (sameSite == QLatin1String("None"))
            c.setSameSitePolicy(QNetworkCookie::SameSite::None);
        return c;
    }
};

struct SavedJar {
    std::vector<SavedCookie> cookies;
    static SavedJar fromJson(const JsonReader& r) { return {r.req<std::vector<SavedCookie>>("cookies")}; }
};

// The web engine keys a cookie by name, domain and path; a second report of the same key replaces it.
bool sameKey(const QNetworkCookie& a, const QNetworkCookie& b) {
    return a.name() == b.name() && a.domain().compare(b.domain(), Qt::CaseInsensitive) == 0 &&
           a.path() == b.path();
}

bool expired(const QNetworkCookie& c, const QDateTime& now) {
    return c.expirationDate().isValid() && c.expirationDate() <= now;
}

} // namespace

CookieMirror::CookieMirror(QWebEngineCookieStore* store, std::optional<PrivateFolder> folder,
                           bool keepSessionCookies, QObject* parent)
    : QObject(parent), m_store(store), m_folder(std::move(folder)) {
    m_saveTimer.setSingleShot(true);
    // A page load sets its cookies in a burst: one write for the lot. Destruction writes what is pending.
    m_saveTimer.setInterval(200);
    connect(&m_saveTimer, &QTimer::timeout, this, &CookieMirror::flush);
    load(keepSessionCookies);
    if (m_store) {
        connect(m_store, &QWebEngineCookieStore::cookieAdded, this, &CookieMirror::add);
        connect(m_store, &QWebEngineCookieStore::cookieRemoved, this, &CookieMirror::remove);
    }
}

CookieMirror::~CookieMirror() {
    flush();
}

QList<QNetworkCookie> CookieMirror::cookies() const {
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QList<QNetworkCookie> out;
    for (const QNetworkCookie& c : m_cookies) {
        if (!expired(c, now))
            out.append(c);
    }
    return out;
}

void CookieMirror::add(const QNetworkCookie& cookie) {
    for (QNetworkCookie& existing : m_cookies) {
        if (sameKey(existing, cookie)) {
            existing = cookie;
            scheduleSave();
            return;
        }
    }
    m_cookies.append(cookie);
    scheduleSave();
}

void CookieMirror::remove(const QNetworkCookie& cookie) {
    const qsizetype removed =
        m_cookies.removeIf([&](const QNetworkCookie& existing) { return sameKey(existing, cookie); });
    if (removed > 0)
        scheduleSave();
}

void CookieMirror::scheduleSave() {
    m_dirty = true;
    if (!m_saveTimer.isActive())
        m_saveTimer.start();
    Q_EMIT changed();
}

void CookieMirror::flush() {
    m_saveTimer.stop();
    if (!m_dirty || !m_folder)
        return;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QJsonArray list;
    for (const QNetworkCookie& c : m_cookies) {
        if (!expired(c, now))
            list.append(SavedCookie::of(c).toJson());
    }
    QJsonObject root;
    root.insert(QStringLiteral("cookies"), list);
    if (m_folder->writeFile(QString::fromLatin1(fileName),
                            QJsonDocument(root).toJson(QJsonDocument::Compact)))
        m_dirty = false;
    else
        qWarning("Cannot save the browser's cookie list in %s", qPrintable(m_folder->path()));
}

void CookieMirror::abandon() {
    if (m_store)
        disconnect(m_store, nullptr, this, nullptr);
    m_store = nullptr;
    m_saveTimer.stop();
    m_dirty = false;
    m_folder.reset();
    m_cookies.clear();
}

void CookieMirror::load(bool keepSessionCookies) {
    if (!m_folder)
        return;
    const std::optional<QByteArray> bytes = m_folder->readFile(QString::fromLatin1(fileName));
    if (!bytes)
        return;
    QJsonParseError parseError{};
    const QJsonDocument doc = QJsonDocument::fromJson(*bytes, &parseError);
    try {
        if (parseError.error != QJsonParseError::NoError)
            throw DecodeError({}, parseError.errorString());
        const SavedJar jar = decodeJson<SavedJar>(doc.object());
        const QDateTime now = QDateTime::currentDateTimeUtc();
        bool dropped = false;
        for (const SavedCookie& saved : jar.cookies) {
            const QNetworkCookie c = saved.cookie();
            if (expired(c, now) || (!keepSessionCookies && c.isSessionCookie()))
                dropped = true;
            else
                add(c);
        }
        m_dirty = dropped;
        if (!dropped)
            m_saveTimer.stop();
    } catch (const DecodeError& e) {
        qWarning("Ignoring the unreadable browser cookie list in %s: %s", qPrintable(m_folder->path()),
                 qPrintable(e.text()));
    }
}
