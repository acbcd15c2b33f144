#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QMap>
#include <QString>
#include <QStringList>

#include <concepts>
#include <optional>
#include <stdexcept>
#include <vector>

// Strict decoding of engine records. A missing key, a null or a wrong JSON type in a required field
// fails the whole record with the key path ("items[2].title"); optionals accept absent or null; unknown
// keys are ignored; integer fields take only integral numbers that fit in 64 bits.
//
// A record opts in with `static T fromJson(const JsonReader& r)` and reads its fields in order:
//     static JobMeta fromJson(const JsonReader& r) {
//         return {r.req<QString>("jobId"), r.req<double>("duration"), r.opt<QString>("title")};
//     }

class DecodeError : public std::runtime_error {
public:
    DecodeError(QString path, QString problem);
    const QString& path() const { return m_path; }
    const QString& problem() const { return m_problem; }
    // "path: problem", or the problem alone at the top level.
    QString text() const;

private:
    QString m_path;
    QString m_problem;
};

class JsonReader;

template <class T>
struct JsonDecode; // specialised below; records are found through their fromJson

template <class T>
concept JsonRecord = requires(const JsonReader& r) {
    { T::fromJson(r) } -> std::same_as<T>;
};

namespace json_detail {
QString join(const QString& path, const QString& key);
QString index(const QString& path, qsizetype i);
QString typeName(const QJsonValue& v);
[[noreturn]] void fail(const QString& path, const QString& problem);
[[noreturn]] void wrongType(const QString& path, const char* expected, const QJsonValue& v);
} // namespace json_detail

class JsonReader {
public:
    JsonReader(QJsonObject object, QString path = {}) : m_object(std::move(object)), m_path(std::move(path)) {}

    // Reads a whole value as an object record, or fails naming the path.
    static JsonReader of(const QJsonValue& value, const QString& path = {});

    template <class T>
    T req(const QString& key) const {
        const QString p = json_detail::join(m_path, key);
        const auto it = m_object.constFind(key);
        if (it == m_object.constEnd())
            json_detail::fail(p, QStringLiteral("missing"));
        if (it->isNull())
            json_detail::fail(p, QStringLiteral("null"));
        return JsonDecode<T>::decode(*it, p);
    }

    template <class T>
    std::optional<T> opt(const QString& key) const {
        const auto it = m_object.constFind(key);
        if (it == m_object.constEnd() || it->isNull() || it->isUndefined())
            return std::nullopt;
        return JsonDecode<T>::decode(*it, json_detail::join(m_path, key));
    }

    bool has(const QString& key) const { return m_object.contains(key); }
    const QJsonObject& object() const { return m_object; }
    const QString& path() const { return m_path; }

private:
    QJsonObject m_object;
    QString m_path;
};

template <>
struct JsonDecode<QString> {
    static QString decode(const QJsonValue& v, const QString& path);
};
template <>
struct JsonDecode<bool> {
    static bool decode(const QJsonValue& v, const QString& path);
};
template <>
struct JsonDecode<double> {
    static double decode(const QJsonValue& v, const QString& path);
};
template <>
struct JsonDecode<qint64> {
    static qint64 decode(const QJsonValue& v, const QString& path);
};
template <>
struct JsonDecode<int> {
    static int decode(const QJsonValue& v, const QString& path);
};
template <>
struct JsonDecode<QJsonValue> {
    static QJsonValue decode(const QJsonValue& v, const QString&) { return v; }
};
template <>
struct JsonDecode<QJsonObject> {
    static QJsonObject decode(const QJsonValue& v, const QString& path);
};

template <JsonRecord T>
struct JsonDecode<T> {
    static T decode(const QJsonValue& v, const QString& path) { return T::fromJson(JsonReader::of(v, path)); }
};

template <class T>
struct JsonDecode<std::vector<T>> {
    static std::vector<T> decode(const QJsonValue& v, const QString& path) {
        if (!v.isArray())
            json_detail::wrongType(path, "array", v);
        const QJsonArray a = v.toArray();
        std::vector<T> out;
        out.reserve(a.size());
        for (qsizetype i = 0; i < a.size(); ++i) {
            const QString p = json_detail::index(path, i);
            if (a.at(i).isNull())
                json_detail::fail(p, QStringLiteral("null"));
            out.push_back(JsonDecode<T>::decode(a.at(i), p));
        }
        return out;
    }
};

template <>
struct JsonDecode<QStringList> {
    static QStringList decode(const QJsonValue& v, const QString& path);
};

// A JSON object whose every value is of one type (for example the parameters of a log line).
template <class T>
struct JsonDecode<QMap<QString, T>> {
    static QMap<QString, T> decode(const QJsonValue& v, const QString& path) {
        if (!v.isObject())
            json_detail::wrongType(path, "object", v);
        const QJsonObject o = v.toObject();
        QMap<QString, T> out;
        for (auto it = o.constBegin(); it != o.constEnd(); ++it) {
            const QString p = json_detail::join(path, it.key());
            if (it->isNull())
                json_detail::fail(p, QStringLiteral("null"));
            out.insert(it.key(), JsonDecode<T>::decode(*it, p));
        }
        return out;
    }
};

// Decodes a whole JSON value (a reply's result, an event's params) as T.
template <class T>
T decodeJson(const QJsonValue& v) {
    if (v.isNull() || v.isUndefined())
        json_detail::fail({}, QStringLiteral("null"));
    return JsonDecode<T>::decode(v, {});
}
