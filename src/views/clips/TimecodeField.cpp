#include "clips/TimecodeField.h"

#include "TextTrim.h"
#include "kit/TextStyle.h"

#include <QKeyEvent>
#include <QRegularExpression>

#include <cmath>
#include <limits>

TimecodeField::TimecodeField(const QString& objectName, QWidget* parent) : QLineEdit(parent) {
    setObjectName(objectName);
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setFont(TextStyle::digits(TextStyle::Role::Body));
    setFixedWidth(74);
    setText(format(m_ms));
}

QString TimecodeField::format(qint64 ms) {
    const qint64 s = ms / 1000;
    const qint64 minutes = (s % 3600) / 60;
    const qint64 seconds = s % 60;
    if (ms < 3'600'000)
        return QString::asprintf("%lld:%02lld", minutes, seconds);
    return QString::asprintf("%lld:%02lld:%02lld", ms / 3'600'000, minutes, seconds);
}

std::optional<qint64> TimecodeField::parse(const QString& text) {
    static const QRegularExpression number(
        QRegularExpression::anchoredPattern(QStringLiteral(R"([+-]?(\d+(\.\d*)?|\.\d+)([eE][+-]?\d+)?)")));
    QString cleaned = trimSpacesAndTabs(text);
    cleaned.replace(u',', u'.');
    const QStringList pieces = cleaned.split(u':', Qt::KeepEmptyParts);
    if (pieces.isEmpty() || pieces.size() > 3)
        return std::nullopt;
    double total = 0;
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (!number.match(pieces[i]).hasMatch())
            return std::nullopt;
        bool ok = false;
        const double piece = pieces[i].toDouble(&ok);
        if (!ok || !std::isfinite(piece) || piece < 0)
            return std::nullopt;
        const bool last = i == pieces.size() - 1;
        if (!last && piece != std::round(piece))
            return std::nullopt;
        if (i > 0 && piece >= 60)
            return std::nullopt;
        total = i == 0 ? piece : total * 60 + piece;
    }
    const double ms = std::round(total * 1000);
    // 2^63 itself does not fit; every double below it does.
    if (!std::isfinite(ms) || ms >= 9223372036854775808.0)
        return std::nullopt;
    return static_cast<qint64>(ms);
}

void TimecodeField::setValue(qint64 ms) {
    m_ms = ms;
    setText(format(ms));
}

QSize TimecodeField::sizeHint() const {
    return {74, QLineEdit::sizeHint().height()};
}

void TimecodeField::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    apply();
}

void TimecodeField::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        apply();
        // The Return stops here: it must not also press the sheet's default button.
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void TimecodeField::apply() {
    const std::optional<qint64> parsed = parse(text());
    if (!parsed) {
        setText(format(m_ms));
        return;
    }
    const qint64 value = m_limit.clamp(*parsed);
    setText(format(value));
    if (value != m_ms) {
        m_ms = value;
        Q_EMIT committed(value);
    }
}
