#include "DesktopServices.h"

DesktopServices::DesktopServices(BrowserCookiesService* cookies, QString instanceDirectory)
    : instanceGuard(std::move(instanceDirectory)), browserCookies(cookies) {}

Services DesktopServices::services() {
    return {&clipboard,  &notifier,  &activity, &instanceGuard, &fileDialogs,
            &appearance, &languages, &clock,    browserCookies};
}
