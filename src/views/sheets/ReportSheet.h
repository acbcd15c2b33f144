#pragma once

#include <QDialog>

#include <optional>

class AppModel;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The problem report: the user's description and optional e-mail address, the end of the log as a
// preview, and the send with its outcome. A successful send closes this sheet 1.2 s later (this one
// only: the timer dies with it). What was typed lives only as long as the sheet.
class ReportSheet : public QDialog {
    Q_OBJECT
public:
    ReportSheet(AppModel& model, QWidget* parent = nullptr);

    bool busy() const { return m_busy; }
    const std::optional<QString>& outcome() const { return m_outcome; }
    // Sending is possible: not busy, and the description is not blank (spaces and tabs only).
    bool canSend() const;

    static constexpr int width = 520;
    // The lines the preview shows (the send carries more: the state's own choice).
    static constexpr int previewLines = 40;
    static constexpr int closeDelayMs = 1200;

Q_SIGNALS:
    // A send finished and its outcome is shown.
    void sendFinished(bool sent);

protected:
    void changeEvent(QEvent* event) override;

private:
    void paintFields();
    void send();
    void refresh();
    void refreshPreview();

    AppModel& m_model;
    QPlainTextEdit* m_what;
    QLineEdit* m_email;
    QPlainTextEdit* m_preview;
    QLabel* m_outcomeLabel;
    QPushButton* m_send;
    bool m_busy = false;
    std::optional<QString> m_outcome;
};
