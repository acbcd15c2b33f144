#pragma once

#include <QObject>

#include <functional>

class AppModel;

// Runs `apply` now and again whenever a new text table is installed (stringsGeneration changes), for as
// long as `context` lives: the one way a view sets its looked-up texts.
void followTexts(const AppModel& model, QObject* context, std::function<void()> apply);
