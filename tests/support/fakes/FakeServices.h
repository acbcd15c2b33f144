#pragma once

#include "FakeAppActivity.h"
#include "FakeAppearance.h"
#include "FakeBrowserCookies.h"
#include "FakeClipboardSource.h"
#include "FakeClock.h"
#include "FakeFileDialogs.h"
#include "FakeInstanceGuard.h"
#include "FakeLanguageStore.h"
#include "FakeNotifier.h"
#include "Services.h"

// Every service as a fake, for tests of the application state. Not copyable: Services points into it.
struct FakeServices {
    FakeClipboardSource clipboard;
    FakeNotifier notifier;
    FakeAppActivity activity;
    FakeInstanceGuard instanceGuard;
    FakeFileDialogs fileDialogs;
    FakeAppearance appearance;
    FakeLanguageStore languages;
    FakeClock clock;
    FakeBrowserCookies browserCookies;

    FakeServices() = default;
    FakeServices(const FakeServices&) = delete;
    FakeServices& operator=(const FakeServices&) = delete;

    Services services() {
        return {&clipboard,  &notifier,  &activity, &instanceGuard, &fileDialogs,
                &appearance, &languages, &clock,    &browserCookies};
    }
};
