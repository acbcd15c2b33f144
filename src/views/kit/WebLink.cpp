#include "kit/WebLink.h"

#include <QDesktopServices>

namespace WebLink {

namespace {

std::function<bool(const QUrl&)>& opener() {
    static std::function<bool(const QUrl&)> current;
    return current;
}

} // namespace

std::optional<QUrl> openable(const QString& address) {
    const QUrl url(address.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return std::nullopt;
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return std::nullopt;
    return url;
}

bool open(const QString& address) {
    const std::optional<QUrl> url = openable(address);
    if (!url)
        return false;
    if (opener())
        return opener()(*url);
    return QDesktopServices::openUrl(*url);
}

void setOpener(std::function<bool(const QUrl&)> replacement) {
    opener() = std::move(replacement);
}

QString supportPage() {
    return QStringLiteral("https://vamber.app/support");
}

} // namespace WebLink
