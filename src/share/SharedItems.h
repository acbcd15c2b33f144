#pragma once

#include <QString>
#include <QStringList>

// What another program shares with Vamber, sorted the way a share menu sorts its attachments: an absolute
// URL (any scheme) is a link as it stands, an existing file is a file: link, and any other text is a link
// only when it begins exactly with "http://" or "https://" once trimmed.
class SharedItems {
public:
    // The links found in `items`, in their order. Relative paths are taken from `workingDir`.
    static QStringList links(const QStringList& items, const QString& workingDir);

    // An item written as an absolute URL: a lower-case scheme and nothing that a URL cannot hold.
    static bool isURL(const QString& item);
    static bool looksLikeLink(const QString& text);
};
