#pragma once

#include <QFrame>
#include <QMetaObject>

#include <vector>

class AppModel;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class LinkButton;

// The tray's panel: start a download without the window, see up to four running jobs, open the window,
// quit. A popup of its own, so it can be shown and tested without a tray.
class TrayPanel : public QFrame {
    Q_OBJECT
public:
    explicit TrayPanel(AppModel& model, QWidget* parent = nullptr);

    static constexpr int panelWidth = 320;
    static constexpr int maxJobs = 4;

    // Hands the field's text, trimmed, to the model as a new download and empties the field; a blank
    // field stays as it is.
    void send();
    // Puts the clipboard's text into the field and sends it; nothing when the clipboard holds no text.
    void pasteAndSend();

    // Shows the panel by `anchor` (a point on the screen, such as the tray icon's), within the screen.
    void popUpAt(const QPoint& anchor);

    // The jobs listed now, in order.
    int shownJobs() const;

Q_SIGNALS:
    void openWindowRequested();
    void quitRequested();

private:
    struct JobEntry {
        QWidget* box;
        QLabel* title;
        QProgressBar* bar;
    };

    void retitle();
    void syncButton();
    void refreshJobs();

    AppModel& m_model;
    QLineEdit* m_field;
    QPushButton* m_download;
    LinkButton* m_paste;
    QLabel* m_ready;
    QFrame* m_jobsDivider;
    std::vector<JobEntry> m_entries;
    QPushButton* m_open;
    QPushButton* m_quit;
    std::vector<QMetaObject::Connection> m_jobConnections;
};
