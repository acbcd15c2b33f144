#pragma once

#include "ClipboardSource.h"

// A clipboard that tests fill: every copy() and clear() is a change.
class FakeClipboardSource : public ClipboardSource {
public:
    std::optional<QString> text() const override { return m_text; }
    qint64 changeCount() const override { return m_changes; }

    void copy(const QString& text) {
        m_text = text;
        ++m_changes;
    }
    // Something without plain text (an image, say), or an emptied clipboard.
    void clear() {
        m_text.reset();
        ++m_changes;
    }

private:
    std::optional<QString> m_text;
    qint64 m_changes = 0;
};
