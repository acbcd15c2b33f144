// The transcript player sheet on a fake media port and the stand-in engine: the passage's window, the
// order of the opening (load, exact seek to the passage, then playback), the time text, the unplayable
// state, the pictures painted, and closing: Escape like the close button, and a sheet closed while its
// file is still opening never plays. Its controls: the player's keys on each widget that takes them, the
// play button, the position bar agreeing with the trim timeline, sound and silence, playback on past a
// played selection, names for every control, steady digits; and the whole sheet on the real media port,
// used with the keyboard alone.
#include "FakeMediaPort.h"
#include "MediaFiles.h"
#include "ViewHelpers.h"

#include "clips/ClipBounds.h"
#include "clips/ClipPanel.h"
#include "clips/PlayerControls.h"
#include "clips/PlayerSession.h"
#include "clips/QtMediaPort.h"
#include "clips/TimecodeField.h"
#include "clips/TranscriptPlayer.h"
#include "clips/TrimTimeline.h"
#include "clips/VideoView.h"
#include "kit/TextStyle.h"
#include "library/HighlightedExcerpt.h"
#include "rows/RowIcon.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QFontDatabase>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QStackedWidget>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTemporaryDir>
#include <QToolButton>

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
    void focusStartsOnThePicture();
    void playerKeys_data();
    void playerKeys();
    void playButtonFollowsPlayback();
    void positionBarAndTimelineAgree();
    void soundAndSilence();
    void playsOnPastAPlayedSelection();
    void controlsAreNamed_data();
    void controlsAreNamed();
    void numbersKeepTheirWidth();
    void realPlayerByKeyboard();

private:
    TranscriptPlayer* sheet(const PlayerTarget& target, FakeMediaPort* port);
    // A library item of a minute on the fake port, opened, playing from 0, its window active.
    TranscriptPlayer* openMinute(FakeMediaPort*& port);
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

TranscriptPlayer* TestTranscriptPlayer::openMinute(FakeMediaPort*& port) {
    port = new FakeMediaPort({true, 60'000, true});
    TranscriptPlayer* player = sheet({m_video, QStringLiteral("A talk"), 0, 0, std::nullopt}, port);
    QSignalSpy finished(player->session(), &PlayerSession::openFinished);
    player->open();
    if (!QTest::qWaitForWindowActive(player) || !QTest::qWaitFor([&] { return finished.size() == 1; }))
        qWarning() << "the sheet did not open";
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
    QCOMPARE(QColor(shown.pixel(QPoint(centre.x(), 4))).red(), 200); // below the focus ring
    QCOMPARE(QColor(shown.pixel(QPoint(4, centre.y()))), QColor(Qt::black));
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

// Once the file stands ready the picture has the focus, so the player's keys work at once.
void TestTranscriptPlayer::focusStartsOnThePicture() {
    FakeMediaPort* port = nullptr;
    TranscriptPlayer* player = openMinute(port);
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(player->video()));
    // It shows a ring while it has the focus.
    const QImage focused = player->video()->grab().toImage();
    player->findChild<QPushButton*>(QStringLiteral("button_close"))->setFocus();
    const QImage unfocused = player->video()->grab().toImage();
    QVERIFY(focused.pixel(1, 100) != unfocused.pixel(1, 100));
    QCOMPARE(QColor(unfocused.pixel(1, 100)), QColor(Qt::black));
    // Tab goes on from the picture to the play button, the position bar, silence and the level.
    player->video()->setFocus();
    QStringList order;
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(order, (QStringList{"player_toggle", "player_position", "player_mute", "player_volume"}));
    player->close();
}

void TestTranscriptPlayer::playerKeys_data() {
    QTest::addColumn<QString>("target"); // the widget with the focus
    QTest::addColumn<qint64>("at");
    QTest::addColumn<bool>("playing");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<bool>("playingAfter");
    QTest::addColumn<qint64>("currentAfter");
    const QString video = QStringLiteral("video");
    const QString bar = QStringLiteral("player_position");
    const QString toggle = QStringLiteral("player_toggle");
    const int none = Qt::NoModifier;
    QTest::newRow("Space pauses") << video << qint64(10'000) << true << int(Qt::Key_Space) << none
                                  << QStringList{"pause"} << false << qint64(10'000);
    QTest::newRow("Space plays on from here") << video << qint64(10'000) << false << int(Qt::Key_Space)
                                              << none << QStringList{"play"} << true << qint64(10'000);
    QTest::newRow("Space at the end plays from the start")
        << video << qint64(60'000) << true << int(Qt::Key_Space) << none
        << QStringList{"seek 0 exact", "play"} << true << qint64(0);
    QTest::newRow("Right: 5 s ahead, playing on")
        << video << qint64(10'000) << true << int(Qt::Key_Right) << none << QStringList{"seek 15000 exact"}
        << true << qint64(15'000);
    QTest::newRow("Left: 5 s back, paused stays paused")
        << bar << qint64(10'000) << false << int(Qt::Key_Left) << none << QStringList{"seek 5000 exact"}
        << false << qint64(5'000);
    QTest::newRow("Left near the start stops at 0")
        << toggle << qint64(2'000) << true << int(Qt::Key_Left) << none << QStringList{"seek 0 exact"} << true
        << qint64(0);
    QTest::newRow("Right near the end stops at the last picture")
        << video << qint64(58'000) << false << int(Qt::Key_Right) << none << QStringList{"seek 59900 exact"}
        << false << qint64(59'900);
    QTest::newRow("Home") << bar << qint64(30'000) << true << int(Qt::Key_Home) << none
                          << QStringList{"seek 0 exact"} << true << qint64(0);
    QTest::newRow("End: the last picture") << toggle << qint64(30'000) << false << int(Qt::Key_End) << none
                                           << QStringList{"seek 59900 exact"} << false << qint64(59'900);
    QTest::newRow("Space after End plays from the start")
        << video << qint64(59'900) << false << int(Qt::Key_Space) << none
        << QStringList{"seek 0 exact", "play"} << true << qint64(0);
    QTest::newRow("Space on the position bar") << bar << qint64(10'000) << true << int(Qt::Key_Space) << none
                                               << QStringList{"pause"} << false << qint64(10'000);
    QTest::newRow("Space on the play button plays once")
        << toggle << qint64(10'000) << false << int(Qt::Key_Space) << none << QStringList{"play"} << true
        << qint64(10'000);
    QTest::newRow("Ctrl+Right is not the player's")
        << video << qint64(10'000) << true << int(Qt::Key_Right) << int(Qt::ControlModifier) << QStringList{}
        << true << qint64(10'000);
}

void TestTranscriptPlayer::playerKeys() {
    QFETCH(QString, target);
    QFETCH(qint64, at);
    QFETCH(bool, playing);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QStringList, calls);
    QFETCH(bool, playingAfter);
    QFETCH(qint64, currentAfter);
    FakeMediaPort* port = nullptr;
    TranscriptPlayer* player = openMinute(port);
    // Played (or paused) to `at`; a file played to its end stands stopped there.
    if (!playing)
        port->pause();
    port->advanceTo(at);
    QCOMPARE(player->session()->currentMs(), at);
    auto* focus = player->findChild<QWidget*>(target);
    QVERIFY(focus);
    focus->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), focus);
    port->take();
    QTest::keyClick(focus, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(port->take(), calls);
    QCOMPARE(port->playing, playingAfter);
    QCOMPARE(player->session()->currentMs(), currentAfter);
    // The focus stays where it was: the keys were the player's, not the widget's own.
    QCOMPARE(QApplication::focusWidget(), focus);
    auto* bar = player->findChild<QSlider*>(QStringLiteral("player_position"));
    QCOMPARE(bar->value(), int(currentAfter));
    QCOMPARE(player->clipPanel()->timeline()->currentMs(), currentAfter);
    player->close();
}

void TestTranscriptPlayer::playButtonFollowsPlayback() {
    FakeMediaPort* port = nullptr;
    TranscriptPlayer* player = openMinute(port);
    auto* toggle = player->findChild<QToolButton*>(QStringLiteral("player_toggle"));
    QVERIFY(toggle->isVisible() && toggle->isEnabled());
    QCOMPARE(toggle->accessibleName(), Strings::text(QStringLiteral("button_pause")));
    const QImage pauseIcon = toggle->icon().pixmap(18).toImage();
    port->take();
    toggle->click();
    QCOMPARE(port->take(), QStringList{"pause"});
    QCOMPARE(toggle->accessibleName(), Strings::text(QStringLiteral("button_play")));
    QCOMPARE(toggle->toolTip(), Strings::text(QStringLiteral("button_play")));
    QVERIFY(toggle->icon().pixmap(18).toImage() != pauseIcon);
    toggle->click();
    QCOMPARE(port->take(), QStringList{"play"});
    QCOMPARE(toggle->accessibleName(), Strings::text(QStringLiteral("button_pause")));
    // Played to the end it stops, and the button plays the file again from its beginning.
    port->advanceTo(60'000);
    QVERIFY(!port->playing);
    QCOMPARE(toggle->accessibleName(), Strings::text(QStringLiteral("button_play")));
    toggle->click();
    QCOMPARE(port->take(), (QStringList{"seek 0 exact", "play"}));
    QVERIFY(port->playing);
    QCOMPARE(player->session()->currentMs(), 0);
    player->close();
}

// Where the bar lies under the pointer for a time.
static QPoint barPoint(QSlider* bar, qint64 ms) {
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.orientation = bar->orientation();
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    const QRect groove =
        bar->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, bar);
    const QRect handle =
        bar->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, bar);
    const int span = groove.width() - handle.width();
    const int x = groove.x() + handle.width() / 2 +
                  QStyle::sliderPositionFromValue(bar->minimum(), bar->maximum(), int(ms), span);
    return {x, bar->height() / 2};
}

void TestTranscriptPlayer::positionBarAndTimelineAgree() {
    FakeMediaPort* port = nullptr;
    TranscriptPlayer* player = openMinute(port);
    auto* bar = player->findChild<QSlider*>(QStringLiteral("player_position"));
    auto* elapsed = player->findChild<QLabel*>(QStringLiteral("player_elapsed"));
    auto* total = player->findChild<QLabel*>(QStringLiteral("player_total"));
    TrimTimeline* timeline = player->clipPanel()->timeline();
    port->advanceTo(12'000);
    QCOMPARE(bar->maximum(), 60'000);
    QCOMPARE(bar->value(), 12'000);
    QCOMPARE(timeline->currentMs(), 12'000);
    QCOMPARE(elapsed->text(), QStringLiteral("0:12"));
    QCOMPARE(total->text(), QStringLiteral("1:00"));

    // A press on the groove and a drag: playback holds, the place shows loosely, then exactly where the
    // drag ends, and playback goes on from there.
    port->take();
    QTest::mousePress(bar, Qt::LeftButton, {}, barPoint(bar, 30'000));
    QTest::mouseMove(bar, barPoint(bar, 40'000));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, barPoint(bar, 40'000));
    const QStringList calls = port->take();
    QVERIFY2(calls.size() >= 4, qPrintable(calls.join(u',')));
    QCOMPARE(calls.first(), QStringLiteral("pause"));
    QVERIFY(calls[1].endsWith(QLatin1String("loose")));
    QCOMPARE(calls.last(), QStringLiteral("play"));
    const qint64 landed = player->session()->currentMs();
    QCOMPARE(calls[calls.size() - 2], QStringLiteral("seek %1 exact").arg(landed));
    QVERIFY2(qAbs(landed - 40'000) < 1'000, qPrintable(QString::number(landed)));
    QVERIFY(port->playing);
    QCOMPARE(bar->value(), int(landed));
    QCOMPARE(timeline->currentMs(), landed);
    QCOMPARE(elapsed->text(), PlayerControls::clock(landed));
    // The bar's times read as the header's: to the nearest second.
    port->advanceTo(landed / 1000 * 1000 + 600);
    QCOMPARE(elapsed->text(), TimecodeField::format(landed / 1000 * 1000 + 1000));

    // The timeline's playhead moved by hand: the bar follows.
    const TimelineGeometry g = timeline->geometryNow();
    const int x = qRound(g.position(50'000));
    QTest::mousePress(timeline, Qt::LeftButton, {}, QPoint(x, 26));
    QTest::mouseRelease(timeline, Qt::LeftButton, {}, QPoint(x, 26));
    QCOMPARE(timeline->currentMs(), g.msAt(x));
    QCOMPARE(bar->value(), int(g.msAt(x)));
    QVERIFY(port->playing);
    player->close();
}

void TestTranscriptPlayer::soundAndSilence() {
    FakeMediaPort* port = nullptr;
    TranscriptPlayer* player = openMinute(port);
    auto* mute = player->findChild<QToolButton*>(QStringLiteral("player_mute"));
    auto* level = player->findChild<QSlider*>(QStringLiteral("player_volume"));
    QCOMPARE(level->value(), 100);
    QCOMPARE(mute->accessibleName(), Strings::text(QStringLiteral("player_mute")));
    port->take();
    mute->click();
    QCOMPARE(port->take(), QStringList{"muted on"});
    QVERIFY(mute->isChecked());
    QCOMPARE(mute->accessibleName(), Strings::text(QStringLiteral("player_unmute")));
    QTest::keyClick(mute, Qt::Key_Space);
    QCOMPARE(port->take(), QStringList{"muted off"});
    QCOMPARE(mute->accessibleName(), Strings::text(QStringLiteral("player_mute")));
    // The level from the keyboard: a step down, then none at all.
    level->setFocus();
    QTest::keyClick(level, Qt::Key_Left);
    QCOMPARE(port->take(), QStringList{"volume 0.95"});
    QTest::keyClick(level, Qt::Key_Home);
    QCOMPARE(port->take(), QStringList{"volume 0"});
    QCOMPARE(player->session()->volume(), 0);
    // Playback was left alone.
    QVERIFY(port->playing);
    player->close();
}

// "Play Selection" stops at the clip's end; playing from there goes on past it.
void TestTranscriptPlayer::playsOnPastAPlayedSelection() {
    FakeMediaPort* port = nullptr;
    TranscriptPlayer* player = openMinute(port);
    player->findChild<QPushButton*>(QStringLiteral("v2_clip_play_selection"))->click();
    QTRY_VERIFY(port->calls.contains(QStringLiteral("play")));
    QCOMPARE(port->stopMs, 30'000);
    port->advanceTo(30'200);
    QVERIFY(!port->playing);
    port->take();
    QTest::keyClick(player->video(), Qt::Key_Space);
    QCOMPARE(port->take(), (QStringList{"stop none", "play"}));
    port->advanceTo(34'000);
    QVERIFY(port->playing);
    QCOMPARE(player->session()->currentMs(), 34'000);
    // A step of a bound while playing: the player shows it and plays on from there.
    player->findChild<QWidget*>(QStringLiteral("bound_end"))
        ->findChild<QAbstractButton*>(QStringLiteral("v2_clip_step_earlier"))
        ->click();
    QCOMPARE(port->take(), QStringList{"seek 29000 exact"});
    QVERIFY(port->playing);
    player->close();
}

void TestTranscriptPlayer::controlsAreNamed_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("key"); // of the accessible name
    QTest::newRow("picture") << "video"
                             << "player_view";
    QTest::newRow("play") << "player_toggle"
                          << "button_pause";
    QTest::newRow("time played") << "player_elapsed"
                                 << "player_elapsed";
    QTest::newRow("position") << "player_position"
                              << "player_position";
    QTest::newRow("length") << "player_total"
                            << "player_duration";
    QTest::newRow("silence") << "player_mute"
                             << "player_mute";
    QTest::newRow("level") << "player_volume"
                           << "player_volume";
}

void TestTranscriptPlayer::controlsAreNamed() {
    QFETCH(QString, name);
    QFETCH(QString, key);
    FakeMediaPort* port = nullptr;
    TranscriptPlayer* player = openMinute(port);
    auto* widget = player->findChild<QWidget*>(name);
    QVERIFY(widget);
    QVERIFY(widget->isVisible());
    QCOMPARE(widget->accessibleName(), Strings::text(key));
    QVERIFY(!widget->accessibleName().isEmpty());
    QVERIFY(widget->accessibleName() != key); // a text, never the key
    // In French too.
    QCoro::waitFor(f->model->sessionPart().applyLanguage(QStringLiteral("fr")));
    QCOMPARE(Strings::language(), QStringLiteral("fr"));
    QCOMPARE(widget->accessibleName(), Strings::text(key));
    QVERIFY(widget->accessibleName() != key);
    player->close();
}

// Times and timecodes keep their width as their digits change: each digit is as wide as any other.
void TestTranscriptPlayer::numbersKeepTheirWidth() {
    // A font whose digits differ in width, if this machine has one, as the application font.
    const QFont before = QApplication::font();
    QString proportional;
    for (const QString& family : QFontDatabase::families(QFontDatabase::Latin)) {
        const QFont candidate(family);
        if (QFontDatabase::isPrivateFamily(family) || QFontInfo(candidate).family() != family ||
            QFontDatabase::writingSystems(family).contains(QFontDatabase::Symbol))
            continue;
        if (!TextStyle::hasTabularDigits(candidate)) {
            proportional = family;
            break;
        }
    }
    if (!proportional.isEmpty()) {
        qInfo() << "tried with" << proportional;
        QApplication::setFont(QFont(proportional, before.pointSize()));
    }
    FakeMediaPort* port = nullptr;
    TranscriptPlayer* player = openMinute(port);
    for (const char* name :
         {"player_time", "player_elapsed", "player_total", "v2_clip_start", "v2_clip_end", "clip_length"}) {
        auto* widget = player->findChild<QWidget*>(QString::fromLatin1(name));
        QVERIFY2(widget, name);
        QVERIFY2(TextStyle::hasTabularDigits(widget->font()), name);
    }
    // A font with equal digits is kept as it is; any other gives way to the desktop's fixed-pitch font at
    // its size (a symbol font with glyphs of all widths where the digits are will do to show it).
    if (TextStyle::hasTabularDigits(QApplication::font()))
        QCOMPARE(TextStyle::tabularDigits(QApplication::font()), QApplication::font());
    int fallbacks = 0;
    for (const QString& family : QFontDatabase::families()) {
        QFont uneven(family);
        uneven.setPointSizeF(13);
        uneven.setWeight(QFont::DemiBold);
        if (TextStyle::hasTabularDigits(uneven))
            continue;
        const QFont tabular = TextStyle::tabularDigits(uneven);
        QVERIFY2(TextStyle::hasTabularDigits(tabular), qPrintable(family));
        QCOMPARE(tabular.pointSizeF(), 13.0);
        QCOMPARE(tabular.weight(), QFont::DemiBold);
        ++fallbacks;
    }
    qInfo() << fallbacks << "fonts with uneven digits given the fixed-pitch font";
    player->close();
    QApplication::setFont(before);
    if (proportional.isEmpty())
        qInfo("no font with proportional digits here: only fonts with equal digits were tried");
}

// The sheet on the real media port and a generated film, used with the keyboard alone.
void TestTranscriptPlayer::realPlayerByKeyboard() {
    const QString film = MediaFiles::video(QDir(m_dir.path()), QStringLiteral("twelve.mp4"), 12);
    QVERIFY(!film.isEmpty());
    auto* player = new TranscriptPlayer(f->model.get(), {film, QStringLiteral("Twelve"), 0, 0, std::nullopt},
                                        new QtMediaPort, nullptr);
    player->setAttribute(Qt::WA_DeleteOnClose);
    QSignalSpy finished(player->session(), &PlayerSession::openFinished);
    player->open();
    QVERIFY(QTest::qWaitForWindowActive(player));
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 15000);
    MediaPort* port = player->session()->port();
    QTRY_VERIFY(port->isPlaying());
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(player->video()));
    auto key = [](Qt::Key k) { QTest::keyClick(QApplication::focusWidget(), k); };
    auto* bar = player->findChild<QSlider*>(QStringLiteral("player_position"));

    key(Qt::Key_Space);
    QTRY_VERIFY(!port->isPlaying());
    const qint64 paused = port->position();
    key(Qt::Key_Right);
    QTRY_VERIFY(qAbs(port->position() - (paused + 5'000)) < 100);
    QVERIFY(!port->isPlaying());
    QCOMPARE(bar->value(), int(player->session()->currentMs()));
    key(Qt::Key_Space);
    QTRY_VERIFY(port->isPlaying());
    // To the end: playback stops there; Space plays the film again from its beginning.
    key(Qt::Key_End);
    QTRY_VERIFY_WITH_TIMEOUT(!port->isPlaying(), 5000);
    key(Qt::Key_Space);
    QTRY_VERIFY_WITH_TIMEOUT(port->isPlaying() && port->position() > 0 && port->position() < 3'000, 5000);
    // Home from the position bar, reached with Tab.
    key(Qt::Key_Tab);
    key(Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(bar));
    key(Qt::Key_Space);
    QTRY_VERIFY(!port->isPlaying());
    key(Qt::Key_Home);
    QTRY_VERIFY(port->position() < 100);
    QTRY_COMPARE(bar->value(), 0);
    player->close();
}

QTEST_MAIN(TestTranscriptPlayer)
#include "Session.h"
#include "tst_transcriptplayer.moc"
