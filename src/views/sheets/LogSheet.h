#pragma once

#include <QDialog>

class AppModel;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QWidget;

// The application's log: the last error shown to the user, if any, above the lines the state keeps,
// with clear, copy, report-a-problem and close. It owns no data.
class LogSheet : public QDialog {
    Q_OBJECT
public:
    LogSheet(AppModel& model, QWidget* parent = nullptr);

    QPlainTextEdit* lines() const { return m_lines; }
    QWidget* errorBox() const { return m_errorBox; }

    static constexpr QSize size{660, 460};

protected:
    void showEvent(QShowEvent* event) override;

private:
    void refreshLines();
    void refreshError();

    AppModel& m_model;
    QWidget* m_errorBox;
    QLabel* m_errorMessage;
    QPlainTextEdit* m_lines;
    QPushButton* m_clear;
    QPushButton* m_copy;
    bool m_scrolledOnOpen = false;
};
