#pragma once

#include <QString>
#include <QUrl>

#include <optional>

// The deep link that the share program writes and the application reads:
//     vamber://download?url=<address>[&quality=<quality>]
// Both programs build this same code, so writer and reader always agree.
class VamberURL {
public:
    struct Target {
        QString address; // as the link carries it: decoded, not trimmed, not checked
        QString quality; // null when the link carries none; an empty "quality=" gives an empty, non-null text

        // A null quality equals only a null quality (QString alone would take null and empty as equal).
        friend bool operator==(const Target& a, const Target& b) {
            return a.address == b.address && a.quality.isNull() == b.quality.isNull() &&
                   a.quality == b.quality;
        }
    };

    // The link for address (white space trimmed from both ends) and quality (written only when not empty,
    // unchanged); nothing when the address is blank.
    static std::optional<QUrl> deepLink(const QString& address, const QString& quality = {});

    // The target of a link the application is asked to open: a "vamber://download" link with a non-empty
    // "url" item, or an http or https address, which is taken as the text stands. Anything else gives
    // nothing.
    static std::optional<Target> parse(const QString& text);
};
