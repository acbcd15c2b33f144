#pragma once

#include <QCoro/QCoroTask>
#include <QString>

// What the state object needs of the built-in browser's cookie jar. The web-engine implementation lives
// in src/web; the state library only ever sees this interface.
class BrowserCookiesService {
public:
    virtual ~BrowserCookiesService() = default;

    // Writes the cookies matching the address's host to a Netscape cookie file and returns its path,
    // or "" when the address has no host, nothing matches, or the file could not be written.
    virtual QCoro::Task<QString> exportFor(QString address) = 0;

    // Removes every cookie file this program exported.
    virtual void discardExports() = 0;

    // Removes all website data of the built-in browser; returns once it is gone.
    virtual QCoro::Task<void> clearAll() = 0;
};
