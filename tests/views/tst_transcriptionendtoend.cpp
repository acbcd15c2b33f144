// End to end with the engine's own recognizer: a spoken-word file made from the recognizer's English test
// recordings is dropped on the pane, runs to done through its row, and its transcript is revealed.
#include "SpeechModels.h"
#include "TranscriptionFixture.h"

#include "Strings.h"
#include "transcription/DropZone.h"
#include "transcription/TranscriptionListModel.h"
#include "transcription/TranscriptionPane.h"
#include "transcription/TranscriptionRowContent.h"
#include "transcription/TranscriptionRowDelegate.h"

#include <QDir>
#include <QFile>
#include <QListView>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

using namespace transcription;
using Control = TranscriptionRowContent::Control;

namespace {

const QString recordings = QStringLiteral("/usr/share/pocketsphinx/test/data/librivox");

// Two recorded sentences with a pause between them, as an audio file of the type `path` names.
bool makeSpeech(const QString& path) {
    const QString ffmpeg = QStandardPaths::findExecutable("ffmpeg");
    const QStringList wavs = QDir(recordings).entryList({"*.wav"}, QDir::Files, QDir::Name);
    if (ffmpeg.isEmpty() || wavs.size() < 2)
        return false;
    QProcess run;
    run.start(ffmpeg, {"-hide_banner", "-loglevel", "error", "-y", "-i", recordings + "/" + wavs[0], "-i",
                       recordings + "/" + wavs[1], "-filter_complex",
                       "[0:a]apad=pad_dur=1[a0];[a0][1:a]concat=n=2:v=0:a=1[out]", "-map", "[out]", path});
    return run.waitForFinished(120000) && run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0 &&
           QFileInfo(path).size() > 0;
}

} // namespace

class TestTranscriptionEndToEnd : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { ViewFixture::useAppearance(false); }

    void dropRunRevealed() {
        ViewFixture f;
        const QString media = f.path("A reading.m4a");
        if (!makeSpeech(media))
            QSKIP("the recognizer's test recordings or ffmpeg are missing (scripts/setup installs them)");
        // The real model list and recognizer; only revealing is answered for the file manager.
        f.startEngine();
        f.script("library.reveal", {{"result", QJsonObject{{"path", "x"}, {"via", "dbus"}}}}, 0);
        f.boot();
        QVERIFY(f.model->modelsPart().canTranscribe());

        TranscriptionPane pane(f.model.get());
        QVERIFY(showAt(&pane, {900, 620}));
        QList<TranscriptionJob::State> states;
        QStringList captions;
        std::unique_ptr<QMimeData> data(new QMimeData);
        data->setUrls({QUrl::fromLocalFile(media)});
        QVERIFY(dragAndDrop(pane.dropZone(), data.get()));
        QTRY_COMPARE(pane.rows()->rowCount(), 1);
        const std::shared_ptr<TranscriptionJob> job = pane.rows()->jobAt(0);
        QCOMPARE(job->title(), QStringLiteral("A reading"));
        connect(pane.rows(), &QAbstractItemModel::dataChanged, this, [&] {
            const auto state = pane.rows()
                                   ->index(0)
                                   .data(TranscriptionListModel::StateRole)
                                   .value<TranscriptionJob::State>();
            if (states.isEmpty() || states.last() != state)
                states << state;
            captions << pane.rows()->index(0).data(TranscriptionListModel::CaptionRole).toString();
        });

        using State = TranscriptionJob::State;
        QTRY_VERIFY_WITH_TIMEOUT(job->state() == State::Done || job->state() == State::Failed, 240000);
        QVERIFY2(job->state() == State::Done, qPrintable(job->message().value_or(QString())));
        QVERIFY(states.contains(State::Running));
        QCOMPARE(states.last(), State::Done);
        // While it ran, its caption said how far it was.
        const QString pattern = Strings::text("note_transcribing");
        const QString prefix = pattern.left(pattern.indexOf('{'));
        QVERIFY(!prefix.isEmpty());
        QVERIFY(std::any_of(captions.begin(), captions.end(),
                            [&](const QString& c) { return c.startsWith(prefix); }));
        QCOMPARE(pane.rows()->index(0).data(TranscriptionListModel::CaptionRole).toString(),
                 Strings::text("status_done"));

        // The transcript is beside the media, holds words, and the row reveals it.
        const QString transcript = job->transcriptPath().value_or(QString());
        QVERIFY(!transcript.isEmpty());
        QCOMPARE(QFileInfo(transcript).absolutePath(), QFileInfo(media).absolutePath());
        QFile file(transcript);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        QVERIFY2(text.contains(QRegularExpression("[a-z]{3,}")), qPrintable(text));

        const QRect row = pane.list()->visualRect(pane.rows()->index(0));
        QPoint reveal(-1, -1);
        for (const auto& placed : TranscriptionRowDelegate::layout(row, TranscriptionRowContent::of(*job))) {
            if (placed.control == Control::Reveal)
                reveal = placed.rect.center();
        }
        QVERIFY(reveal.x() >= 0);
        QTest::mouseClick(pane.list()->viewport(), Qt::LeftButton, {}, reveal);
        QVERIFY(f.waitForRequests("library.reveal", 1));
        QCOMPARE(f.requestsOf("library.reveal").first().params.value("path").toString(), transcript);
    }
};

QTEST_MAIN(TestTranscriptionEndToEnd)
#include "tst_transcriptionendtoend.moc"
