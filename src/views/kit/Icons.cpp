#include "kit/Icons.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPixmapCache>
#include <QStandardPaths>

namespace Icons {

namespace {

QStringList list(std::initializer_list<const char*> names) {
    QStringList out;
    for (const char* n : names)
        out << QString::fromLatin1(n);
    return out;
}

} // namespace

const std::vector<Entry>& table() {
    static const std::vector<Entry> entries{
        {"arrow.down.circle", list({"download", "go-down"})},
        {"arrow.down", list({"go-down", "arrow-down"})},
        {"arrow.down.app", list({"download", "go-down"})},
        {"arrow.down.doc", list({"document-import", "download", "document-save"})},
        {"arrow.clockwise", list({"view-refresh"})},
        {"list.bullet", list({"view-list-details", "view-list-text"})},
        {"list.bullet.rectangle", list({"view-list-text", "view-list-details"})},
        {"text.quote", list({"view-list-text", "format-text-blockquote"})},
        {"text.magnifyingglass", list({"edit-find", "system-search"})},
        {"magnifyingglass", list({"system-search", "edit-find"})},
        {"square.grid.2x2", list({"view-grid", "view-list-icons"})},
        {"globe", list({"globe", "internet-web-browser", "applications-internet"})},
        {"gearshape", list({"configure", "settings-configure", "preferences-system"})},
        {"lock.fill", list({"object-locked", "lock"})},
        {"exclamationmark.triangle", list({"dialog-warning-symbolic", "emblem-warning", "dialog-warning"})},
        {"exclamationmark.triangle.fill", list({"emblem-warning", "dialog-warning"})},
        {"xmark", list({"window-close", "dialog-cancel"})},
        {"xmark.circle.fill", list({"dialog-cancel", "window-close"})},
        {"checkmark", list({"checkmark", "dialog-ok-apply"})},
        {"checkmark.circle.fill", list({"dialog-ok-apply", "checkmark", "emblem-checked"})},
        {"folder", list({"folder", "document-open-folder"})},
        {"questionmark.folder", list({"folder", "unknown"})},
        {"questionmark.circle", list({"help-contents", "system-help"})},
        {"info.circle", list({"help-about", "dialog-information"})},
        {"trash", list({"edit-delete"})},
        {"play.fill", list({"media-playback-start"})},
        {"pause.fill", list({"media-playback-pause"})},
        {"play.slash", list({"media-playback-stop"})},
        {"speaker.wave.2.fill", list({"audio-volume-high"})},
        {"speaker.slash.fill", list({"audio-volume-muted"})},
        {"star", list({"rating-unrated", "bookmark-new"})},
        {"star.fill", list({"rating", "bookmarks", "favorite"})},
        {"plus", list({"list-add"})},
        {"minus", list({"list-remove"})},
        {"scissors", list({"edit-cut"})},
        {"doc.on.doc", list({"edit-copy"})},
        {"doc.on.clipboard", list({"edit-paste"})},
        {"square.on.square", list({"window-duplicate", "edit-copy"})},
        {"clock", list({"clock", "chronometer"})},
        {"cpu", list({"preferences-devices-cpu", "cpu", "computer"})},
        {"tortoise", list({"kt-speed-limits", "speedometer"})},
        {"person.circle", list({"user-identity", "im-user"})},
        {"music.note", list({"audio-x-generic", "media-album-track"})},
        {"film", list({"video-x-generic", "video-television"})},
        {"photo", list({"image-x-generic"})},
        {"photo.artframe", list({"image-x-generic"})},
        {"eye", list({"visibility", "view-preview"})},
        {"captions.bubble", list({"media-view-subtitles-symbolic", "text-x-generic"})},
        {"sparkles", list({"tools-wizard", "games-hint"})},
        {"smallcircle.filled.circle", list({"media-record", "draw-circle"})},
        {"chevron.left", list({"go-previous"})},
        {"chevron.right", list({"go-next"})},
        {"chevron.compact.left", list({"go-previous"})},
        {"chevron.compact.right", list({"go-next"})},
        {"chevron.up.chevron.down", list({"view-sort", "go-up"})},
    };
    return entries;
}

void install() {
    static bool done = false;
    if (done)
        return;
    done = true;
    // Without a desktop platform (offscreen, a bare session) Qt searches only its resources.
    QStringList paths = QIcon::themeSearchPaths();
    const QStringList system = QStandardPaths::locateAll(
        QStandardPaths::GenericDataLocation, QStringLiteral("icons"), QStandardPaths::LocateDirectory);
    for (const QString& path : system) {
        if (!paths.contains(path))
            paths << path;
    }
    QIcon::setThemeSearchPaths(paths);
    QIcon::setFallbackThemeName(QStringLiteral("breeze"));
    const QString theme = QIcon::themeName();
    if (theme.isEmpty() || theme == QLatin1String("hicolor"))
        QIcon::setThemeName(QStringLiteral("breeze"));
}

QStringList names(const QString& symbol) {
    for (const Entry& e : table()) {
        if (symbol == QLatin1String(e.symbol))
            return e.names;
    }
    return {};
}

QIcon icon(const QString& symbol) {
    install();
    for (const QString& name : names(symbol)) {
        if (QIcon::hasThemeIcon(name))
            return QIcon::fromTheme(name);
    }
    return {};
}

QPixmap tinted(const QString& symbol, int size, const QColor& colour, qreal devicePixelRatio) {
    const QIcon source = icon(symbol);
    const QSize pixels(qRound(size * devicePixelRatio), qRound(size * devicePixelRatio));
    QPixmap out(pixels);
    out.fill(Qt::transparent);
    if (source.isNull()) {
        out.setDevicePixelRatio(devicePixelRatio);
        return out;
    }
    {
        QPainter painter(&out);
        painter.drawPixmap(out.rect(), source.pixmap(pixels));
        // Keep the shape, replace every colour: the symbol reads like text in any appearance.
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(out.rect(), colour);
    }
    out.setDevicePixelRatio(devicePixelRatio);
    return out;
}

QPixmap cachedTinted(const QString& symbol, int size, const QColor& colour, qreal devicePixelRatio) {
    install();
    const QString key = QLatin1String("vamber.symbol/") + symbol + u'/' + QString::number(size) + u'/' +
                        colour.name(QColor::HexArgb) + u'/' + QString::number(devicePixelRatio) + u'/' +
                        QIcon::themeName() + u'/' + QIcon::fallbackThemeName();
    QPixmap pixmap;
    if (!QPixmapCache::find(key, &pixmap)) {
        pixmap = tinted(symbol, size, colour, devicePixelRatio);
        QPixmapCache::insert(key, pixmap);
    }
    return pixmap;
}

} // namespace Icons
