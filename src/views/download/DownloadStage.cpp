#include "download/DownloadStage.h"

#include "AppModel.h"
#include "Composition.h"
#include "DownloadQueue.h"

DownloadStage downloadStageOf(const AppModel& model) {
    const Job* job = model.queuePart().currentDownload().get();
    if (job && !job->state().isFinished())
        return DownloadStage::RunningDownload;
    if (model.compositionPart().isAnalyzing())
        return DownloadStage::Analysing;
    if (const std::optional<Analysis> fresh = model.compositionPart().freshAnalysis())
        return fresh->isListing ? DownloadStage::Listing : DownloadStage::Preview;
    if (model.compositionPart().freshFailure())
        return DownloadStage::Failure;
    if (job) {
        const QString typed = model.compositionPart().pastedText().trimmed();
        if (typed.isEmpty() || typed == job->url())
            return DownloadStage::FinishedDownload;
    }
    return DownloadStage::Empty;
}
