#pragma once

#include <QColor>
#include <QIcon>
#include <QObject>

#include <array>
#include <memory>
#include <optional>

class AppModel;
class QAction;
class QMenu;
class QSystemTrayIcon;
class TrayPanel;

// The tray entry: the drawn mark with the overall progress (an arc in the icon and the percentage in
// its tooltip), the panel on a left click, and a context menu for hosts that never send clicks: open,
// paste and download, up to four running jobs with their percentages, quit.
class Tray : public QObject {
    Q_OBJECT
public:
    // `panel` is the colour of the panel the tray sits on, as well as it can be known (panelGuess()).
    explicit Tray(AppModel& model, QColor panel = panelGuess(), QObject* parent = nullptr);
    ~Tray() override;

    // Whether the desktop shows tray icons at all.
    static bool available();
    // Puts the icon in the tray.
    void show();

    TrayPanel* panel() const { return m_panel.get(); }
    QMenu* menu() const { return m_menu.get(); }
    QIcon icon() const { return m_icon; }
    QString toolTip() const { return m_toolTip; }

    // The icon at the sizes trays ask for (1x and 2x): a mask, which hosts that can tint it colour for
    // their panel; for the others it is drawn, ring and all, in the colour that stands out on `panel`.
    static QIcon drawIcon(std::optional<double> progress, const QColor& panel);
    // Black on a light panel, white on a dark one.
    static QColor inkOn(const QColor& panel);
    // The desktop's own window colour, read before any appearance of ours is applied (call it early, in
    // main); most panels follow the desktop's light or dark theme, never the application's.
    static QColor panelGuess();
    QColor panelColour() const { return m_panelColour; }
    // What the tooltip says: the application's name, and the percentage while something runs.
    static QString toolTipFor(std::optional<double> progress);

Q_SIGNALS:
    void openWindowRequested();
    void quitRequested();

private:
    void refresh();
    void buildMenu();
    // Updates the menu's entries in place: an open menu keeps its entries, and the highlighted one.
    void updateMenu();

    AppModel& m_model;
    std::unique_ptr<TrayPanel> m_panel;
    std::unique_ptr<QMenu> m_menu;
    QSystemTrayIcon* m_tray;
    QColor m_panelColour;
    QAction* m_open = nullptr;
    QAction* m_paste = nullptr;
    QAction* m_jobsSeparator = nullptr;
    std::array<QAction*, 4> m_jobs{};
    QAction* m_quit = nullptr;
    QIcon m_icon;
    QString m_toolTip;
    std::optional<int> m_shownPercent; // what the icon was last drawn for
    bool m_drawn = false;
};
