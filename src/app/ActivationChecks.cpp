#include "ActivationChecks.h"

#include "shell/StartNow.h"

#include "AppActivity.h"
#include "AppModel.h"
#include "Composition.h"
#include "Session.h"

ActivationChecks::ActivationChecks(AppModel& model, AppActivity& activity, QObject* parent)
    : QObject(parent), m_model(model) {
    connect(&activity, &AppActivity::activeChanged, this, [this](bool active) {
        if (active)
            activated();
    });
}

void ActivationChecks::activated() {
    m_model.compositionPart().offerClipboardOnActivation();
    if (!m_model.sessionPart().jsRuntimeMissing())
        return;
    AppModel* model = &m_model;
    startNow([model]() -> QCoro::Task<void> { co_await model->sessionPart().refreshJSRuntime(true); });
}
