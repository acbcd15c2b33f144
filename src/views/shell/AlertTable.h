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

    // Calls `slot` in `context` whenever the state behind the alert changes.
    using Watch = std::function<void(AppModel& model, QObject* context, std::function<void()> slot)>;

    QString titleKey; // also the alert's objectName
    Watch watch;
    std::function<bool(const AppModel&)> shown;
    // Nothing: a title-only alert.
    std::function<std::optional<QString>(const AppModel&)> message;
    std::vector<Button> buttons;
    // Written when the alert closes, whichever button closed it; empty for an alert that stays while its
    // state holds (the engine failure).
    std::function<void(AppModel&)> closed;
    QMessageBox::Icon icon;
};

// The watch of a signal of one of the state's parts.
template <class Part> AlertEntry::Watch watchOf(Part& (AppModel::*part)() const, void (Part::*signal)()) {
    return [part, signal](AppModel& model, QObject* context, std::function<void()> slot) {
        QObject::connect(&(model.*part)(), signal, context, std::move(slot));
    };
}

const std::vector<AlertEntry>& alertTable();
