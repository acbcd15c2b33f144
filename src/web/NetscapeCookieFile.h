#pragma once

#include <QByteArray>
#include <QList>
#include <QNetworkCookie>
#include <QString>

// The cookie file handed to the engine: the Netscape format, one tab-separated line per cookie.
namespace NetscapeCookieFile {

inline constexpr char filePrefix[] = "vamber-browser-cookies-";

// The host of an address the way cookie domains spell it (lower case, IDNA "xn--" form, IPv6 in
// brackets), or "" when the address does not parse or has no host.
QString cookieHost(const QString& address);

// A domain with a leading "." covers the domain itself and every host below it; any other domain
// covers only the identical host. Letter case does not matter.
bool domainMatchesHost(const QString& domain, const QString& host);

// "vamber-browser-cookies-<host>.txt", every character other than a letter, a number, "." or "-"
// turned into "_".
QString fileNameForHost(const QString& host);

// One line, without its line feed.
QByteArray line(const QNetworkCookie& cookie);

// The whole file: the two header lines, then one line per cookie, each ended by a line feed.
QByteArray text(const QList<QNetworkCookie>& cookies);

} // namespace NetscapeCookieFile
