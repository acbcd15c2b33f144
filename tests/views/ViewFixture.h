#pragma once

// The state fixture for view tests: a state object against the real stand-in engine (with its test
// controls, see tests/state/StateFixture.h) and fake desktop services, plus what views need on top:
// booting in a language and switching the appearance.

#include "FusionAppearance.h"
#include "StateFixture.h"

#include <QApplication>
#include <QStyleFactory>
#include <QTest>

class ViewFixture : public StateFixture {
public:
    explicit ViewFixture(QMap<QString, QString> environment = {},
                         BrowserCookiesService* browserCookies = nullptr)
        : StateFixture(std::move(environment), browserCookies) {}

    // Boots, then loads the text table of `language` when it is not English.
    void bootIn(const QString& language) {
        boot();
        if (language != QLatin1String("en"))
            QCoro::waitFor(model->sessionPart().applyLanguage(language));
    }

    // The Fusion look with the light or dark palette, as the running application applies it.
    static void useAppearance(bool dark) {
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QApplication::setPalette(dark ? FusionAppearance::darkPalette() : FusionAppearance::lightPalette());
        // Widgets hear of a new application palette through posted events.
        QCoreApplication::processEvents();
    }

    // Lets queued signals and posted events run.
    static void settle(int ms = 50) { QTest::qWait(ms); }
};
