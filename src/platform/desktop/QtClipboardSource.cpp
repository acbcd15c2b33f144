#include "QtClipboardSource.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

QtClipboardSource::QtClipboardSource(QClipboard* clipboard, QObject* parent)
    : QObject(parent), m_clipboard(clipboard ? clipboard : QGuiApplication::clipboard()) {
    connect(m_clipboard, &QClipboard::dataChanged, this, [this] { ++m_changes; });
}

std::optional<QString> QtClipboardSource::text() const {
    const QMimeData* data = m_clipboard->mimeData(QClipboard::Clipboard);
    if (!data || !data->hasText())
        return std::nullopt;
    return data->text();
}
