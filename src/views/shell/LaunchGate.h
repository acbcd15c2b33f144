#pragma once

#include <QDialog>
#include <QPointer>
#include <QWidget>

#include <functional>

class AppModel;
class QLabel;
class QPushButton;
class QStackedLayout;

// What the main window shows while the engine starts: a splash, the engine failure with a retry and the
// log that says why, and once the texts have been loaded, the root view for good (a later failure is the
// root view's alert). Until then the gate presents the log sheet when it is asked for (the menu, the
// failure view); the root view presents every sheet after.
class LaunchGate : public QWidget {
    Q_OBJECT
public:
    enum class Page { Splash, Failure, Root };

    using MakeSheet = std::function<QDialog*(AppModel& model, QWidget* parent)>;

    // `makeRoot` builds the root view, once, when the texts are first loaded; `makeLog` the log sheet
    // (a placeholder when empty).
    LaunchGate(AppModel& model, std::function<QWidget*()> makeRoot, MakeSheet makeLog = {},
               QWidget* parent = nullptr);

    Page page() const { return m_page; }
    // Null until the texts were loaded.
    QWidget* root() const { return m_root; }
    // The log sheet the gate shows, null when none.
    QDialog* logSheet() const { return m_log; }

    static constexpr int failureTextWidth = 420;

Q_SIGNALS:
    void pageChanged(LaunchGate::Page page);

private:
    void refresh();
    QWidget* makeSplash();
    QWidget* makeFailure();
    void syncLog();
    void closeLogQuietly();

    AppModel& m_model;
    std::function<QWidget*()> m_makeRoot;
    MakeSheet m_makeLog;
    QStackedLayout* m_pages;
    QWidget* m_splash;
    QWidget* m_failure;
    QLabel* m_failureText = nullptr;
    QLabel* m_failureIcon = nullptr;
    QPushButton* m_retry = nullptr;
    QPushButton* m_showLog = nullptr;
    QPointer<QDialog> m_log;
    QWidget* m_root = nullptr;
    Page m_page = Page::Splash;
};
