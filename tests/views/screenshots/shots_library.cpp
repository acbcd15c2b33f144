// The Library tab: empty, fifty items of every kind with pictures, each category, an open group, a
// selection with its removal alert, search hits with highlighted excerpts, missing files, and the window's
// minimum size.
#include "Shots.h"

#include "Library.h"
#include "LibrarySeed.h"
#include "kit/RowListView.h"
#include "library/LibraryPane.h"
#include "library/LibraryPaneModel.h"

#include <QDir>
#include <QImage>
#include <QJsonArray>
#include <QPainter>
#include <QTimer>

namespace {

// A picture per hue, so that rows do not all look alike and a wrongly cropped one shows.
QString picture(const QString& folder, int hue) {
    const QString path = folder + QStringLiteral("/picture-%1.png").arg(hue);
    if (!QFile::exists(path)) {
        QDir().mkpath(folder);
        QImage image(320, 180, QImage::Format_RGB32);
        QPainter p(&image);
        QLinearGradient g(0, 0, 320, 180);
        g.setColorAt(0, QColor::fromHsv(hue % 360, 150, 170));
        g.setColorAt(1, QColor::fromHsv((hue + 60) % 360, 170, 90));
        p.fillRect(image.rect(), g);
        p.setBrush(QColor(255, 255, 255, 200));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(160, 90), 34, 34);
        p.end();
        image.save(path);
    }
    return path;
}

bool touch(const QString& path) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("media") == 5;
}

const QStringList titles{
    QStringLiteral("Harbour lights at dusk, a slow walk along the old quay"),
    QStringLiteral("Interview: building a boat by hand"),
    QStringLiteral("Morning birdsong in the beech wood"),
    QStringLiteral("How the tide tables are computed"),
    QStringLiteral("Night ferry crossing (full recording)"),
    QStringLiteral("A short history of lighthouses"),
    QStringLiteral("Rain on the tin roof"),
    QStringLiteral("Knots every sailor should know"),
    QStringLiteral("Lecture 3: waves and currents"),
    QStringLiteral("The fish market at five in the morning"),
};
const QStringList channels{QStringLiteral("Coastal Stories"), QStringLiteral("Sea & Sky"), QString(),
                           QStringLiteral("Harbour Radio")};
const QStringList playlists{QStringLiteral("Summer on the coast"), QString(), QStringLiteral("Lectures"),
                            QString()};

// Fifty items of every kind, a fifth of them with a saved thumbnail; `missing` of them have lost their file.
QJsonArray library(ShotContext& c, int count, int missing) {
    const QString media = c.fixture.path(QStringLiteral("media"));
    const QString pictures = c.fixture.path(QStringLiteral("pictures"));
    const QStringList kinds{QStringLiteral("video"), QStringLiteral("audio"), QStringLiteral("video"),
                            QStringLiteral("short")};
    QJsonArray items;
    for (int i = 0; i < count; ++i) {
        const QString kind = kinds[i % kinds.size()];
        const QString extension =
            kind == QLatin1String("audio") ? QStringLiteral("m4a") : QStringLiteral("mp4");
        const QString path =
            media + QStringLiteral("/item %1.%2").arg(i, 2, 10, QLatin1Char('0')).arg(extension);
        if (i >= missing)
            touch(path);
        items.append(
            QJsonObject{{QStringLiteral("path"), path},
                        {QStringLiteral("title"), titles[i % titles.size()]},
                        {QStringLiteral("url"), QStringLiteral("https://media.example.org/watch/%1").arg(i)},
                        {QStringLiteral("kind"), kind},
                        {QStringLiteral("sizeBytes"), qint64(1'500'000) * (i + 1) + 734'000 * (i % 7)},
                        {QStringLiteral("thumbPath"),
                         kind == QLatin1String("audio") ? QString() : picture(pictures, i * 37)},
                        {QStringLiteral("channel"), channels[i % channels.size()]},
                        {QStringLiteral("playlist"), playlists[(i / 2) % playlists.size()]}});
        if (i % 5 == 0) {
            const QString thumb = picture(pictures, i * 37 + 180);
            items.append(QJsonObject{{QStringLiteral("path"), thumb},
                                     {QStringLiteral("title"), titles[i % titles.size()]},
                                     {QStringLiteral("kind"), QStringLiteral("thumbnail")},
                                     {QStringLiteral("sizeBytes"), qint64(QFileInfo(thumb).size())},
                                     {QStringLiteral("parent"), path}});
        }
    }
    return items;
}

LibraryPane* seeded(ShotContext& c, int count = 50, int missing = 0) {
    seedLibrary(c.fixture.path(QStringLiteral("support")), library(c, count, missing));
    c.fixture.startEngine();
    // Transcription is available and a few transcripts are indexed: the footer shows.
    c.fixture.script(
        QStringLiteral("search.status"),
        QJsonObject{{QStringLiteral("result"),
                     QJsonObject{{QStringLiteral("documents"), 12},
                                 {QStringLiteral("segments"), 480},
                                 {QStringLiteral("sizeBytes"), 100000},
                                 {QStringLiteral("transcribed"),
                                  QJsonArray{c.fixture.path(QStringLiteral("media/item 02.mp4")),
                                             c.fixture.path(QStringLiteral("media/item 06.mp4"))}}}}},
        0);
    c.fixture.bootIn(c.language);
    c.waitFor([&] {
        return !c.model().libraryPart().libraryHasMore() && !c.model().libraryPart().libraryLoading();
    });
    return new LibraryPane(&c.model(), {});
}

void choose(LibraryPane* pane, LibraryCategory category) {
    pane->rows()->setCategory(category);
}

const ShotOptions unbooted{.boot = false};

const ShotRegistration empty("library-empty",
                             [](ShotContext& c) -> QWidget* { return new LibraryPane(&c.model(), {}); });

const ShotRegistration items(
    "library-items", [](ShotContext& c) -> QWidget* { return seeded(c); }, unbooted);

const ShotRegistration minimum("library-items-minimum", [](ShotContext& c) -> QWidget* { return seeded(c); },
                               {.size = {900 - 200, 620}, .boot = false});

struct CategoryShot {
    const char* name;
    LibraryCategory category;
};

const ShotRegistration video(
    "library-video",
    [](ShotContext& c) -> QWidget* {
        LibraryPane* pane = seeded(c);
        choose(pane, LibraryCategory::Video);
        return pane;
    },
    unbooted);
const ShotRegistration audio(
    "library-audio",
    [](ShotContext& c) -> QWidget* {
        LibraryPane* pane = seeded(c);
        choose(pane, LibraryCategory::Audio);
        return pane;
    },
    unbooted);
const ShotRegistration shorts(
    "library-shorts",
    [](ShotContext& c) -> QWidget* {
        LibraryPane* pane = seeded(c);
        choose(pane, LibraryCategory::Shorts);
        return pane;
    },
    unbooted);
const ShotRegistration playlistsShot(
    "library-playlists",
    [](ShotContext& c) -> QWidget* {
        LibraryPane* pane = seeded(c);
        choose(pane, LibraryCategory::Playlists);
        return pane;
    },
    unbooted);
const ShotRegistration channelsShot(
    "library-channels",
    [](ShotContext& c) -> QWidget* {
        LibraryPane* pane = seeded(c);
        choose(pane, LibraryCategory::Channels);
        return pane;
    },
    unbooted);
const ShotRegistration thumbnails(
    "library-thumbnails",
    [](ShotContext& c) -> QWidget* {
        LibraryPane* pane = seeded(c);
        choose(pane, LibraryCategory::Thumbnails);
        return pane;
    },
    unbooted);

const ShotRegistration openGroup(
    "library-open-group",
    [](ShotContext& c) -> QWidget* {
        LibraryPane* pane = seeded(c);
        choose(pane, LibraryCategory::Channels);
        pane->rows()->setOpenGroup(QStringLiteral("Coastal Stories"));
        return pane;
    },
    unbooted);

const ShotRegistration selection(
    "library-selection-alert",
    [](ShotContext& c) -> QWidget* {
        LibraryPane* pane = seeded(c);
        QSet<QString> chosen;
        for (int row : {2, 3, 5})
            chosen.insert(pane->rows()->tagAt(row));
        pane->rows()->setSelection(chosen);
        pane->confirmRemoveSelected();
        return pane;
    },
    unbooted);

const ShotRegistration selectionBar(
    "library-selection",
    [](ShotContext& c) -> QWidget* {
        LibraryPane* pane = seeded(c);
        choose(pane, LibraryCategory::Playlists);
        pane->rows()->setSelection({QStringLiteral("group:Lectures")});
        return pane;
    },
    unbooted);

const ShotRegistration hits(
    "library-hits",
    [](ShotContext& c) -> QWidget* {
        LibraryPane* pane = seeded(c);
        auto hit = [&](int item, qint64 start, const QString& excerpt, bool exists) {
            const QString path =
                c.fixture.path(QStringLiteral("media/item %1.mp4").arg(item, 2, 10, QLatin1Char('0')));
            return QJsonObject{{QStringLiteral("mediaPath"), path},
                               {QStringLiteral("title"), titles[item % titles.size()]},
                               {QStringLiteral("language"), QStringLiteral("en")},
                               {QStringLiteral("startMs"), start},
                               {QStringLiteral("endMs"), start + 4000},
                               {QStringLiteral("excerpt"), excerpt},
                               {QStringLiteral("jsonPath"), path + QStringLiteral(".srt")},
                               {QStringLiteral("exists"), exists}};
        };
        c.fixture.script(
            QStringLiteral("search.query"),
            QJsonObject{
                {QStringLiteral("result"),
                 QJsonObject{
                     {QStringLiteral("query"), QStringLiteral("harbour")},
                     {QStringLiteral("hits"),
                      QJsonArray{hit(0, 65000,
                                     QString::fromUtf8("… and then we walked down to the \u2039harbour\u203a "
                                                       "where the boats <b>come in</b> at night, the "
                                                       "lights of the \u2039harbour\u203a reflected on "
                                                       "the water as far as one could see, and nobody "
                                                       "said a word for a long while …"),
                                     true),
                                 hit(2, 3725000,
                                     QString::fromUtf8("The old \u2039harbour\u203a master kept the "
                                                       "tide tables by hand."),
                                     true),
                                 hit(1, 12000, QString::fromUtf8("We sailed out of the \u2039harbour\u203a."),
                                     false)}}}}});
        c.model().libraryPart().setLibrarySearch(QStringLiteral("harbour"));
        c.model().libraryPart().scheduleSearch();
        c.fixture.fakes.clock.advance(Library::searchDebounceMs);
        c.waitFor([&] { return !c.model().libraryPart().searchHits().empty(); });
        return pane;
    },
    unbooted);

const ShotRegistration missing(
    "library-missing", [](ShotContext& c) -> QWidget* { return seeded(c, 12, 6); }, unbooted);

} // namespace

// The keyboard on a row: the list has the focus and draws its ring around the current row, one row
// checked beside it.
const ShotRegistration keyboard(
    "library-focused-row",
    [](ShotContext& c) -> QWidget* {
        LibraryPane* pane = seeded(c);
        pane->rows()->setSelection({pane->rows()->tagAt(3)});
        QTimer::singleShot(0, pane, [pane] {
            pane->activateWindow();
            pane->list()->setFocus(Qt::TabFocusReason);
            pane->list()->setCurrentRow(4);
        });
        return pane;
    },
    unbooted);

const ShotRegistration keyboardGroups(
    "library-focused-group",
    [](ShotContext& c) -> QWidget* {
        LibraryPane* pane = seeded(c);
        choose(pane, LibraryCategory::Playlists);
        QTimer::singleShot(0, pane, [pane] {
            pane->activateWindow();
            pane->list()->setFocus(Qt::TabFocusReason);
            pane->list()->setCurrentRow(1);
        });
        return pane;
    },
    unbooted);

// A filter that leaves nothing says so.
const ShotRegistration noMatch(
    "library-no-match",
    [](ShotContext& c) -> QWidget* {
        LibraryPane* pane = seeded(c);
        c.model().libraryPart().setLibrarySearch(QStringLiteral("zeppelin"));
        return pane;
    },
    unbooted);
