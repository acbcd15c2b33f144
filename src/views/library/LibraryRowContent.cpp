#include "library/LibraryRowContent.h"

#include "AppModel.h"
#include "Job.h"
#include "Library.h"

LibraryRowContent LibraryRowContent::of(const AppModel& model, const LibraryItem& item) {
    LibraryRowContent c;
    c.picture = item.kind == QLatin1String("thumbnail");
    c.missing = !item.exists;
    c.transcribed = model.libraryPart().transcribedPaths().contains(item.path);
    c.channel = item.channel;
    if (item.sizeBytes >= 1)
        c.size = Job::fileSize(item.sizeBytes);
    if (c.missing) {
        c.first = First::DownloadAgain;
        c.downloadAgain = {QStringLiteral("arrow.down.circle"), QStringLiteral("button_download"),
                           !item.url.isEmpty()};
    } else if (!c.picture && !c.transcribed) {
        c.first = First::Transcribe;
        c.transcribe = TranscribeSlot::of(model);
    }
    c.icons[0] = c.picture ? Icon{QStringLiteral("eye"), QStringLiteral("button_view"), item.exists}
                           : Icon{QStringLiteral("play.fill"), QStringLiteral("button_play"), item.exists};
    c.icons[1] = {QStringLiteral("folder"), QStringLiteral("button_finder"), item.exists};
    c.icons[2] = {QStringLiteral("globe"), QStringLiteral("button_web"), !item.url.isEmpty()};
    c.icons[3] = {QStringLiteral("trash"), QStringLiteral("button_remove"), true};
    return c;
}

QString LibraryRowContent::accessibleTitle(const LibraryItem& item) {
    return item.title.isEmpty() ? item.path : item.title;
}
