#pragma once

#include <QString>

class AppActivity;
class Notifier;

// Asks once per run whether alerts may be shown, and shows one when something the user waited for
// finished while the application is not in front. Nothing is stored across runs.
class Notifications {
public:
    Notifications() = delete;

    // The services to use (not owned; null: none available). Starts afresh, as reset().
    static void setServices(Notifier* notifier, AppActivity* activity);
    // Forgets the services when this notifier is still the one in use; their owner calls it before
    // they go.
    static void releaseServices(Notifier* notifier);

    // Back to the state of a fresh run: not asked, not granted; an answer still on its way is dropped.
    static void reset();

    // A permission request was started in this run.
    static bool asked();
    // This run's request was answered with yes.
    static bool granted();

    // Returns at once; starts this run's permission request unless one was started already or no
    // notifier is available (then a later call tries again).
    static void requestPermission();

    // Shows one alert at once, when the application is not active, permission was granted and the
    // notifier is available; otherwise drops it silently. An empty body shows a title only.
    static void post(const QString& title, const QString& body);
};
