#include "BrowserPage.h"

#include "PageView.h"

#include <QRegularExpression>

namespace {

template <typename T, typename Signal>
void assign(BrowserPage* page, T& field, const T& value, Signal changed) {
    if (field == value)
        return;
    field = value;
    Q_EMIT(page->*changed)();
}

QString addressText(const QUrl& url) {
    return url.isEmpty() ? QString() : url.toString(QUrl::FullyEncoded);
}

} // namespace

BrowserPage::BrowserPage(QObject* parent) : QObject(parent), m_id(QUuid::createUuid()) {}

void BrowserPage::setCurrentURL(const QString& url) {
    assign(this, m_currentURL, url, &BrowserPage::currentURLChanged);
}
void BrowserPage::setTitle(const QString& title) {
    assign(this, m_title, title, &BrowserPage::titleChanged);
}
void BrowserPage::setLoading(bool loading) {
    assign(this, m_loading, loading, &BrowserPage::isLoadingChanged);
}
void BrowserPage::setCanGoBack(bool canGoBack) {
    assign(this, m_canGoBack, canGoBack, &BrowserPage::canGoBackChanged);
}
void BrowserPage::setCanGoForward(bool canGoForward) {
    assign(this, m_canGoForward, canGoForward, &BrowserPage::canGoForwardChanged);
}
void BrowserPage::setPendingURL(const QString& url) {
    assign(this, m_pendingURL, url, &BrowserPage::pendingURLChanged);
}

void BrowserPage::attachView(PageView* view) {
    if (m_view == view)
        return;
    delete m_view.data();
    m_view = view;
    if (!view)
        return;
    view->setParent(this);
    if (isFollowing())
        connectView();
    if (!m_pendingURL.isEmpty()) {
        const QString address = m_pendingURL;
        setPendingURL(QString());
        load(address, std::nullopt);
    }
}

void BrowserPage::connectView() {
    PageView* view = m_view;
    connect(view, &PageView::loadingChanged, this, &BrowserPage::syncFromView);
    connect(view, &PageView::urlChanged, this, [this](const QUrl& url) { setCurrentURL(addressText(url)); });
    connect(view, &PageView::titleChanged, this, &BrowserPage::setTitle);
    connect(view, &PageView::historyChanged, this, [this] {
        setCanGoBack(m_view->canGoBack());
        setCanGoForward(m_view->canGoForward());
    });
    syncFromView(view->isLoading());
}

void BrowserPage::holdFollowing() {
    if (++m_followers == 1 && m_view)
        connectView();
}

void BrowserPage::releaseFollowing() {
    if (m_followers == 0)
        return;
    if (--m_followers == 0 && m_view)
        disconnect(m_view.data(), nullptr, this, nullptr);
}

void BrowserPage::syncFromView(bool loading) {
    setLoading(loading);
    setCurrentURL(addressText(m_view->url()));
    setTitle(m_view->title());
    setCanGoBack(m_view->canGoBack());
    setCanGoForward(m_view->canGoForward());
}

namespace {

// The text as an absolute address: unchanged when it is a valid URL as it stands, else percent-encoded
// where a browser would encode it. Nothing when even that is no absolute URL with a host (or a path, for
// schemes without hosts).
std::optional<QString> absoluteAddress(const QString& text) {
    const QUrl strict(text, QUrl::StrictMode);
    if (strict.isValid() && !strict.isRelative())
        return text;
    const QUrl tolerant(text, QUrl::TolerantMode);
    if (!tolerant.isValid() || tolerant.isRelative() ||
        (tolerant.host().isEmpty() && tolerant.path().isEmpty()))
        return std::nullopt;
    return tolerant.toString(QUrl::FullyEncoded);
}

// localhost, an IPv4 address or a bracketed IPv6 address, with or without a port and a path: reached
// over plain http, as browsers do, since such hosts rarely have a certificate.
bool isLocalOrNumericHost(const QString& text) {
    static const QRegularExpression local(
        QStringLiteral("^(localhost|\\d{1,3}(\\.\\d{1,3}){3}|\\[[0-9A-Fa-f:.]+\\])(:\\d{1,5})?([/?#].*)?$"),
        QRegularExpression::CaseInsensitiveOption);
    return local.match(text).hasMatch();
}

} // namespace

std::optional<QString> BrowserPage::addressFor(const QString& text, const std::optional<QString>& search) {
    const QString typed = text.trimmed();
    if (typed.isEmpty())
        return std::nullopt;
    std::optional<QString> address;
    if (typed.contains(QLatin1String("://"))) {
        address = absoluteAddress(typed);
    } else if (isLocalOrNumericHost(typed)) {
        address = absoluteAddress(QLatin1String("http://") + typed);
    } else if (typed.contains(QLatin1Char('.')) && !typed.contains(QLatin1Char(' '))) {
        const std::optional<QString> host = absoluteAddress(QLatin1String("https://") + typed);
        // A dotted word that makes no host (a tab inside, say) is not an address.
        if (host && !QUrl(*host).host().isEmpty())
            address = host;
    }
    if (address)
        return address;
    if (!search)
        return std::nullopt;
    // The query characters of RFC 3986 stay as typed; everything else is escaped per UTF-8 byte.
    return absoluteAddress(*search + QString::fromLatin1(QUrl::toPercentEncoding(typed, "!$&'()*+,;=:@/?")));
}

bool BrowserPage::load(const QString& text, const std::optional<QString>& search) {
    const auto address = addressFor(text, search);
    if (!address)
        return false;
    if (!m_view) {
        setPendingURL(*address);
        return true;
    }
    m_view->load(QUrl(*address, QUrl::TolerantMode));
    return true;
}
