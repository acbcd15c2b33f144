#pragma once

#include <QWidget>

class AppModel;
class QTabWidget;

// The settings tab: three forms (general, downloads, transcription) over the engine's settings record.
// It keeps no copy: every control shows the model's settings and every change goes to the engine at
// once. The settings are read again each time the pane is shown; the tab that shows is the state's
// settingsSection, and choosing a tab writes it back.
class SettingsPane : public QWidget {
    Q_OBJECT
public:
    explicit SettingsPane(AppModel& model, QWidget* parent = nullptr);

    QTabWidget* tabs() const { return m_tabs; }

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void paintIcons();

    AppModel& m_model;
    QTabWidget* m_tabs;
};
