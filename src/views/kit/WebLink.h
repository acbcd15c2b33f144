#pragma once

#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

// Addresses that come from the engine, the library or the web are opened in the default browser only
// when they are http or https; anything else (file:, javascript:, a custom scheme) is refused.
namespace WebLink {

// The address as a URL when it may be opened, nothing otherwise.
std::optional<QUrl> openable(const QString& address);
// Opens it in the default browser; false (nothing opened) when it is refused or the desktop failed.
bool open(const QString& address);

// Replaces the desktop's opener (tests); an empty function restores it.
void setOpener(std::function<bool(const QUrl&)> opener);

// The maker's support page.
QString supportPage();

} // namespace WebLink
