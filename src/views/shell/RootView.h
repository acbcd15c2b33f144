#pragma once

#include "shell/ViewFactories.h"

#include "AppModel.h"

#include <QPointer>
#include <QWidget>

#include <functional>

#include <QDialog>
class QListView;
class QMessageBox;
class QSplitter;
class QVBoxLayout;
class SidebarModel;

// The main view once the texts are loaded: the sidebar of six places and the pane of the selected one,
// and the one home of the window-wide sheets and alerts. Those are driven by the state's flags: whoever
// wants one sets its flag, the root view presents it and writes the flag back when it closes. One
// surface shows at a time, sheets before alerts, each in its fixed order; the next follows when it closes.
class RootView : public QWidget {
    Q_OBJECT
public:
    RootView(AppModel& model, ViewFactories views, QWidget* parent = nullptr);

    QListView* sidebar() const { return m_sidebar; }
    SidebarModel* sidebarModel() const { return m_sidebarModel; }
    // The pane now shown.
    QWidget* pane() const { return m_pane; }
    // The sheet or alert now shown, null when none.
    QDialog* surface() const { return m_surface; }

    static constexpr int sidebarMinimum = 190;
    static constexpr int sidebarIdeal = 210;
    static constexpr int sidebarMaximum = 280;

Q_SIGNALS:
    // A new pane was built (each tab change).
    void paneShown(QWidget* pane);
    // A sheet or alert was presented.
    void surfaceShown(QDialog* surface);

private:
    enum class Kind { None, Log, Report, OptIn, Listing, Alert };

    void showPane();
    void selectCurrentTab();
    void userSelected();
    QWidget* makePane(AppModel::Tab tab);

    // Coalesces requests to bring the surfaces in line with the state.
    void scheduleSync();
    void sync();
    bool stillWanted() const;
    void present(Kind kind, int alert, QString identity);
    void surfaceFinished(QDialog* dialog);
    QDialog* makeSheet(Kind kind);
    QMessageBox* makeAlert(int alert);

    AppModel& m_model;
    ViewFactories m_views;
    QSplitter* m_split;
    QWidget* m_sidebarColumn;
    QListView* m_sidebar;
    SidebarModel* m_sidebarModel;
    QWidget* m_detail;
    QVBoxLayout* m_detailLayout;
    QPointer<QWidget> m_pane;

    QPointer<QDialog> m_surface;
    Kind m_kind = Kind::None;
    int m_alert = -1;
    // The opt-in key or the listing pick's id the open sheet was made for.
    QString m_identity;
    bool m_syncScheduled = false;
    // Set while the root view itself closes a surface: no flag is written back then.
    bool m_closing = false;
};
