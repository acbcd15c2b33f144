#include "ClipboardWatcher.h"

#include "ClipboardSource.h"

#include <QTextBoundaryFinder>
#include <QUrl>

namespace {

struct WatcherState {
    ClipboardSource* source = nullptr;
    std::optional<qint64> lastSeenChangeCount; // set on first use
    std::optional<QString> lastOfferedLink;
};

WatcherState& state() {
    static WatcherState s;
    return s;
}

qint64 changeCount() {
    return state().source ? state().source->changeCount() : 0;
}

qint64& lastSeenChangeCount() {
    auto& s = state();
    if (!s.lastSeenChangeCount)
        s.lastSeenChangeCount = changeCount();
    return *s.lastSeenChangeCount;
}

int userVisibleLength(const QString& text, int stopAt) {
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
    int count = 0;
    while (graphemes.toNextBoundary() > 0 && count < stopAt)
        ++count;
    return count;
}

} // namespace

void ClipboardWatcher::setSource(ClipboardSource* source) {
    reset();
    state().source = source;
}

void ClipboardWatcher::reset() {
    state().lastSeenChangeCount.reset();
    state().lastOfferedLink.reset();
}

std::optional<QString> ClipboardWatcher::linkIn(const QString& raw) {
    constexpr int maxLength = 2047;
    const QString text = raw.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    if (!text.startsWith(QLatin1String("http://")) && !text.startsWith(QLatin1String("https://")))
        return std::nullopt;
    if (text.contains(QLatin1Char(' ')))
        return std::nullopt;
    // Every grapheme has at least one UTF-16 unit, so short texts need no counting.
    if (text.size() > maxLength && userVisibleLength(text, maxLength + 1) > maxLength)
        return std::nullopt;
    if (!QUrl(text, QUrl::StrictMode).isValid())
        return std::nullopt;
    return text;
}

std::optional<QString> ClipboardWatcher::currentLink() {
    const auto* source = state().source;
    const auto text = source ? source->text() : std::nullopt;
    return text ? linkIn(*text) : std::nullopt;
}

std::optional<QString> ClipboardWatcher::newLink() {
    const qint64 count = changeCount();
    qint64& lastSeen = lastSeenChangeCount();
    if (count == lastSeen)
        return std::nullopt;
    lastSeen = changeCount();
    const auto link = currentLink();
    if (!link)
        return std::nullopt;
    auto& lastOffered = state().lastOfferedLink;
    if (lastOffered && *lastOffered == *link)
        return std::nullopt;
    lastOffered = link;
    return link;
}

void ClipboardWatcher::markSeen() {
    lastSeenChangeCount() = changeCount();
    if (const auto link = currentLink())
        state().lastOfferedLink = link;
}
