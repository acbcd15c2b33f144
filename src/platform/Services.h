#pragma once

class AppActivity;
class Appearance;
class BrowserCookiesService;
class ClipboardSource;
class Clock;
class FileDialogs;
class InstanceGuard;
class LanguageStore;
class Notifier;

// What the application state needs of the desktop, as interfaces. The pointers do not own: the
// objects (see DesktopServices, and FakeServices of the tests) outlive everything that was given this struct.
struct Services {
    ClipboardSource* clipboard = nullptr;
    Notifier* notifier = nullptr;
    AppActivity* activity = nullptr;
    InstanceGuard* instanceGuard = nullptr;
    FileDialogs* fileDialogs = nullptr;
    Appearance* appearance = nullptr;
    LanguageStore* languages = nullptr;
    Clock* clock = nullptr;
    BrowserCookiesService* browserCookies = nullptr;
};
