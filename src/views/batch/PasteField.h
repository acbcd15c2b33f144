#pragma once

#include <QPlainTextEdit>

// The batch pane's multi-line address field: monospaced, on a lightly filled rounded background with a
// hairline border, growing with its text from 4 to 8 lines and scrolling beyond that.
class PasteField : public QPlainTextEdit {
    Q_OBJECT

public:
    static constexpr int minLines = 4;
    static constexpr int maxLines = 8;
    static constexpr int padding = 10;

    explicit PasteField(QWidget* parent = nullptr);

    // The number of lines the field is now tall enough to show.
    int shownLines() const { return m_lines; }

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void restyle();
    void fit();

    int m_lines = minLines;
};
