#pragma once

class AppModel;

// Which one card the download pane's stage shows, the first that applies in this order.
enum class DownloadStage {
    RunningDownload,  // the current download, still active, with its speed figures
    Analysing,        // an analysis is under way
    Listing,          // the fresh analysis is a playlist or channel
    Preview,          // the fresh analysis of a single video
    Failure,          // the fresh analysis failed
    FinishedDownload, // the finished current download, while the field is empty or still holds its address
    Empty,            // the steps of the empty state
};

DownloadStage downloadStageOf(const AppModel& model);
