#pragma once

// A small description of a record's JSON shape, from which the decode tests generate every mutation
// (dropped keys, nulls, wrong types, fractional integers, one bad element per nested list).

#include "JsonReader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <algorithm>
#include <functional>
#include <optional>
#include <vector>

namespace schema {

enum class Kind { String, Bool, Int, Double, StringList, Record, RecordList, IntMap };

struct Schema;

struct Field {
    QString key;
    Kind kind;
    bool optional = false;
    const Schema* nested = nullptr; // for Record and RecordList
};

struct Schema {
    std::vector<Field> fields;
};

inline Field req(const char* key, Kind kind, const Schema* nested = nullptr) {
    return {QString::fromLatin1(key), kind, false, nested};
}
inline Field opt(const char* key, Kind kind, const Schema* nested = nullptr) {
    return {QString::fromLatin1(key), kind, true, nested};
}

// One generated variant of a fixture: either it must decode, or fail at `path` with `problem`.
struct Mutation {
    QString label;
    QJsonObject document;
    bool decodes = false;
    QString path;
    QString problem;
};

inline QString joinPath(const QString& prefix, const QString& key) {
    return prefix.isEmpty() ? key : prefix + u'.' + key;
}

// The sub-object mutations of a nested value are generated relative to it, then put back in place.
inline std::vector<Mutation> mutations(const Schema& s, const QJsonObject& fixture,
                                       const QString& prefix = {}) {
    std::vector<Mutation> out;
    auto with = [&](const QString& key, const QJsonValue& v) {
        QJsonObject o = fixture;
        o.insert(key, v);
        return o;
    };
    auto fails = [&](const QString& label, QJsonObject doc, const QString& path, const QString& problem) {
        out.push_back({label, std::move(doc), false, path, problem});
    };
    auto wrongType = [&](const Field& f, const QJsonValue& v, const char* expected, const char* found) {
        const QString p = joinPath(prefix, f.key);
        fails(p + QStringLiteral(" wrong type"), with(f.key, v), p,
              QStringLiteral("expected %1, found %2").arg(QLatin1String(expected), QLatin1String(found)));
    };

    for (const Field& f : s.fields) {
        const QString p = joinPath(prefix, f.key);
        QJsonObject dropped = fixture;
        dropped.remove(f.key);
        if (f.optional) {
            out.push_back({p + QStringLiteral(" absent"), dropped, true, {}, {}});
            out.push_back({p + QStringLiteral(" null"), with(f.key, QJsonValue::Null), true, {}, {}});
        } else {
            fails(p + QStringLiteral(" missing"), dropped, p, QStringLiteral("missing"));
            fails(p + QStringLiteral(" null"), with(f.key, QJsonValue::Null), p, QStringLiteral("null"));
        }
        const QJsonValue value = fixture.value(f.key);
        switch (f.kind) {
        case Kind::String:
            wrongType(f, 7, "string", "number");
            break;
        case Kind::Bool:
            wrongType(f, QStringLiteral("true"), "boolean", "string");
            wrongType(f, 1, "boolean", "number");
            break;
        case Kind::Int:
            wrongType(f, QStringLiteral("3"), "integer", "string");
            fails(p + QStringLiteral(" fractional"), with(f.key, 1.5), p,
                  QStringLiteral("expected integer, found 1.5"));
            break;
        case Kind::Double:
            wrongType(f, QStringLiteral("1.5"), "number", "string");
            break;
        case Kind::StringList: {
            wrongType(f, QStringLiteral("a"), "array", "string");
            QJsonArray a = value.toArray();
            const qsizetype last = a.size() - 1;
            const QString ep = p + u'[' + QString::number(last) + u']';
            a[last] = 5;
            fails(ep + QStringLiteral(" wrong type"), with(f.key, a), ep,
                  QStringLiteral("expected string, found number"));
            a[last] = QJsonValue::Null;
            fails(ep + QStringLiteral(" null"), with(f.key, a), ep, QStringLiteral("null"));
            break;
        }
        case Kind::Record:
            wrongType(f, QJsonArray{}, "object", "array");
            for (Mutation m : mutations(*f.nested, value.toObject(), p)) {
                m.document = with(f.key, m.document);
                out.push_back(std::move(m));
            }
            break;
        case Kind::RecordList: {
            wrongType(f, QJsonObject{}, "array", "object");
            const QJsonArray a = value.toArray();
            const qsizetype last = a.size() - 1;
            const QString ep = p + u'[' + QString::number(last) + u']';
            QJsonArray bad = a;
            bad[last] = 5;
            fails(ep + QStringLiteral(" wrong type"), with(f.key, bad), ep,
                  QStringLiteral("expected object, found number"));
            bad[last] = QJsonValue::Null;
            fails(ep + QStringLiteral(" null"), with(f.key, bad), ep, QStringLiteral("null"));
            for (Mutation m : mutations(*f.nested, a.at(last).toObject(), ep)) {
                bad[last] = m.document;
                m.document = with(f.key, bad);
                out.push_back(std::move(m));
            }
            break;
        }
        case Kind::IntMap: {
            wrongType(f, QJsonArray{}, "object", "array");
            QJsonObject m = value.toObject();
            const QString k = m.keys().last();
            const QString ep = joinPath(p, k);
            m.insert(k, 2.5);
            fails(ep + QStringLiteral(" fractional"), with(f.key, m), ep,
                  QStringLiteral("expected integer, found 2.5"));
            m.insert(k, QStringLiteral("9"));
            fails(ep + QStringLiteral(" wrong type"), with(f.key, m), ep,
                  QStringLiteral("expected integer, found string"));
            m.insert(k, QJsonValue::Null);
            fails(ep + QStringLiteral(" null"), with(f.key, m), ep, QStringLiteral("null"));
            break;
        }
        }
    }
    return out;
}

// The keys of the fixture against the schema at every level: no key the schema does not name, and
// every key (optionals included, with a value) in each object the mutations work on, so a schema cannot
// silently skip a field. Returns the first difference, or empty.
inline QString coverageGap(const Schema& s, const QJsonObject& fixture, const QString& prefix = {},
                           bool full = true) {
    for (const QString& key : fixture.keys()) {
        if (std::none_of(s.fields.begin(), s.fields.end(), [&](const Field& f) { return f.key == key; }))
            return joinPath(prefix, key) + QStringLiteral(": not in the schema");
    }
    for (const Field& f : s.fields) {
        const QString p = joinPath(prefix, f.key);
        const QJsonValue v = fixture.value(f.key);
        if (full && (v.isUndefined() || v.isNull()))
            return p + QStringLiteral(": the fixture needs a value");
        if (full && (f.kind == Kind::StringList || f.kind == Kind::RecordList || f.kind == Kind::IntMap)) {
            const bool empty = f.kind == Kind::IntMap ? v.toObject().isEmpty() : v.toArray().isEmpty();
            if (empty)
                return p + QStringLiteral(": the fixture needs an element to mutate");
        }
        if (f.kind == Kind::Record) {
            if (QString gap = coverageGap(*f.nested, v.toObject(), p, full); !gap.isEmpty())
                return gap;
        }
        if (f.kind == Kind::RecordList) {
            const QJsonArray a = v.toArray();
            for (qsizetype i = 0; i < a.size(); ++i)
                if (QString gap =
                        coverageGap(*f.nested, a.at(i).toObject(), p + u'[' + QString::number(i) + u']',
                                    full && i == a.size() - 1);
                    !gap.isEmpty())
                    return gap;
        }
    }
    return {};
}

// Adds an unknown key to every object of the fixture that the schema describes.
inline QJsonObject withUnknownKeys(const Schema& s, QJsonObject fixture) {
    for (const Field& f : s.fields) {
        if (f.kind == Kind::Record) {
            fixture.insert(f.key, withUnknownKeys(*f.nested, fixture.value(f.key).toObject()));
        } else if (f.kind == Kind::RecordList) {
            QJsonArray a = fixture.value(f.key).toArray();
            for (auto&& e : a)
                e = withUnknownKeys(*f.nested, e.toObject());
            fixture.insert(f.key, a);
        }
    }
    fixture.insert(QStringLiteral("unexpectedExtra"),
                   QJsonObject{{"nested", QJsonArray{1, "two", QJsonValue::Null}}});
    return fixture;
}

inline QJsonObject parseObject(const char* text) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray(text), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        qFatal("bad fixture: %s", qPrintable(error.errorString()));
    return doc.object();
}

} // namespace schema
