#pragma once

#include "kit/RowDelegate.h"

#include <QString>
#include <QToolButton>

#include <functional>
#include <optional>

// The small icon-only button of every list row: 22 by 18, borderless, its label as the accessible name
// and, unless a help text is given, as the tooltip. A disabled icon stays in place.
class RowIcon : public QToolButton {
    Q_OBJECT

public:
    static constexpr QSize frame = RowDelegate::iconFrame;

    RowIcon(QString symbol, QString label, std::optional<QString> help, bool enabled,
            std::function<void()> action, QWidget* parent = nullptr);
    explicit RowIcon(QWidget* parent = nullptr);

    // For rows whose icons follow their record: changes only what differs.
    void set(const QString& symbol, const QString& label, const std::optional<QString>& help, bool enabled);
    void setAction(std::function<void()> action) { m_action = std::move(action); }

    const QString& symbol() const { return m_symbol; }
    QString label() const { return accessibleName(); }

protected:
    void changeEvent(QEvent* event) override;

private:
    void paintIcon();

    QString m_symbol;
    std::function<void()> m_action;
};
