#include "kit/TextsFollow.h"

#include "AppModel.h"

void followTexts(const AppModel& model, QObject* context, std::function<void()> apply) {
    QObject::connect(&model, &AppModel::stringsGenerationChanged, context, apply);
    apply();
}
