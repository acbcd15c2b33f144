#include "JsonReader.h"

#include <cmath>
#include <limits>

DecodeError::DecodeError(QString path, QString problem)
    : std::runtime_error((path.isEmpty() ? problem : path + QStringLiteral(": ") + problem).toStdString()),
      m_path(std::move(path)), m_problem(std::move(problem)) {}

QString DecodeError::text() const { return QString::fromStdString(what()); }

namespace json_detail {

QString join(const QString& path, const QString& key) { return path.isEmpty() ? key : path + u'.' + key; }

QString index(const QString& path, qsizetype i) { return path + u'[' + QString::number(i) + u']'; }

QString typeName(const QJsonValue& v) {
    switch (v.type()) {
    case QJsonValue::Null:
        return QStringLiteral("null");
    case QJsonValue::Bool:
        return QStringLiteral("boolean");
    case QJsonValue::Double:
        return QStringLiteral("number");
    case QJsonValue::String:
        return QStringLiteral("string");
    case QJsonValue::Array:
        return QStringLiteral("array");
    case QJsonValue::Object:
        return QStringLiteral("object");
    case QJsonValue::Undefined:
        break;
    }
    return QStringLiteral("nothing");
}

void fail(const QString& path, const QString& problem) { throw DecodeError(path, problem); }

void wrongType(const QString& path, const char* expected, const QJsonValue& v) {
    fail(path, QStringLiteral("expected %1, found %2").arg(QLatin1String(expected), typeName(v)));
}

} // namespace json_detail

JsonReader JsonReader::of(const QJsonValue& value, const QString& path) {
    if (!value.isObject())
        json_detail::wrongType(path, "object", value);
    return JsonReader(value.toObject(), path);
}

QString JsonDecode<QString>::decode(const QJsonValue& v, const QString& path) {
    if (!v.isString())
        json_detail::wrongType(path, "string", v);
    return v.toString();
}

bool JsonDecode<bool>::decode(const QJsonValue& v, const QString& path) {
    if (!v.isBool())
        json_detail::wrongType(path, "boolean", v);
    return v.toBool();
}

double JsonDecode<double>::decode(const QJsonValue& v, const QString& path) {
    if (!v.isDouble())
        json_detail::wrongType(path, "number", v);
    return v.toDouble();
}

qint64 JsonDecode<qint64>::decode(const QJsonValue& v, const QString& path) {
    if (!v.isDouble())
        json_detail::wrongType(path, "integer", v);
    // Integers that fit are kept exactly; anything else must be a whole double inside the 64-bit range.
    constexpr qint64 sentinel = std::numeric_limits<qint64>::min();
    const qint64 whole = v.toInteger(sentinel);
    if (whole != sentinel)
        return whole;
    const double d = v.toDouble();
    if (d == static_cast<double>(sentinel))
        return sentinel;
    if (!std::isfinite(d) || std::trunc(d) != d)
        json_detail::fail(path, QStringLiteral("expected integer, found %1").arg(d));
    json_detail::fail(path, QStringLiteral("integer out of range"));
}

int JsonDecode<int>::decode(const QJsonValue& v, const QString& path) {
    const qint64 n = JsonDecode<qint64>::decode(v, path);
    if (n < std::numeric_limits<int>::min() || n > std::numeric_limits<int>::max())
        json_detail::fail(path, QStringLiteral("integer out of range"));
    return static_cast<int>(n);
}

QJsonObject JsonDecode<QJsonObject>::decode(const QJsonValue& v, const QString& path) {
    if (!v.isObject())
        json_detail::wrongType(path, "object", v);
    return v.toObject();
}

QStringList JsonDecode<QStringList>::decode(const QJsonValue& v, const QString& path) {
    const auto items = JsonDecode<std::vector<QString>>::decode(v, path);
    return QStringList(items.begin(), items.end());
}
