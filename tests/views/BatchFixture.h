#pragma once

// Replies of "queue.resolve" and "listing.page" for the batch tests and shots, built as the engine
// writes them, and a way to resolve a pasted text against a scripted reply.

#include "DownloadQueue.h"
#include "ViewFixture.h"

#include <QJsonArray>
#include <QJsonObject>

namespace BatchJson {

inline QJsonObject entry(const QString& url, const QString& title, const QString& section = {}) {
    return QJsonObject{{QStringLiteral("url"), url},
                       {QStringLiteral("title"), title},
                       {QStringLiteral("thumbnail"), QString()},
                       {QStringLiteral("playlist"), QString()},
                       {QStringLiteral("channel"), QString()},
                       {QStringLiteral("duration"), 0.0},
                       {QStringLiteral("section"), section}};
}

// `count` entries named "<prefix> n" (from 1) at http://127.0.0.1:9/<prefix>/n, in `section`.
inline QJsonArray entries(const QString& prefix, int count, const QString& section = {}, int from = 1) {
    QJsonArray out;
    for (int i = from; i < from + count; ++i)
        out.append(entry(QStringLiteral("http://127.0.0.1:9/%1/%2").arg(prefix).arg(i),
                         QStringLiteral("%1 %2").arg(prefix).arg(i), section));
    return out;
}

inline QJsonObject section(const QString& name, const QString& source, int count) {
    return QJsonObject{
        {QStringLiteral("name"), name}, {QStringLiteral("source"), source}, {QStringLiteral("count"), count}};
}

inline QJsonObject note(const QString& input, const QString& reason, int count = -1, int shown = -1) {
    QJsonObject out{{QStringLiteral("input"), input}, {QStringLiteral("reason"), reason}};
    if (count >= 0)
        out.insert(QStringLiteral("count"), count);
    if (shown >= 0)
        out.insert(QStringLiteral("shown"), shown);
    return out;
}

inline QJsonObject listing(const QString& title, const QJsonArray& entries, const QJsonArray& sections = {},
                           const QJsonArray& notes = {}) {
    return QJsonObject{{QStringLiteral("title"), title},
                       {QStringLiteral("entries"), entries},
                       {QStringLiteral("sections"), sections},
                       {QStringLiteral("notes"), notes}};
}

inline QJsonObject resolution(const QJsonArray& singles, const QJsonArray& listings,
                              const QJsonArray& notes = {}, int pageSize = 50) {
    return QJsonObject{{QStringLiteral("result"), QJsonObject{{QStringLiteral("singles"), singles},
                                                              {QStringLiteral("listings"), listings},
                                                              {QStringLiteral("notes"), notes},
                                                              {QStringLiteral("pageSize"), pageSize}}}};
}

inline QJsonObject page(const QJsonArray& entries, bool exhausted) {
    return QJsonObject{{QStringLiteral("result"), QJsonObject{{QStringLiteral("entries"), entries},
                                                              {QStringLiteral("exhausted"), exhausted}}}};
}

// A channel of three sections: "Videos" (pageSize entries, pageable), "Shorts" (3 entries, pageable
// but short) and "Live" (2 entries, sent whole).
inline QJsonObject channel(int pageSize) {
    QJsonArray all = entries(QStringLiteral("Videos"), pageSize, QStringLiteral("Videos"));
    for (const auto& e : entries(QStringLiteral("Shorts"), 3, QStringLiteral("Shorts")))
        all.append(e);
    for (const auto& e : entries(QStringLiteral("Live"), 2, QStringLiteral("Live")))
        all.append(e);
    return listing(
        QStringLiteral("A channel"), all,
        QJsonArray{section(QStringLiteral("Videos"), QStringLiteral("http://127.0.0.1:9/videos"), pageSize),
                   section(QStringLiteral("Shorts"), QStringLiteral("http://127.0.0.1:9/shorts"), 3),
                   section(QStringLiteral("Live"), QString(), 2)});
}

} // namespace BatchJson

// Scripts the next "queue.resolve" with `reply` and resolves `text` through the state.
inline void resolveWith(ViewFixture& f, const QJsonObject& reply,
                        const QString& text = QStringLiteral("http://127.0.0.1:9/pasted")) {
    f.script(QStringLiteral("queue.resolve"), reply);
    QCoro::waitFor(f.model->queuePart().enqueuePasted(text));
}
