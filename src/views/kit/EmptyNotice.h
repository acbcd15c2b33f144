#pragma once

#include <QString>
#include <QWidget>

#include <optional>

class QLabel;

// The centred notice in place of an empty list: a symbol, a title and an optional detail that wraps
// within 380 pixels and is never cut. Takes all the height it is given and centres its content; a
// caller that wants a fixed height sets it. Texts come in already looked up.
class EmptyNotice : public QWidget {
    Q_OBJECT
public:
    EmptyNotice(QString title, QString icon, std::optional<QString> detail = std::nullopt,
                QWidget* parent = nullptr);

    // For a caller whose texts change (a new language).
    void setTexts(const QString& title, const std::optional<QString>& detail);

    QLabel* titleLabel() const { return m_title; }
    // Null when there is no detail.
    QLabel* detailLabel() const { return m_detail; }
    QLabel* iconLabel() const { return m_icon; }

    static constexpr int detailWidth = 380;
    static constexpr int iconSize = 34;

protected:
    void changeEvent(QEvent* event) override;

private:
    void paintIcon();

    QString m_symbol;
    QLabel* m_icon;
    QLabel* m_title;
    QLabel* m_detail = nullptr;
};
