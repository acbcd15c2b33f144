#pragma once

#include "AppModel.h"

#include <QMessageBox>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

// The window-wide alerts, in the order the root view presents them: when each shows, its texts, its
// buttons with their roles and actions, and what closing it writes back.
struct AlertEntry {
    struct Button {
        QString key;
        QMessageBox::ButtonRole role;
        std::function<void(AppModel&)> action; // may be empty
    };

    QString titleKey; // also the alert's objectName
    void (AppModel::*changed)();
    std::function<bool(const AppModel&)> shown;
    // Nothing: a title-only alert.
    std::function<std::optional<QString>(const AppModel&)> message;
    std::vector<Button> buttons;
    // Written when the alert closes, whichever button closed it; empty for an alert that stays while its
    // state holds (the engine failure).
    std::function<void(AppModel&)> closed;
    QMessageBox::Icon icon;
};

const std::vector<AlertEntry>& alertTable();
