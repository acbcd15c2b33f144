#include "VamberURL.h"

#include <QStringDecoder>
#include <QUrlQuery>

using namespace Qt::StringLiterals;

namespace {
const QString scheme = u"vamber"_s;
const QString host = u"download"_s;

// QUrlQuery decodes what it is given, so a value holding "%20" or "%25" would come back changed: every
// value goes in fully percent-encoded.
QString encoded(const QString& value) {
    return QString::fromLatin1(QUrl::toPercentEncoding(value));
}

// The decoded text of a query part, or nothing when its bytes are not UTF-8.
std::optional<QString> decoded(const QString& part) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(QByteArray::fromPercentEncoding(part.toLatin1()));
    if (utf8.hasError())
        return std::nullopt;
    return text;
}

struct Item {
    QString name;
    std::optional<QString> value; // nothing when the item has no "=" (or its value is not UTF-8)
};

std::optional<Item> firstItem(const QList<std::pair<QString, QString>>& items, const QString& name) {
    for (const auto& [rawName, rawValue] : items) {
        const std::optional<QString> itemName = decoded(rawName);
        if (!itemName || *itemName != name)
            continue;
        if (rawValue.isNull())
            return Item{name, std::nullopt};
        return Item{name, decoded(rawValue)};
    }
    return std::nullopt;
}

std::optional<VamberURL::Target> parseDeepLink(const QUrl& url) {
    if (url.host().toLower() != host)
        return std::nullopt;
    const QUrlQuery query(url.query(QUrl::FullyEncoded));
    const auto items = query.queryItems(QUrl::FullyEncoded);
    const std::optional<Item> address = firstItem(items, u"url"_s);
    if (!address || !address->value || address->value->isEmpty())
        return std::nullopt;
    VamberURL::Target target{*address->value, QString()};
    if (const std::optional<Item> quality = firstItem(items, u"quality"_s); quality && quality->value)
        target.quality = quality->value->isNull() ? u""_s : *quality->value;
    return target;
}
} // namespace

std::optional<QUrl> VamberURL::deepLink(const QString& address, const QString& quality) {
    const QString trimmed = address.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    QUrlQuery query;
    query.addQueryItem(u"url"_s, encoded(trimmed));
    if (!quality.isEmpty())
        query.addQueryItem(u"quality"_s, encoded(quality));
    QUrl url;
    url.setScheme(scheme);
    url.setHost(host);
    url.setQuery(query);
    if (!url.isValid())
        return std::nullopt;
    return url;
}

std::optional<VamberURL::Target> VamberURL::parse(const QString& text) {
    // A URL has no blanks around it; such a text is not one.
    if (text.isEmpty() || text.trimmed() != text)
        return std::nullopt;
    const QUrl url(text);
    if (!url.isValid())
        return std::nullopt;
    const QString urlScheme = url.scheme().toLower();
    if (urlScheme == scheme)
        return parseDeepLink(url);
    // QUrl would lower-case the host and decode "%7E"; the address stays exactly as it was given.
    if (urlScheme == u"http"_s || urlScheme == u"https"_s)
        return Target{text, QString()};
    return std::nullopt;
}
