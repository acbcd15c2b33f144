#include "kit/TextsFollow.h"

#include "AppModel.h"
#include "Session.h"

void followTexts(const AppModel& model, QObject* context, std::function<void()> apply) {
    QObject::connect(&model.sessionPart(), &Session::stringsGenerationChanged, context, apply);
    apply();
}
