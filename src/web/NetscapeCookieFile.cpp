#include "NetscapeCookieFile.h"

#include <QDateTime>
#include <QUrl>

namespace NetscapeCookieFile {

QString cookieHost(const QString& address) {
    const QUrl url(address);
    if (!url.isValid())
        return {};
    QString host = url.host(QUrl::EncodeUnicode).toLower();
    if (host.contains(QLatin1Char(':')))
        host = QLatin1Char('[') + host + QLatin1Char(']');
    return host;
}

bool domainMatchesHost(const QString& domain, const QString& host) {
    const QString d = domain.toLower();
    const QString h = host.toLower();
    if (h.isEmpty() || d.isEmpty())
        return false;
    if (d.startsWith(QLatin1Char('.')))
        return h == QStringView(d).mid(1) || h.endsWith(d);
    return h == d;
}

QString fileNameForHost(const QString& host) {
    QString name = QString::fromLatin1(filePrefix);
    for (const char32_t c : host.toLower().toUcs4()) {
        if (QChar::isLetterOrNumber(c) || c == U'.' || c == U'-')
            name += QString::fromUcs4(&c, 1);
        else
            name += QLatin1Char('_');
    }
    return name + QLatin1String(".txt");
}

QByteArray line(const QNetworkCookie& cookie) {
    const QString domain = cookie.domain();
    const QString path = cookie.path().isEmpty() ? QStringLiteral("/") : cookie.path();
    const QDateTime expiry = cookie.expirationDate();
    // Integer division cuts toward zero, before 1970 as well.
    const qint64 seconds = expiry.isValid() ? expiry.toMSecsSinceEpoch() / 1000 : 0;
    const char tab = '\t';
    QByteArray out;
    out += domain.toUtf8() + tab;
    out += (domain.startsWith(QLatin1Char('.')) ? "TRUE" : "FALSE") + QByteArray(1, tab);
    out += path.toUtf8() + tab;
    out += (cookie.isSecure() ? "TRUE" : "FALSE") + QByteArray(1, tab);
    out += QByteArray::number(seconds) + tab;
    out += cookie.name() + tab;
    out += cookie.value();
    return out;
}

QByteArray text(const QList<QNetworkCookie>& cookies) {
    QByteArray out = "# Netscape HTTP Cookie File\n"
                     "# Ecrit par le navigateur integre. Local a cet ordinateur.\n";
    for (const QNetworkCookie& cookie : cookies)
        out += line(cookie) + '\n';
    return out;
}

} // namespace NetscapeCookieFile
