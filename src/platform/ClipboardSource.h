#pragma once

#include <QString>

#include <optional>

// The system clipboard as the clipboard offer sees it: its plain text and a counter that changes
// whenever the clipboard's content changes.
class ClipboardSource {
public:
    virtual ~ClipboardSource() = default;

    // The plain text on the clipboard; nothing when it holds no text or cannot be read.
    virtual std::optional<QString> text() const = 0;

    // Bumped by every change of the clipboard's content, never by reading it.
    virtual qint64 changeCount() const = 0;
};
