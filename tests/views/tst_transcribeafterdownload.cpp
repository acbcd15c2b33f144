// A download finished while "Transcribe" is on is transcribed by the engine on its own: the job it starts
// shows in the Transcription tab and counts in the sidebar's badge while it runs, like one the user
// started.
#include "DownloadQueue.h"
#include "MediaServerProcess.h"
#include "SpeechModels.h"
#include "Transcriptions.h"
#include "ViewHelpers.h"

#include "Library.h"
#include "download/ActionRow.h"
#include "download/DownloadPane.h"
#include "shell/SidebarModel.h"
#include "transcription/TranscriptionListModel.h"
#include "transcription/TranscriptionPane.h"

#include <QLineEdit>
#include <QPushButton>

class TestTranscribeAfterDownload : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { ViewFixture::useAppearance(false); }

    void engineStartedJobShowsInTheTabAndBadge() {
        MediaServerProcess server;
        QVERIFY(server.start());
        ViewFixture f;
        const QString out = f.path(QStringLiteral("out"));
        f.startEngine();
        const QJsonObject values{{QStringLiteral("outputDir"), out},
                                 {QStringLiteral("transcriptionEnabled"), true}};
        f.control(QStringLiteral("settings.set"), QJsonObject{{QStringLiteral("values"), values}});
        f.boot();
        QVERIFY(f.model->modelsPart().canTranscribe());
        DownloadPane download(f.model.get());
        TranscriptionPane transcription(f.model.get());
        SidebarModel sidebar(*f.model);
        const QModelIndex tab = sidebar.index(int(AppModel::Tab::Transcription));
        QVERIFY(showAt(&download, QSize(900, 620)));
        int mostActive = 0;
        int mostBadge = 0;
        connect(&f.model->transcriptionsPart(), &Transcriptions::transcriptionsChanged, this, [&] {
            mostActive =
                std::max(mostActive, int(f.model->transcriptionsPart().activeTranscriptions().size()));
            mostBadge = std::max(mostBadge, tab.data(SidebarModel::BadgeRole).toInt());
        });

        QTest::keyClicks(download.field(), server.page);
        QTest::keyClick(download.field(), Qt::Key_Return, Qt::ControlModifier);
        QVERIFY(QTest::qWaitFor([&] { return f.model->queuePart().currentDownload() != nullptr; }));
        const auto job = f.model->queuePart().currentDownload();
        QVERIFY(QTest::qWaitFor([&] { return job->state().isFinished(); }, 60000));
        QCOMPARE(int(job->state().kind), int(Job::State::Done));
        const QString path = job->outputPath().value_or(QString());

        QTRY_COMPARE_WITH_TIMEOUT(transcription.rows()->rowCount(), 1, 30000);
        const std::shared_ptr<TranscriptionJob> started = transcription.rows()->jobAt(0);
        QCOMPARE(started->path(), path);
        QCOMPARE(started->title(), QStringLiteral("A talk about testing"));
        using State = TranscriptionJob::State;
        QTRY_VERIFY_WITH_TIMEOUT(started->state() == State::Done || started->state() == State::Failed,
                                 120000);
        QVERIFY2(started->state() == State::Done, qPrintable(started->message().value_or(QString())));
        QVERIFY(started->transcriptPath());
        QVERIFY(f.model->libraryPart().transcribedPaths().contains(path));
        // While it waited and ran it was counted; once done, nothing is.
        QCOMPARE(mostActive, 1);
        QCOMPARE(mostBadge, 1);
        QCOMPARE(tab.data(SidebarModel::BadgeRole).toInt(), 0);
        QVERIFY(server.finish());
    }
};

QTEST_MAIN(TestTranscribeAfterDownload)
#include "tst_transcribeafterdownload.moc"
