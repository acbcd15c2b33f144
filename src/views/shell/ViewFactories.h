#pragma once

#include "AppModel.h"
#include "shell/PlayerTarget.h"

#include <QString>

#include <functional>
#include <memory>

class QDialog;
class QWidget;
class ListingPick;

// Where the panes and sheets of the other areas plug into the window. The root view asks these for
// a pane each time a tab is selected (so a pane starts fresh) and for a sheet each time one is presented.
// An empty factory shows a labelled placeholder instead. standard() (StandardViews.cpp) holds the panes
// and sheets of src/views: an area plugs in by setting its factory there. The browser pane lives in
// src/web, so the application sets `browser` itself.
struct PaneFactories {
    using Make = std::function<QWidget*(AppModel& model)>;
    Make download;
    Make batch;
    Make transcription;
    Make downloads;
    Make browser;
    Make settings;

    const Make& of(AppModel::Tab tab) const;
    Make& of(AppModel::Tab tab);
};

// A sheet is a QDialog the root view opens window-modal with open() over `parent`; when it finishes
// (accepted or rejected), the root view writes its flag back. The listing picker is the exception: it
// ends only by removing its pick from pendingListings (acceptListing or dismissListing), and the root
// view presents it again if it closes while its pick is still pending.
struct SheetFactories {
    std::function<QDialog*(AppModel& model, QWidget* parent)> log;
    std::function<QDialog*(AppModel& model, QWidget* parent)> report;
    std::function<QDialog*(AppModel& model, QString modelKey, QWidget* parent)> modelOptIn;
    std::function<QDialog*(AppModel& model, std::shared_ptr<ListingPick> pick, QWidget* parent)> listing;
    // The library pane opens this one itself (it owns the target); standard() hands it to the pane.
    std::function<QDialog*(AppModel& model, const PlayerTarget& target, QWidget* parent)> player;
};

struct ViewFactories {
    PaneFactories panes;
    SheetFactories sheets;

    // The panes and sheets built so far in src/views; the rest stay empty (placeholders).
    static ViewFactories standard();
};
