#pragma once

#include "clips/ClipBounds.h"

#include <QLineEdit>

#include <optional>

// A time in milliseconds typed as seconds, M:SS or H:MM:SS (fractions with a point or a comma). The entry
// is read on Return or when the field loses focus: kept in the limit, written, reported with `committed`
// when the value changed, and redrawn in the canonical form. A bad entry goes back to the current value.
class TimecodeField : public QLineEdit {
    Q_OBJECT

public:
    explicit TimecodeField(const QString& objectName, QWidget* parent = nullptr);

    // M:SS below one hour, H:MM:SS from there; milliseconds are dropped, never rounded.
    static QString format(qint64 ms);
    // Milliseconds, or nothing for an entry that is not a time.
    static std::optional<qint64> parse(const QString& text);

    qint64 value() const { return m_ms; }
    // From the owner: replaces whatever is being typed.
    void setValue(qint64 ms);
    const MsRange& limit() const { return m_limit; }
    void setLimit(const MsRange& limit) { m_limit = limit; }

    QSize sizeHint() const override;

Q_SIGNALS:
    // The entry changed the value (already stored, see value()).
    void committed(qint64 ms);

protected:
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void apply();

    qint64 m_ms = 0;
    MsRange m_limit{0, 1};
};
