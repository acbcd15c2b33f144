#pragma once

#include <QList>
#include <QUrl>
#include <QWidget>

class AppModel;
class QLabel;
class QMimeData;
class QPushButton;
class SymbolLabel;

// The place where files are dropped to be transcribed, with the button that chooses them instead.
// Only drags that carry file URLs are taken; each dropped file goes to the state in the order given,
// which checks it and says when it refuses one. While such a drag hovers, the zone is filled more
// strongly and outlined with a dashed accent border.
class DropZone : public QWidget {
    Q_OBJECT

public:
    explicit DropZone(AppModel* model, QWidget* parent = nullptr);

    bool isTargeted() const { return m_targeted; }
    // The local files of a drag, in order; empty when it carries none (text, web links).
    static QList<QUrl> droppedFiles(const QMimeData* data);
    // For pictures of the hovering look.
    void setTargeted(bool targeted);

protected:
    void paintEvent(QPaintEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    AppModel* m_model;
    bool m_targeted = false;
    SymbolLabel* m_symbol;
    QLabel* m_title;
    QLabel* m_formats;
    QPushButton* m_choose;
};
