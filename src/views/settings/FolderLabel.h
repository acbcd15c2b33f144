#pragma once

#include <QLabel>

// The download folder's name on one line, cut in the middle when it does not fit; the tooltip is set by
// the owner (the whole path), whether the name is cut or not.
class FolderLabel : public QLabel {
    Q_OBJECT
public:
    explicit FolderLabel(QWidget* parent = nullptr);

    void setFullText(const QString& text);
    const QString& fullText() const { return m_full; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void elide();

    QString m_full;
};
