#pragma once

#include <QString>

#include <optional>

class ClipboardSource;

// Decides whether the clipboard holds a web link worth offering, and whether that link is new. Its
// state lives for the whole run, like the clipboard it watches; it never writes to the clipboard.
class ClipboardWatcher {
public:
    ClipboardWatcher() = delete;

    // The clipboard to watch (not owned; null: a clipboard without text). Starts afresh, as reset().
    static void setSource(ClipboardSource* source);

    // Forgets what was seen and offered; the next use counts as the first.
    static void reset();

    // The link on the clipboard now, or nothing.
    static std::optional<QString> currentLink();

    // The link on the clipboard, only when the clipboard changed since it was last looked at and the
    // link differs from the last one offered. Content present at the first use is never offered.
    static std::optional<QString> newLink();

    // Records the present clipboard content as seen, so newLink() does not offer it afterwards.
    static void markSeen();

    // The link `text` holds: trimmed, http or https (exact lower-case prefix), no space, fewer than
    // 2048 user-visible characters, and a valid URL.
    static std::optional<QString> linkIn(const QString& text);
};
