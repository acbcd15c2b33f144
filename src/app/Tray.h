#pragma once

#include <QIcon>
#include <QObject>

#include <memory>

class AppModel;
class QMenu;
class QSystemTrayIcon;
class TrayPanel;

// The tray entry: the drawn mark with the overall progress (an arc in the icon and the percentage in
// its tooltip), the panel on a left click, and a context menu for hosts that never send clicks: open,
// paste and download, up to four running jobs with their percentages, quit.
class Tray : public QObject {
    Q_OBJECT
public:
    explicit Tray(AppModel& model, QObject* parent = nullptr);
    ~Tray() override;

    // Whether the desktop shows tray icons at all.
    static bool available();
    // Puts the icon in the tray.
    void show();

    TrayPanel* panel() const { return m_panel.get(); }
    QMenu* menu() const { return m_menu.get(); }
    QIcon icon() const { return m_icon; }
    QString toolTip() const { return m_toolTip; }

    // The icon in the text colour of the present palette, at the sizes trays ask for (1x and 2x).
    static QIcon drawIcon(std::optional<double> progress);
    // What the tooltip says: the application's name, and the percentage while something runs.
    static QString toolTipFor(std::optional<double> progress);

Q_SIGNALS:
    void openWindowRequested();
    void quitRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void refresh();
    void rebuildMenu();

    AppModel& m_model;
    std::unique_ptr<TrayPanel> m_panel;
    std::unique_ptr<QMenu> m_menu;
    QSystemTrayIcon* m_tray;
    QIcon m_icon;
    QString m_toolTip;
    std::optional<int> m_shownPercent; // what the icon was last drawn for
    bool m_drawn = false;
};
