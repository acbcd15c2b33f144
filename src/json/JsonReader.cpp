#include "JsonReader.h"

#include <cmath>
#include <limits>

DecodeError::DecodeError(QString path, QString problem)
    : std::runtime_error((path.isEmpty() ? problem : path + QStringLiteral(": ") + problem).toStdString()),
      m_path(std::move(path)), m_problem(std::move(problem)) {}

QString DecodeError::text() const {
    return QString::fromStdString(what());
}

QString JsonPath::toString() const {
    if (!m_parent)
        return {};
    QString text = m_parent->toString();
    if (m_index >= 0)
        return text + u'[' + QString::number(m_index) + u']';
    if (!text.isEmpty())
        text += u'.';
    return text + m_key.toString();
}

namespace json_detail {

const JsonPath root;

QString typeName(QJsonValue::Type type) {
    switch (type) {
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

void fail(const JsonPath& path, const QString& problem) {
    throw DecodeError(path.toString(), problem);
}

void wrongType(const JsonPath& path, const char* expected, QJsonValue::Type found) {
    fail(path, QStringLiteral("expected %1, found %2").arg(QLatin1String(expected), typeName(found)));
}

qint64 integerOf(double d, const JsonPath& path) {
    constexpr qint64 sentinel = std::numeric_limits<qint64>::min();
    if (d == static_cast<double>(sentinel))
        return sentinel;
    if (!std::isfinite(d) || std::trunc(d) != d)
        fail(path, QStringLiteral("expected integer, found %1").arg(d));
    fail(path, QStringLiteral("integer out of range"));
}

} // namespace json_detail
