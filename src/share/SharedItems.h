#pragma once

#include <QString>
#include <QStringList>

// What another program shares with Vamber. Only a web address (http or https, with a host) can become a
// download: an absolute URL of that kind is a link as it stands, and so is text that begins exactly with
// "http://" or "https://" once trimmed. Any other absolute URL ("mailto:", "javascript:", "file:", ...)
// and any existing file are refused, since the download they would start could only fail. Other text is
// passed over.
class SharedItems {
public:
    struct Pick {
        enum class Kind { Nothing, Link, Refused };
        Kind kind = Kind::Nothing;
        QString link;   // the link, for Link
        QString reason; // what was refused and why, for Refused
    };

    // The first item that is a link or is refused decides; items that are neither are passed over.
    // Relative paths are taken from `workingDir`.
    static Pick pick(const QStringList& items, const QString& workingDir);

    // An item written as an absolute URL: a lower-case scheme and nothing that a URL cannot hold.
    static bool isURL(const QString& item);
    static bool looksLikeLink(const QString& text);
    // An http or https address with a host.
    static bool isWebAddress(const QString& text);
    // At most `limit` characters of an item, control characters shown as "?", for a message.
    static QString shown(const QString& item, int limit = 80);
};
