#pragma once

#include "DBusNotifier.h"
#include "FusionAppearance.h"
#include "LocalInstanceGuard.h"
#include "QtAppActivity.h"
#include "QtClipboardSource.h"
#include "QtFileDialogs.h"
#include "Services.h"
#include "SettingsLanguageStore.h"
#include "SystemClock.h"

// The real services of the running application; make it after the QApplication. Browser cookies
// come from the web engine's side and are passed in (not owned).
class DesktopServices {
public:
    explicit DesktopServices(BrowserCookiesService* browserCookies,
                             QString instanceDirectory = LocalInstanceGuard::defaultDirectory());
    DesktopServices(const DesktopServices&) = delete;
    DesktopServices& operator=(const DesktopServices&) = delete;

    Services services();

    QtClipboardSource clipboard;
    DBusNotifier notifier;
    QtAppActivity activity;
    LocalInstanceGuard instanceGuard;
    QtFileDialogs fileDialogs;
    FusionAppearance appearance;
    SettingsLanguageStore languages;
    SystemClock clock;
    BrowserCookiesService* browserCookies;
};
