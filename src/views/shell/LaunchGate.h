#pragma once

#include <QWidget>

#include <functional>

class AppModel;
class QLabel;
class QPushButton;
class QStackedLayout;

// What the main window shows while the engine starts: a splash, the engine failure with a retry, and
// once the texts have been loaded, the root view for good (a later failure is the root view's alert).
class LaunchGate : public QWidget {
    Q_OBJECT
public:
    enum class Page { Splash, Failure, Root };

    // `makeRoot` builds the root view, once, when the texts are first loaded.
    LaunchGate(AppModel& model, std::function<QWidget*()> makeRoot, QWidget* parent = nullptr);

    Page page() const { return m_page; }
    // Null until the texts were loaded.
    QWidget* root() const { return m_root; }

    static constexpr int failureTextWidth = 420;

Q_SIGNALS:
    void pageChanged(LaunchGate::Page page);

private:
    void refresh();
    QWidget* makeSplash();
    QWidget* makeFailure();

    AppModel& m_model;
    std::function<QWidget*()> m_makeRoot;
    QStackedLayout* m_pages;
    QWidget* m_splash;
    QWidget* m_failure;
    QLabel* m_failureText = nullptr;
    QLabel* m_failureIcon = nullptr;
    QPushButton* m_retry = nullptr;
    QWidget* m_root = nullptr;
    Page m_page = Page::Splash;
};
