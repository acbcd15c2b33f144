#pragma once

#include <QAnyStringView>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QLatin1StringView>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <concepts>
#include <cstddef>
#include <limits>
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

// Where a value sits in the document being decoded. Each step lives on the stack of the call that
// decodes the value and points to its parent step, so a field that decodes costs no text at all; the
// path is spelled out only when an error names it. A step never outlives the decoding call it was made
// for, and neither does the key it views.
class JsonPath {
public:
    JsonPath() = default; // the top level
    JsonPath(const JsonPath& parent, QAnyStringView key) : m_parent(&parent), m_key(key) {}
    JsonPath(const JsonPath& parent, qsizetype index) : m_parent(&parent), m_index(index) {}

    // "items[2].title"; empty at the top level.
    QString toString() const;

private:
    const JsonPath* m_parent = nullptr;
    QAnyStringView m_key;
    qsizetype m_index = -1;
};

class JsonReader;

// JsonDecode<T>::decode(v, path) reads one value as T. It takes a QJsonValue or, for the values found
// inside an object or array, a QJsonValueConstRef, which reads the parsed document in place instead of
// copying each value out of it first.
template <class T> struct JsonDecode; // specialised below; records are found through their fromJson

template <class T>
concept JsonRecord = requires(const JsonReader& r) {
    { T::fromJson(r) } -> std::same_as<T>;
};

namespace json_detail {
QString typeName(QJsonValue::Type type);
[[noreturn]] void fail(const JsonPath& path, const QString& problem);
[[noreturn]] void wrongType(const JsonPath& path, const char* expected, QJsonValue::Type found);
// The integer a number holds when QJsonValue::toInteger could not tell it from its sentinel.
qint64 integerOf(double d, const JsonPath& path);
extern const JsonPath root;

template <class V> void expect(const V& v, QJsonValue::Type type, const char* name, const JsonPath& path) {
    const QJsonValue::Type found = v.type();
    if (found != type) [[unlikely]]
        wrongType(path, name, found);
}
} // namespace json_detail

// Reads the fields of one JSON object. A reader made for a nested record refers to its parent's path,
// so it is used only while that record decodes.
class JsonReader {
public:
    explicit JsonReader(QJsonObject object, const JsonPath& path = json_detail::root)
        : m_object(std::move(object)), m_path(&path) {}

    // Keys are ASCII literals (`r.req<QString>("url")`) or strings.
    template <class T, std::size_t N> T req(const char (&key)[N]) const {
        return reqAt<T>(QLatin1StringView(key, N - 1));
    }
    template <class T> T req(QStringView key) const { return reqAt<T>(key); }
    template <class T, std::size_t N> std::optional<T> opt(const char (&key)[N]) const {
        return optAt<T>(QLatin1StringView(key, N - 1));
    }
    template <class T> std::optional<T> opt(QStringView key) const { return optAt<T>(key); }

    bool has(QStringView key) const { return m_object.contains(key); }
    const QJsonObject& object() const { return m_object; }
    QString path() const { return m_path->toString(); }

private:
    template <class T, class Key> T reqAt(Key key) const {
        const auto it = m_object.constFind(key);
        if (it == m_object.constEnd()) [[unlikely]]
            json_detail::fail(JsonPath(*m_path, key), QStringLiteral("missing"));
        const QJsonValueConstRef v = *it;
        if (v.isNull()) [[unlikely]]
            json_detail::fail(JsonPath(*m_path, key), QStringLiteral("null"));
        return JsonDecode<T>::decode(v, JsonPath(*m_path, key));
    }

    template <class T, class Key> std::optional<T> optAt(Key key) const {
        const auto it = m_object.constFind(key);
        if (it == m_object.constEnd())
            return std::nullopt;
        const QJsonValueConstRef v = *it;
        const QJsonValue::Type type = v.type();
        if (type == QJsonValue::Null || type == QJsonValue::Undefined)
            return std::nullopt;
        return JsonDecode<T>::decode(v, JsonPath(*m_path, key));
    }

    QJsonObject m_object;
    const JsonPath* m_path;
};

template <> struct JsonDecode<QString> {
    template <class V> static QString decode(const V& v, const JsonPath& path) {
        json_detail::expect(v, QJsonValue::String, "string", path);
        return v.toString();
    }
};
template <> struct JsonDecode<bool> {
    template <class V> static bool decode(const V& v, const JsonPath& path) {
        json_detail::expect(v, QJsonValue::Bool, "boolean", path);
        return v.toBool();
    }
};
template <> struct JsonDecode<double> {
    template <class V> static double decode(const V& v, const JsonPath& path) {
        json_detail::expect(v, QJsonValue::Double, "number", path);
        return v.toDouble();
    }
};
template <> struct JsonDecode<qint64> {
    template <class V> static qint64 decode(const V& v, const JsonPath& path) {
        json_detail::expect(v, QJsonValue::Double, "integer", path);
        // Integers that fit are kept exactly; anything else must be a whole double inside the 64-bit range.
        constexpr qint64 sentinel = std::numeric_limits<qint64>::min();
        const qint64 whole = v.toInteger(sentinel);
        if (whole != sentinel) [[likely]]
            return whole;
        return json_detail::integerOf(v.toDouble(), path);
    }
};
template <> struct JsonDecode<int> {
    template <class V> static int decode(const V& v, const JsonPath& path) {
        const qint64 n = JsonDecode<qint64>::decode(v, path);
        if (n < std::numeric_limits<int>::min() || n > std::numeric_limits<int>::max()) [[unlikely]]
            json_detail::fail(path, QStringLiteral("integer out of range"));
        return static_cast<int>(n);
    }
};
template <> struct JsonDecode<QJsonValue> {
    template <class V> static QJsonValue decode(const V& v, const JsonPath&) { return QJsonValue(v); }
};
template <> struct JsonDecode<QJsonObject> {
    template <class V> static QJsonObject decode(const V& v, const JsonPath& path) {
        json_detail::expect(v, QJsonValue::Object, "object", path);
        return v.toObject();
    }
};

template <JsonRecord T> struct JsonDecode<T> {
    template <class V> static T decode(const V& v, const JsonPath& path) {
        json_detail::expect(v, QJsonValue::Object, "object", path);
        return T::fromJson(JsonReader(v.toObject(), path));
    }
};

namespace json_detail {
// Appends each element of an array to out, decoded as T; no element may be null.
template <class T, class V, class Out> void appendElements(const V& v, const JsonPath& path, Out& out) {
    expect(v, QJsonValue::Array, "array", path);
    const QJsonArray a = v.toArray();
    out.reserve(a.size());
    qsizetype i = 0;
    for (auto it = a.constBegin(), end = a.constEnd(); it != end; ++it, ++i) {
        const QJsonValueConstRef item = *it;
        if (item.isNull()) [[unlikely]]
            fail(JsonPath(path, i), QStringLiteral("null"));
        out.push_back(JsonDecode<T>::decode(item, JsonPath(path, i)));
    }
}
} // namespace json_detail

template <class T> struct JsonDecode<std::vector<T>> {
    template <class V> static std::vector<T> decode(const V& v, const JsonPath& path) {
        std::vector<T> out;
        json_detail::appendElements<T>(v, path, out);
        return out;
    }
};

template <> struct JsonDecode<QStringList> {
    template <class V> static QStringList decode(const V& v, const JsonPath& path) {
        QStringList out;
        json_detail::appendElements<QString>(v, path, out);
        return out;
    }
};

// A JSON object whose every value is of one type (for example the parameters of a log line).
template <class T> struct JsonDecode<QMap<QString, T>> {
    template <class V> static QMap<QString, T> decode(const V& v, const JsonPath& path) {
        json_detail::expect(v, QJsonValue::Object, "object", path);
        const QJsonObject o = v.toObject();
        QMap<QString, T> out;
        for (auto it = o.constBegin(), end = o.constEnd(); it != end; ++it) {
            const QString key = it.key();
            const QJsonValueConstRef value = *it;
            if (value.isNull()) [[unlikely]]
                json_detail::fail(JsonPath(path, key), QStringLiteral("null"));
            out.insert(key, JsonDecode<T>::decode(value, JsonPath(path, key)));
        }
        return out;
    }
};

// Decodes a whole JSON value (a reply's result, an event's params) as T.
template <class T> T decodeJson(const QJsonValue& v) {
    if (v.isNull() || v.isUndefined())
        json_detail::fail(json_detail::root, QStringLiteral("null"));
    return JsonDecode<T>::decode(v, json_detail::root);
}
