#pragma once

#include <QPushButton>
#include <QStringList>

#include <functional>

class QMenu;

// The pop-up chooser of a format cell: a drawn button with the shown text of the current value and a
// chevron, and a menu of every entry with a check mark on the current one. Choosing an entry reports it,
// also when it already was the current value.
class OptionMenu : public QPushButton {
    Q_OBJECT

public:
    OptionMenu(const QString& objectName, QWidget* parent = nullptr);

    // Sets what the menu offers and shows, without reporting anything.
    void setEntries(const QStringList& entries, const QString& value,
                    std::function<QString(const QString&)> display = {});
    const QStringList& entries() const { return m_entries; }
    const QString& value() const { return m_value; }
    QString shownText() const;
    void setControlWidth(int width);

    // The menu of the last opening, while it is open (null otherwise).
    QMenu* openMenu() const { return m_menu; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

Q_SIGNALS:
    void chosen(const QString& entry);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void popUp();
    QString display(const QString& entry) const;

    QStringList m_entries;
    QString m_value;
    std::function<QString(const QString&)> m_display;
    int m_width = 120;
    bool m_hovering = false;
    QMenu* m_menu = nullptr;
};
