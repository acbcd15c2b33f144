#pragma once

#include "ClipboardSource.h"

#include <QObject>

class QClipboard;

// The application's clipboard; the change counter follows QClipboard::dataChanged.
class QtClipboardSource : public QObject, public ClipboardSource {
    Q_OBJECT
public:
    // `clipboard` null: the application's clipboard.
    explicit QtClipboardSource(QClipboard* clipboard = nullptr, QObject* parent = nullptr);

    std::optional<QString> text() const override;
    qint64 changeCount() const override { return m_changes; }

private:
    QClipboard* m_clipboard;
    qint64 m_changes = 0;
};
