// The transcript player sheet on a fake media port and the stand-in engine: the passage's window, the
// order of the opening (load, exact seek to the passage, then playback), the time text, the unplayable
// state, the pictures painted, and closing: Escape like the close button, and a sheet closed while its
// file is still opening never plays.
#include "FakeMediaPort.h"
#include "MediaFiles.h"
#include "ViewHelpers.h"

#include "clips/ClipBounds.h"
#include "clips/ClipPanel.h"
#include "clips/PlayerSession.h"
#include "clips/TranscriptPlayer.h"
#include "clips/VideoView.h"
#include "library/HighlightedExcerpt.h"
#include "rows/RowIcon.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTemporaryDir>

namespace {

// Receives the URLs the sheet asks the desktop to open.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public Q_SLOTS:
    void open(const QUrl& url) { urls << url; }
};

} // namespace

class TestTranscriptPlayer : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void passageWindow_data();
    void passageWindow();
    void opensAtThePassage();
    void timeText_data();
    void timeText();
    void unplayableFileKeepsItsWindow();
    void picturesArePainted();
    void excerptRow_data();
    void excerptRow();
    void escapeClosesAndSilences();
    void closedWhileOpeningNeverPlays();

private:
    TranscriptPlayer* sheet(const PlayerTarget& target, FakeMediaPort* port);
    QString currentPage(TranscriptPlayer* player) const;

    QTemporaryDir m_dir;
    QString m_video;
    std::unique_ptr<ViewFixture> f;
};

void TestTranscriptPlayer::initTestCase() {
    QVERIFY(m_dir.isValid());
    m_video = MediaFiles::video(QDir(m_dir.path()), QStringLiteral("talk.mp4"), 3);
    QVERIFY(!m_video.isEmpty());
}

void TestTranscriptPlayer::init() {
    f = std::make_unique<ViewFixture>();
    f->boot();
}

void TestTranscriptPlayer::cleanup() {
    f.reset();
}

TranscriptPlayer* TestTranscriptPlayer::sheet(const PlayerTarget& target, FakeMediaPort* port) {
    auto* player = new TranscriptPlayer(f->model.get(), target, port, nullptr);
    player->setAttribute(Qt::WA_DeleteOnClose);
    return player;
}

QString TestTranscriptPlayer::currentPage(TranscriptPlayer* player) const {
    auto* area = player->findChild<QStackedWidget*>(QStringLiteral("player_area"));
    return area && area->currentWidget() ? area->currentWidget()->objectName() : QString();
}

void TestTranscriptPlayer::passageWindow_data() {
    QTest::addColumn<qint64>("start");
    QTest::addColumn<qint64>("end");
    QTest::addColumn<qint64>("duration");
    QTest::addColumn<qint64>("in");
    QTest::addColumn<qint64>("out");
    QTest::newRow("a hit in a long file")
        << qint64(65'000) << qint64(68'000) << qint64(600'000) << qint64(64'000) << qint64(69'000);
    QTest::newRow("a hit near the start")
        << qint64(400) << qint64(2'000) << qint64(600'000) << qint64(0) << qint64(3'000);
    QTest::newRow("a hit near the end")
        << qint64(590'000) << qint64(599'500) << qint64(600'000) << qint64(589'000) << qint64(600'000);
    QTest::newRow("library item, long file")
        << qint64(0) << qint64(0) << qint64(600'000) << qint64(0) << qint64(30'000);
    QTest::newRow("library item, short file")
        << qint64(0) << qint64(0) << qint64(20'000) << qint64(0) << qint64(20'000);
    QTest::newRow("library item, very short file")
        << qint64(0) << qint64(0) << qint64(400) << qint64(0) << qint64(400);
    QTest::newRow("library item, unknown duration")
        << qint64(0) << qint64(0) << qint64(0) << qint64(0) << qint64(1'000);
    QTest::newRow("hit, unknown duration")
        << qint64(10'000) << qint64(14'000) << qint64(0) << qint64(9'000) << qint64(15'000);
    // The start is left beyond the end: the clip panel keeps its extract button off.
    QTest::newRow("start beyond the duration")
        << qint64(90'000) << qint64(90'000) << qint64(60'000) << qint64(90'000) << qint64(60'000);
}

void TestTranscriptPlayer::passageWindow() {
    QFETCH(qint64, start);
    QFETCH(qint64, end);
    QFETCH(qint64, duration);
    QFETCH(qint64, in);
    QFETCH(qint64, out);
    QCOMPARE(ClipBounds::passageWindow(start, end, duration), std::make_pair(in, out));

    // The sheet opens with that window.
    auto* port = new FakeMediaPort({true, duration, true});
    TranscriptPlayer* player = sheet({m_video, QStringLiteral("A talk"), start, end, std::nullopt}, port);
    QSignalSpy finished(player->session(), &PlayerSession::openFinished);
    player->open();
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(player->session()->inMs(), in);
    QCOMPARE(player->session()->outMs(), out);
    player->close();
}

void TestTranscriptPlayer::opensAtThePassage() {
    auto* port = new FakeMediaPort({true, 600'000, true});
    port->holdLoad = true;
    TranscriptPlayer* player =
        sheet({m_video, QStringLiteral("A talk"), 65'000, 68'000, QStringLiteral("a ‹b› c")}, port);
    QSignalSpy finished(player->session(), &PlayerSession::openFinished);
    player->open();
    QVERIFY(QTest::qWaitForWindowExposed(player));
    // While the file opens: the spinner, and no time yet.
    QTRY_VERIFY(port->loading);
    QCOMPARE(currentPage(player), QStringLiteral("player_loading_page"));
    QCOMPARE(player->findChild<QLabel*>(QStringLiteral("player_time"))->text(), QStringLiteral(" "));
    port->release();
    QTRY_COMPARE(finished.size(), 1);
    // Playback starts at the passage itself, not at the clip's start a second earlier.
    QCOMPARE(port->take(), QStringList({QStringLiteral("load ") + m_video,
                                        QStringLiteral("seekAndWait 65000"), QStringLiteral("play")}));
    QCOMPARE(currentPage(player), QStringLiteral("video"));
    QCOMPARE(player->session()->inMs(), 64'000);
    QCOMPARE(player->session()->outMs(), 69'000);
    // The first suggestion was asked for the window, before playback.
    QTRY_VERIFY(player->session()->suggestion().has_value());
    const QList<LoggedRequest> suggests = f->requestsOf(QStringLiteral("clip.suggest"));
    QCOMPARE(suggests.size(), 1);
    QCOMPARE(suggests[0].params.value(QStringLiteral("startMs")).toInteger(), 64'000);
    QCOMPARE(suggests[0].params.value(QStringLiteral("endMs")).toInteger(), 69'000);
    QCOMPARE(suggests[0].params.value(QStringLiteral("audioOnly")).toBool(), false);
    QCOMPARE(suggests[0].params.value(QStringLiteral("path")).toString(), m_video);
    // The position follows the player's reports.
    port->advanceTo(65'400);
    QCOMPARE(player->session()->currentMs(), 65'400);
    player->close();
}

void TestTranscriptPlayer::timeText_data() {
    QTest::addColumn<qint64>("duration");
    QTest::addColumn<qint64>("position");
    QTest::addColumn<QString>("text");
    QTest::newRow("into a known duration") << qint64(185'000) << qint64(12'000) << "12 s / 3 min 05 s";
    QTest::newRow("at the start of a known duration") << qint64(185'000) << qint64(0) << "0 s / 3 min 05 s";
    QTest::newRow("unknown duration, moving") << qint64(0) << qint64(4'400) << "4 s / 0 s";
    QTest::newRow("nothing known yet") << qint64(0) << qint64(0) << " ";
}

void TestTranscriptPlayer::timeText() {
    QFETCH(qint64, duration);
    QFETCH(qint64, position);
    QFETCH(QString, text);
    auto* port = new FakeMediaPort({true, duration, true});
    TranscriptPlayer* player = sheet({m_video, QStringLiteral("A talk"), 0, 0, std::nullopt}, port);
    QSignalSpy finished(player->session(), &PlayerSession::openFinished);
    player->open();
    QTRY_COMPARE(finished.size(), 1);
    port->advanceTo(position);
    QCOMPARE(player->findChild<QLabel*>(QStringLiteral("player_time"))->text(), text);
    player->close();
}

void TestTranscriptPlayer::unplayableFileKeepsItsWindow() {
    auto* port = new FakeMediaPort({false, 120'000, false});
    TranscriptPlayer* player = sheet({m_video, QStringLiteral("A talk"), 10'000, 14'000, std::nullopt}, port);
    QSignalSpy finished(player->session(), &PlayerSession::openFinished);
    player->open();
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(currentPage(player), QStringLiteral("player_unavailable"));
    // No seek and no playback; the duration, the window and a suggestion all the same.
    QCOMPARE(port->take(), QStringList{QStringLiteral("load ") + m_video});
    QCOMPARE(player->session()->inMs(), 9'000);
    QCOMPARE(player->session()->outMs(), 15'000);
    QTRY_VERIFY(player->session()->suggestion().has_value());
    QCOMPARE(player->findChild<QLabel*>(QStringLiteral("player_time"))->text(),
             QStringLiteral("0 s / 2 min 00 s"));
    // Neither the timeline nor play-selection without a player.
    QVERIFY(!player->findChild<QWidget*>(QStringLiteral("trim_timeline"))->isVisible());
    QVERIFY(!player->findChild<QPushButton*>(QStringLiteral("v2_clip_play_selection"))->isVisible());
    QVERIFY(player->findChild<QPushButton*>(QStringLiteral("v2_clip_extract"))->isVisible());

    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
    player->findChild<QPushButton*>(QStringLiteral("v2_player_open_external"))->click();
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QCOMPARE(catcher.urls, QList<QUrl>{QUrl::fromLocalFile(m_video)});
    player->close();
}

void TestTranscriptPlayer::picturesArePainted() {
    auto* port = new FakeMediaPort({true, 3'000, true});
    TranscriptPlayer* player = sheet({m_video, QStringLiteral("A talk"), 0, 0, std::nullopt}, port);
    QSignalSpy finished(player->session(), &PlayerSession::openFinished);
    player->open();
    QVERIFY(QTest::qWaitForWindowExposed(player));
    QTRY_COMPARE(finished.size(), 1);
    QImage picture(90, 160, QImage::Format_RGB32);
    picture.fill(QColor(200, 30, 40));
    Q_EMIT port->frameShown(picture);
    VideoView* video = player->video();
    const QImage shown = video->grab().toImage();
    // A tall picture fills the view's height at its own shape, centred on black.
    const QPoint centre(shown.width() / 2, shown.height() / 2);
    QCOMPARE(QColor(shown.pixel(centre)).red(), 200);
    QCOMPARE(QColor(shown.pixel(QPoint(centre.x(), 2))).red(), 200);
    QCOMPARE(QColor(shown.pixel(QPoint(2, centre.y()))), QColor(Qt::black));
    player->close();
}

void TestTranscriptPlayer::excerptRow_data() {
    QTest::addColumn<std::optional<QString>>("excerpt");
    QTest::addColumn<bool>("row");
    QTest::addColumn<QString>("copied");
    QTest::newRow("no excerpt, no row") << std::optional<QString>() << false << QString();
    QTest::newRow("an empty excerpt still has its row") << std::optional<QString>(QString()) << true << "";
    QTest::newRow("marks dropped from the copy")
        << std::optional<QString>(QStringLiteral("a ‹b› c")) << true << "a b c";
    QTest::newRow("stray marks dropped too")
        << std::optional<QString>(QStringLiteral("a › b ‹c›› d")) << true << "a  b c d";
    QTest::newRow("no marks, copied as it is")
        << std::optional<QString>(QStringLiteral("plain words & <tags>")) << true << "plain words & <tags>";
}

void TestTranscriptPlayer::excerptRow() {
    QFETCH(std::optional<QString>, excerpt);
    QFETCH(bool, row);
    QFETCH(QString, copied);
    auto* port = new FakeMediaPort({true, 60'000, true});
    TranscriptPlayer* player = sheet({m_video, QStringLiteral("A talk"), 1'000, 2'000, excerpt}, port);
    QSignalSpy finished(player->session(), &PlayerSession::openFinished);
    player->open();
    QTRY_COMPARE(finished.size(), 1);
    QWidget* excerptRow = player->findChild<QWidget*>(QStringLiteral("excerpt_row"));
    QCOMPARE(excerptRow != nullptr, row);
    if (row) {
        QVERIFY(excerptRow->isVisible());
        auto* text = excerptRow->findChild<QLabel*>(QStringLiteral("excerpt"));
        QCOMPARE(text->text(), HighlightedExcerpt::richText(*excerpt));
        QVERIFY(text->textInteractionFlags() & Qt::TextSelectableByMouse);
        QGuiApplication::clipboard()->setText(QStringLiteral("something before"));
        auto* copy = excerptRow->findChild<RowIcon*>(QStringLiteral("v2_clip_copy_excerpt"));
        QVERIFY(copy->isVisible());
        QCOMPARE(copy->toolTip(), Strings::text(QStringLiteral("v2_clip_copy_excerpt")));
        copy->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), copied);
    }
    player->close();
}

void TestTranscriptPlayer::escapeClosesAndSilences() {
    auto* port = new FakeMediaPort({true, 600'000, true});
    TranscriptPlayer* player = sheet({m_video, QStringLiteral("A talk"), 5'000, 8'000, std::nullopt}, port);
    QSignalSpy finished(player->session(), &PlayerSession::openFinished);
    QSignalSpy rejected(player, &QDialog::rejected);
    player->open();
    QVERIFY(QTest::qWaitForWindowExposed(player));
    QTRY_COMPARE(finished.size(), 1);
    QVERIFY(port->playing);
    QPointer<TranscriptPlayer> alive(player);
    QTest::keyClick(player, Qt::Key_Escape);
    QCOMPARE(rejected.size(), 1);
    QVERIFY(port->closed);
    QVERIFY(!port->playing);
    QTRY_VERIFY(alive.isNull()); // deleted on close, the port with it
}

void TestTranscriptPlayer::closedWhileOpeningNeverPlays() {
    auto* port = new FakeMediaPort({true, 600'000, true});
    port->holdLoad = true;
    TranscriptPlayer* player = sheet({m_video, QStringLiteral("A talk"), 5'000, 8'000, std::nullopt}, port);
    player->setAttribute(Qt::WA_DeleteOnClose, false);
    QSignalSpy finished(player->session(), &PlayerSession::openFinished);
    player->open();
    QTRY_VERIFY(port->loading);
    player->findChild<QPushButton*>(QStringLiteral("button_close"))->click();
    QVERIFY(port->closed);
    // The opening ends without going on: no seek, no playback, no request for a suggestion.
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(port->take(), QStringList({QStringLiteral("load ") + m_video, QStringLiteral("close")}));
    QVERIFY(!port->playing);
    QCOMPARE(player->session()->stage(), PlayerSession::Stage::Opening);
    QVERIFY(f->requestsOf(QStringLiteral("clip.suggest")).isEmpty());
    delete player;
}

QTEST_MAIN(TestTranscriptPlayer)
#include "tst_transcriptplayer.moc"
