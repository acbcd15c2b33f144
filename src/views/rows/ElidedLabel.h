#pragma once

#include <QLabel>

// A one-line label that cuts its text with an ellipsis to the width it is given, instead of growing the
// layout or being clipped mid-glyph. The full text is its tooltip when it is cut.
class ElidedLabel : public QLabel {
    Q_OBJECT

public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    void setFullText(const QString& text);
    // Wraps onto at most `lines` lines, the last one cut with an ellipsis (1 by default).
    void setMaxLines(int lines);
    const QString& fullText() const { return m_full; }
    bool isElided() const { return m_elided; }

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void elide();

    QString m_full;
    int m_maxLines = 1;
    bool m_elided = false;
};
