#pragma once

#include <QHash>
#include <QKeySequence>
#include <QObject>

class AppModel;
class QAction;
class QMenu;
class QMenuBar;

// The menus and their shortcuts (Ctrl stands for the other platform's command key). Every title is a
// looked-up text, set again whenever a new text table is installed; every action's objectName is its
// text key.
class Commands : public QObject {
    Q_OBJECT
public:
    Commands(AppModel& model, QMenuBar* bar, QObject* parent = nullptr);

    // The maker's pages the Help menu opens (only ever as http or https links).
    static QString supportPage();
    static QString releaseNotesPage();

    // The action or menu of a text key, null when there is none.
    QAction* action(const QString& key) const { return m_actions.value(key); }
    QMenu* menu(const QString& key) const { return m_menus.value(key); }

Q_SIGNALS:
    void quitRequested();

private:
    QMenu* addMenu(QMenuBar* bar, const QString& key);
    QAction* add(QMenu* menu, const QString& key, const QKeySequence& shortcut = {});
    void retitle();
    void pasteAddress();

    AppModel& m_model;
    QHash<QString, QAction*> m_actions;
    QHash<QString, QMenu*> m_menus;
};
