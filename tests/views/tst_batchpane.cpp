// The Batch tab: the add flow from the field to "queue.resolve" and back on failure, the buttons'
// enabled states, the notes and the summary, the queue's rows and dividers, and a queue of 10,000 jobs
// that paints only the rows in sight.
#include "BatchFixture.h"
#include "Composition.h"
#include "DownloadQueue.h"
#include "JobStates.h"
#include "ViewHelpers.h"

#include "JobListModel.h"
#include "Prompts.h"
#include "batch/BatchNotes.h"
#include "batch/BatchPane.h"
#include "batch/PasteField.h"
#include "batch/QueueListView.h"
#include "batch/QueueSummary.h"
#include "download/AnalysingCard.h"
#include "download/Banners.h"
#include "kit/EmptyNotice.h"
#include "kit/Icons.h"
#include "kit/LinkButton.h"
#include "kit/NoticeFrame.h"
#include "kit/SymbolLabel.h"
#include "kit/TextStyle.h"
#include "rows/JobRowDelegate.h"
#include "rows/ThumbnailCache.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>

using Kind = Job::State::Kind;

namespace {

std::vector<std::shared_ptr<Job>> jobsOf(const QList<int>& kinds) {
    std::vector<std::shared_ptr<Job>> out;
    int i = 0;
    for (int kind : kinds)
        out.push_back(jobIn(Kind(kind), QStringLiteral("http://127.0.0.1:9/%1.mp4").arg(i++),
                            QStringLiteral("it broke")));
    return out;
}

// One row of `list` as its delegate paints it on a transparent picture of the row's size.
QImage paintedRow(QListView* list, const QModelIndex& index) {
    QStyleOptionViewItem option;
    option.initFrom(list->viewport());
    const QRect rect = list->visualRect(index);
    option.rect = QRect(QPoint(0, 0), rect.size());
    QImage image(rect.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    list->itemDelegate()->paint(&painter, option, index);
    painter.end();
    return image;
}

// The colour of the most opaque pixel of `image` (text drawn in one colour keeps it at its stems).
QColor inkOf(const QImage& image) {
    QColor best(Qt::transparent);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() > best.alpha())
                best = c;
        }
    }
    return best;
}

QStringList stringsOf(const QJsonArray& array) {
    QStringList out;
    for (const auto& v : array)
        out << v.toString();
    return out;
}

} // namespace

class TestBatchPane : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void addSendsTheSplitText_data();
    void addSendsTheSplitText();
    void failedResolvePutsTheTextBack();
    void addButton_data();
    void addButton();
    void resumeAndClear_data();
    void resumeAndClear();
    void resumeAllStartsWaitingJobs();
    void startWaitingSaysWhatItDoes_data();
    void startWaitingSaysWhatItDoes();
    void clearAsksForConfirmation();
    void notes_data();
    void notes();
    void manyNotesCostWhatAFewDo();
    void fullBatchRefillsTheField();
    void fieldTextFollowsTheAppearance();
    void summary_data();
    void summary();
    void rowsAndDividers_data();
    void rowsAndDividers();
    void longQueuePaintsWhatIsInSight();
    void wheelOverTheQueueScrollsThePane();
};

void TestBatchPane::addSendsTheSplitText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("urls");
    QTest::newRow("one per line, blank lines and blanks around")
        << "  http://a.example/1  \n\n\thttp://a.example/2\n"
        << QStringList{"http://a.example/1", "http://a.example/2"};
    QTest::newRow("two hosts on a line") << "a.example b.example" << QStringList{"a.example", "b.example"};
    QTest::newRow("a title with words stays one")
        << "my holiday video\nhttp://a.example/3" << QStringList{"my holiday video", "http://a.example/3"};
    QTest::newRow("an address and a word stay one")
        << "http://a.example/4 later" << QStringList{"http://a.example/4 later"};
    QTest::newRow("two addresses split by a tab") << "http://a.example/5\thttp://a.example/6"
                                                  << QStringList{"http://a.example/5", "http://a.example/6"};
}

void TestBatchPane::addSendsTheSplitText() {
    QFETCH(QString, text);
    QFETCH(QStringList, urls);
    ViewFixture f;
    f.boot();
    f.control(QStringLiteral("test.hold"),
              QJsonObject{{QStringLiteral("method"), QStringLiteral("queue.resolve")}});
    BatchPane pane(f.model.get());
    QVERIFY(showAt(&pane, QSize(900, 620)));
    pane.field()->setPlainText(text);
    QCOMPARE(f.model->queuePart().batchURLs(), text);
    QVERIFY(pane.addButton()->isEnabled());
    QTest::mouseClick(pane.addButton(), Qt::LeftButton);
    // Empty at the click, before any answer.
    QCOMPARE(pane.field()->toPlainText(), QString());
    QCOMPARE(f.model->queuePart().batchURLs(), QString());
    QVERIFY(f.waitForRequests(QStringLiteral("queue.resolve"), 1));
    QCOMPARE(stringsOf(f.requestsOf(QStringLiteral("queue.resolve")).first().params.value("urls").toArray()),
             urls);
    // While the engine works: the button says so, is disabled, and the spinner turns.
    QVERIFY(QTest::qWaitFor([&] { return f.model->queuePart().isResolving(); }));
    QCOMPARE(pane.addButton()->text(), Strings::text(QStringLiteral("button_loading")));
    QVERIFY(!pane.addButton()->isEnabled());
    QVERIFY(pane.spinner()->isVisible());
    f.script(QStringLiteral("queue.resolve"), BatchJson::resolution({}, {}));
    f.control(QStringLiteral("test.release"),
              QJsonObject{{QStringLiteral("method"), QStringLiteral("queue.resolve")}});
    QVERIFY(QTest::qWaitFor([&] { return !f.model->queuePart().isResolving(); }));
    QCOMPARE(pane.addButton()->text(), Strings::text(QStringLiteral("button_add_to_queue")));
    QVERIFY(!pane.spinner()->isVisible());
    QCOMPARE(pane.field()->toPlainText(), QString());
}

void TestBatchPane::failedResolvePutsTheTextBack() {
    ViewFixture f;
    f.boot();
    f.model->compositionPart().setPastedText(QStringLiteral("https://download.example/watch"));
    f.control(QStringLiteral("test.hold"),
              QJsonObject{{QStringLiteral("method"), QStringLiteral("queue.resolve")}});
    BatchPane pane(f.model.get());
    QVERIFY(showAt(&pane, QSize(900, 620)));
    const QString text = QStringLiteral("http://a.example/1\nhttp://a.example/2");
    pane.field()->setPlainText(text);
    QTest::mouseClick(pane.addButton(), Qt::LeftButton);
    QCOMPARE(pane.field()->toPlainText(), QString());
    QVERIFY(f.waitForRequests(QStringLiteral("queue.resolve"), 1));
    f.scriptError(QStringLiteral("queue.resolve"), 7, QStringLiteral("The engine could not read the list"));
    f.control(QStringLiteral("test.release"),
              QJsonObject{{QStringLiteral("method"), QStringLiteral("queue.resolve")}});
    QVERIFY(QTest::qWaitFor([&] { return !f.model->queuePart().isResolving(); }));
    QCOMPARE(pane.field()->toPlainText(), text + u'\n');
    QCOMPARE(f.model->compositionPart().pastedText(), QStringLiteral("https://download.example/watch"));
    QVERIFY(pane.addButton()->isEnabled());
    // The failure shows in the pane's own banner.
    QVERIFY(QTest::qWaitFor([&] { return pane.banners()->errorBanner()->isVisible(); }));
    QVERIFY(f.model->queuePart().jobs().empty());
}

void TestBatchPane::addButton_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("empty") << "" << false;
    QTest::newRow("spaces and line breaks") << "  \n\t \n " << false;
    QTest::newRow("one character") << "\n x \n" << true;
    QTest::newRow("an address") << "http://a.example/1" << true;
}

void TestBatchPane::addButton() {
    QFETCH(QString, text);
    QFETCH(bool, enabled);
    ViewFixture f;
    f.boot();
    BatchPane pane(f.model.get());
    QVERIFY(showAt(&pane, QSize(900, 620)));
    // Typed in the field, and written to the state from elsewhere: the button follows both.
    pane.field()->setPlainText(text);
    QCOMPARE(pane.addButton()->isEnabled(), enabled);
    f.model->queuePart().setBatchURLs(QStringLiteral("http://other.example/1"));
    QVERIFY(pane.addButton()->isEnabled());
    f.model->queuePart().setBatchURLs(text);
    QCOMPARE(pane.field()->toPlainText(), text);
    QCOMPARE(pane.addButton()->isEnabled(), enabled);
    // A click on a disabled button sends nothing and the field keeps its text; an enabled one empties it.
    pane.add();
    QCOMPARE(f.model->queuePart().batchURLs(), enabled ? QString() : text);
}

void TestBatchPane::resumeAndClear_data() {
    QTest::addColumn<QList<int>>("kinds");
    QTest::addColumn<bool>("resume");
    QTest::addColumn<bool>("clear");
    QTest::newRow("empty") << QList<int>{} << false << false;
    QTest::newRow("only waiting") << QList<int>{Kind::Waiting, Kind::Waiting} << true << true;
    QTest::newRow("only paused") << QList<int>{Kind::Paused} << false << true;
    QTest::newRow("only failed") << QList<int>{Kind::Failed, Kind::Failed} << false << true;
    QTest::newRow("mixed") << QList<int>{Kind::Done, Kind::Paused, Kind::Waiting, Kind::Failed,
                                         Kind::Cancelled}
                           << true << true;
}

void TestBatchPane::resumeAndClear() {
    QFETCH(QList<int>, kinds);
    QFETCH(bool, resume);
    QFETCH(bool, clear);
    ViewFixture f;
    f.boot();
    BatchPane pane(f.model.get());
    QVERIFY(showAt(&pane, QSize(900, 620)));
    // A job that comes and goes first: the buttons follow the queue, not only its first state.
    f.model->queuePart().insertJobs(0, jobsOf({Kind::Waiting}));
    QTRY_VERIFY(pane.resumeAllButton()->isEnabled());
    f.model->queuePart().clearQueue();
    QTRY_VERIFY(!pane.clearButton()->isEnabled());
    f.model->queuePart().insertJobs(0, jobsOf(kinds));
    QTRY_COMPARE(pane.clearButton()->isEnabled(), clear);
    QCOMPARE(pane.resumeAllButton()->isEnabled(), resume);
    // A waiting job that becomes paused no longer counts.
    if (resume) {
        for (const auto& job : f.model->queuePart().jobs()) {
            if (job->state().kind == Kind::Waiting)
                putInState(*job, {Kind::Paused, {}});
        }
        QTRY_VERIFY(!pane.resumeAllButton()->isEnabled());
    }
}

void TestBatchPane::resumeAllStartsWaitingJobs() {
    ViewFixture f;
    f.boot();
    f.control(QStringLiteral("test.hold"),
              QJsonObject{{QStringLiteral("method"), QStringLiteral("download.start")}});
    const auto jobs = jobsOf({Kind::Waiting, Kind::Done, Kind::Waiting});
    f.model->queuePart().insertJobs(0, jobs);
    BatchPane pane(f.model.get());
    QVERIFY(showAt(&pane, QSize(900, 620)));
    QTRY_VERIFY(pane.resumeAllButton()->isEnabled());
    QTest::mouseClick(pane.resumeAllButton(), Qt::LeftButton);
    QVERIFY(f.waitForRequests(QStringLiteral("download.start"), 2));
    QStringList started;
    for (const LoggedRequest& r : f.requestsOf(QStringLiteral("download.start")))
        started << r.params.value(QStringLiteral("jobId")).toString();
    started.sort();
    QStringList expected{jobs[0]->id(), jobs[2]->id()};
    expected.sort();
    QCOMPARE(started, expected);
    QTRY_VERIFY(!pane.resumeAllButton()->isEnabled());
    f.control(QStringLiteral("test.clear"));
}

void TestBatchPane::startWaitingSaysWhatItDoes_data() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("label");
    QTest::newRow("en") << "en"
                        << "Start Waiting";
    QTest::newRow("fr") << "fr"
                        << "Lancer ceux en attente";
}

// The button starts waiting jobs only (a queue of paused jobs leaves it disabled): its label says so.
void TestBatchPane::startWaitingSaysWhatItDoes() {
    QFETCH(QString, language);
    QFETCH(QString, label);
    ViewFixture f;
    f.bootIn(language);
    QCOMPARE(Strings::language(), language);
    QCOMPARE(Strings::text(QStringLiteral("button_resume_all")), label);
    f.model->queuePart().insertJobs(0, jobsOf({Kind::Paused, Kind::Paused}));
    BatchPane pane(f.model.get());
    QVERIFY(showAt(&pane, QSize(900, 620)));
    QCOMPARE(pane.resumeAllButton()->objectName(), QStringLiteral("button_resume_all"));
    QCOMPARE(pane.resumeAllButton()->text(), label);
    QVERIFY(!pane.resumeAllButton()->isEnabled());
    QVERIFY(pane.clearButton()->isEnabled());
}

void TestBatchPane::clearAsksForConfirmation() {
    ViewFixture f;
    f.boot();
    f.model->queuePart().insertJobs(0, jobsOf({Kind::Paused, Kind::Failed}));
    BatchPane pane(f.model.get());
    QVERIFY(showAt(&pane, QSize(900, 620)));
    QTRY_VERIFY(pane.clearButton()->isEnabled());
    QTest::mouseClick(pane.clearButton(), Qt::LeftButton);
    QVERIFY(f.model->promptsPart().confirmClearQueue());
    // The pane asks; only the confirmation clears.
    QCOMPARE(f.model->queuePart().jobs().size(), size_t(2));
    f.model->queuePart().clearQueue();
    QTRY_VERIFY(pane.emptyNotice()->isVisible());
    QVERIFY(!pane.queueList()->isVisible());
}

void TestBatchPane::notes_data() {
    QTest::addColumn<QStringList>("reasons");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("none") << QStringList{} << QStringList{};
    QTest::newRow("mixed, warnings first")
        << QStringList{"listing-truncated", "not-a-url", "subreddit-expanded", "queue-full"}
        << QStringList{"not-a-url", "queue-full", "listing-truncated", "subreddit-expanded"};
    QTest::newRow("information keeps its order") << QStringList{"subreddit-expanded", "listing-truncated"}
                                                 << QStringList{"subreddit-expanded", "listing-truncated"};
    QTest::newRow("every warning in its order")
        << QStringList{"unreadable", "expand-failed", "listing-skipped", "other", "not-a-url"}
        << QStringList{"unreadable", "expand-failed", "listing-skipped", "other", "not-a-url"};
    QTest::newRow("information between warnings")
        << QStringList{"unreadable", "listing-truncated", "queue-full"}
        << QStringList{"unreadable", "queue-full", "listing-truncated"};
}

void TestBatchPane::notes() {
    QFETCH(QStringList, reasons);
    QFETCH(QStringList, shown);
    ViewFixture f;
    f.boot();
    QJsonArray notes;
    for (const QString& reason : reasons)
        notes.append(BatchJson::note(QStringLiteral("input of ") + reason, reason, 40, 10));
    BatchPane pane(f.model.get());
    QVERIFY(showAt(&pane, QSize(900, 620)));
    resolveWith(f, BatchJson::resolution({}, {}, notes));
    BatchNotes* block = pane.notes();
    QCOMPARE(block->isVisible(), !reasons.isEmpty());
    BatchNotesModel* rows = block->rows();
    QCOMPARE(rows->rowCount(), shown.size());
    BatchNotesList* list = block->list();
    for (int i = 0; i < shown.size(); ++i) {
        const BatchNote note{QStringLiteral("input of ") + shown[i], shown[i], 40, 10};
        const QModelIndex index = rows->index(i);
        QCOMPARE(index.data().toString(), note.message());
        const bool info = shown[i] == u"listing-truncated" || shown[i] == u"subreddit-expanded";
        QCOMPARE(index.data(BatchNotesModel::InformsRole).toBool(), info);
        // The row as drawn: its symbol at the top left, its text in its ink.
        const QRect rect = list->visualRect(index);
        QVERIFY(list->viewport()->rect().contains(rect));
        const int size = QFontMetrics(TextStyle::font(TextStyle::Role::Caption)).height();
        const QColor ink = Theme::ink(info ? Theme::Ink::Secondary : Theme::Ink::Warning);
        const QImage drawn = paintedRow(list, index);
        const QImage symbol = Icons::tinted(BatchNotes::symbolOf(info), size, ink)
                                  .toImage()
                                  .convertToFormat(QImage::Format_ARGB32_Premultiplied);
        // The symbol at the left edge, below the space that parts it from the note above.
        bool symbolDrawn = false;
        for (int y = 0; y + size <= drawn.height() && !symbolDrawn; ++y)
            symbolDrawn = drawn.copy(0, y, size, size) == symbol;
        QVERIFY(symbolDrawn);
        QCOMPARE(inkOf(drawn.copy(size, 0, drawn.width() - size, drawn.height())).rgb(), ink.rgb());
    }
    // A new resolve starts with no notes.
    f.control(QStringLiteral("test.hold"),
              QJsonObject{{QStringLiteral("method"), QStringLiteral("queue.resolve")}});
    f.model->queuePart().setBatchURLs(QStringLiteral("http://a.example/1"));
    pane.add();
    QVERIFY(QTest::qWaitFor([&] { return f.model->queuePart().isResolving(); }));
    QVERIFY(!block->isVisible());
    f.control(QStringLiteral("test.clear"));
}

void TestBatchPane::manyNotesCostWhatAFewDo() {
    ViewFixture f;
    f.boot();
    BatchPane pane(f.model.get());
    QVERIFY(showAt(&pane, QSize(900, 620)));
    const auto resolveNotes = [&](int count) {
        QJsonArray notes;
        for (int i = 0; i < count; ++i)
            notes.append(BatchJson::note(QStringLiteral("words %1").arg(i), QStringLiteral("not-a-url")));
        resolveWith(f, BatchJson::resolution({}, {}, notes));
        QCoreApplication::processEvents();
        return pane.findChildren<QWidget*>().size();
    };
    const qsizetype few = resolveNotes(20);
    QCOMPARE(resolveNotes(10000), few);
    // The block stays a few lines tall and scrolls; the last note is there to scroll to.
    BatchNotesList* list = pane.notes()->list();
    QVERIFY(list->isVisible());
    QCOMPARE(list->height(), BatchNotesList::maxHeight());
    QVERIFY(list->verticalScrollBar()->isVisible());
    const QModelIndex last = pane.notes()->rows()->index(9999);
    // Measured a hundred a turn: the last one is reached a few turns later.
    QVERIFY(QTest::qWaitFor([&] {
        list->scrollTo(last);
        return list->viewport()->rect().intersects(list->visualRect(last));
    }));
    QCOMPARE(last.data().toString(), Strings::text(QStringLiteral("log_batch_not_a_url"),
                                                   {{QStringLiteral("text"), QStringLiteral("words 9999")}}));
    // A megabyte that is no address is one note, not a megabyte of text to lay out.
    const QString huge(1 << 20, u'x');
    resolveWith(f, BatchJson::resolution({}, {}, QJsonArray{BatchJson::note(huge, QStringLiteral("other"))}));
    QCOMPARE(pane.notes()->rows()->index(0).data().toString().size(), BatchNotesModel::messageLimit + 1);
    QVERIFY(list->height() <= BatchNotesList::maxHeight());
}

void TestBatchPane::fullBatchRefillsTheField() {
    ViewFixture f;
    f.boot();
    f.control(QStringLiteral("test.hold"),
              QJsonObject{{QStringLiteral("method"), QStringLiteral("queue.resolve")}});
    BatchPane pane(f.model.get());
    QVERIFY(showAt(&pane, QSize(900, 620)));
    QStringList links;
    for (int i = 0; i < 10000; ++i)
        links << QStringLiteral("http://127.0.0.1:9/v.mp4?n=%1").arg(i);
    pane.field()->setPlainText(links.join(u'\n'));
    QTest::mouseClick(pane.addButton(), Qt::LeftButton);
    QCOMPARE(pane.field()->toPlainText(), QString());
    QVERIFY(f.waitForRequests(QStringLiteral("queue.resolve"), 1));
    // Typed while the engine works: stays, after what comes back.
    QTest::keyClicks(pane.field(), QStringLiteral("typed"));
    f.script(QStringLiteral("queue.resolve"),
             BatchJson::resolution(
                 {}, {}, QJsonArray{BatchJson::note(links[500], QStringLiteral("queue-full"), 9500)}));
    f.control(QStringLiteral("test.release"),
              QJsonObject{{QStringLiteral("method"), QStringLiteral("queue.resolve")}});
    QVERIFY(QTest::qWaitFor([&] { return !f.model->queuePart().isResolving(); }));
    QCOMPARE(pane.field()->toPlainText(), links.mid(500).join(u'\n') + QStringLiteral("\ntyped"));
    QCOMPARE(f.model->queuePart().batchURLs(), pane.field()->toPlainText());
    QVERIFY(pane.addButton()->isEnabled());
    BatchNotes* block = pane.notes();
    QVERIFY(block->isVisible());
    QCOMPARE(block->rows()->rowCount(), 1);
    QCOMPARE(block->rows()->index(0).data().toString(),
             Strings::text(QStringLiteral("batch_not_taken"),
                           {{QStringLiteral("count"), QStringLiteral("9500")}}));
}

// The field's text, inside the pane, follows a switch of the appearance both ways.
void TestBatchPane::fieldTextFollowsTheAppearance() {
    ViewFixture::useAppearance(false);
    ViewFixture f;
    f.boot();
    f.model->queuePart().setBatchURLs(QStringLiteral("https://media.example.org/watch/1"));
    BatchPane pane(f.model.get());
    QVERIFY(showAt(&pane, QSize(900, 620)));
    for (const bool dark : {true, false}) {
        ViewFixture::useAppearance(dark);
        ViewFixture::settle(50);
        QCOMPARE(pane.field()->viewport()->palette().color(QPalette::Text), Theme::ink(Theme::Ink::Primary));
    }
    ViewFixture::useAppearance(false);
}

void TestBatchPane::summary_data() {
    QTest::addColumn<QList<int>>("kinds");
    QTest::addColumn<QStringList>("parts"); // "key=n" in display order
    QTest::newRow("empty") << QList<int>{} << QStringList{};
    QTest::newRow("the example of the tab")
        << QList<int>{Kind::Waiting,    Kind::Waiting,   Kind::Queued,
                      Kind::Converting, Kind::Cancelled, Kind::Failed}
        << QStringList{"queue_part_waiting=3", "queue_part_downloading=1", "queue_part_error=1"};
    QTest::newRow("every group, out of order")
        << QList<int>{Kind::Failed,      Kind::Done,       Kind::Paused,  Kind::Analyzing,
                      Kind::Downloading, Kind::Processing, Kind::Waiting, Kind::Done}
        << QStringList{"queue_part_waiting=1", "queue_part_downloading=3", "queue_part_paused=1",
                       "queue_part_done=2", "queue_part_error=1"};
    QTest::newRow("only cancelled") << QList<int>{Kind::Cancelled, Kind::Cancelled} << QStringList{};
}

void TestBatchPane::summary() {
    QFETCH(QList<int>, kinds);
    QFETCH(QStringList, parts);
    const auto jobs = jobsOf(kinds);
    QStringList computed;
    for (const QueueSummary::Part& p : QueueSummary::parts(jobs))
        computed << p.key + u'=' + QString::number(p.count);
    QCOMPARE(computed, parts);

    ViewFixture f;
    f.boot();
    BatchPane pane(f.model.get());
    QVERIFY(showAt(&pane, QSize(900, 620)));
    const int emptyHeight = pane.summary()->height();
    QVERIFY(emptyHeight > 20);
    f.model->queuePart().insertJobs(0, jobs);
    QStringList seen;
    QTRY_VERIFY([&] {
        seen.clear();
        for (QLabel* label : pane.summary()->labels()) {
            if (label->isVisible())
                seen << label->objectName() + u'=' + label->text();
        }
        return seen.size() == parts.size();
    }());
    for (int i = 0; i < parts.size(); ++i) {
        const QString key = parts[i].section(u'=', 0, 0);
        const QString n = parts[i].section(u'=', 1);
        QCOMPARE(seen[i], key + u'=' + Strings::text(key, {{QStringLiteral("n"), n}}));
    }
    // Left to right in display order.
    for (int i = 1; i < parts.size(); ++i)
        QVERIFY(pane.summary()->findChild<QLabel*>(parts[i - 1].section(u'=', 0, 0))->x() <
                pane.summary()->findChild<QLabel*>(parts[i].section(u'=', 0, 0))->x());
    QCOMPARE(pane.summary()->height(), emptyHeight);
}

void TestBatchPane::rowsAndDividers_data() {
    QTest::addColumn<int>("count");
    QTest::newRow("one job, no divider") << 1;
    QTest::newRow("three jobs, two dividers") << 3;
}

void TestBatchPane::rowsAndDividers() {
    QFETCH(int, count);
    ViewFixture f;
    f.boot();
    f.script(QStringLiteral("thumbnail.resolve"),
             QJsonObject{{QStringLiteral("result"), QJsonObject{{QStringLiteral("path"), QString()}}}}, 0);
    QList<int> kinds;
    for (int i = 0; i < count; ++i)
        kinds << Kind::Done;
    BatchPane pane(f.model.get());
    QVERIFY(showAt(&pane, QSize(900, 900)));
    QVERIFY(pane.emptyNotice()->isVisible());
    QCOMPARE(pane.emptyNotice()->height(), BatchPane::emptyHeight);
    f.model->queuePart().insertJobs(0, jobsOf(kinds));
    QTRY_VERIFY(pane.queueList()->isVisible());
    QVERIFY(!pane.emptyNotice()->isVisible());
    QueueListView* list = pane.queueList();
    QCOMPARE(list->height(), count * JobRowDelegate::rowHeight);
    const QImage shot = list->grab().toImage();
    int dividers = 0;
    for (int row = 0; row < count; ++row) {
        const QRect rect = list->visualRect(list->rows()->index(row));
        // Left of the picture, where nothing but a divider is drawn: its bottom line against its top.
        if (shot.pixelColor(rect.left() + 1, rect.bottom()) !=
            shot.pixelColor(rect.left() + 1, rect.top() + 2))
            ++dividers;
    }
    QCOMPARE(dividers, count - 1);
}

void TestBatchPane::longQueuePaintsWhatIsInSight() {
    ViewFixture f;
    f.boot();
    f.script(QStringLiteral("thumbnail.resolve"),
             QJsonObject{{QStringLiteral("result"), QJsonObject{{QStringLiteral("path"), QString()}}}}, 0);
    std::vector<std::shared_ptr<Job>> jobs;
    for (int i = 0; i < 10000; ++i) {
        jobs.push_back(jobIn(i % 2 ? Kind::Downloading : Kind::Waiting,
                             QStringLiteral("https://example.com/%1").arg(i)));
        jobs.back()->setThumbnailURL(QStringLiteral("https://example.com/%1.jpg").arg(i));
    }
    f.model->queuePart().insertJobs(0, jobs);
    BatchPane pane(f.model.get());
    QVERIFY(showAt(&pane, QSize(900, 620)));
    QCOMPARE(pane.queueList()->height(), 10000 * JobRowDelegate::rowHeight);
    QScrollBar* bar = pane.scrollArea()->verticalScrollBar();
    bar->setValue(bar->maximum() / 2);
    QCoreApplication::processEvents();
    QVERIFY(!pane.grab().isNull());
    ThumbnailCache* thumbnails = pane.queueList()->rowDelegate()->thumbnails();
    QVERIFY(QTest::qWaitFor([&] { return thumbnails->loading() == 0; }, 10000));
    const int asked = f.requestsOf(QStringLiteral("thumbnail.resolve")).size();
    // The rows in sight at the top (the field above them) and in the middle, with a margin.
    QVERIFY2(asked > 0 && asked <= 3 * (620 / JobRowDelegate::rowHeight + 2),
             qPrintable(QString::number(asked)));
    // The rows in the middle are the ones that asked.
    const auto middle =
        f.requestsOf(QStringLiteral("thumbnail.resolve")).last().params.value("url").toString();
    const int n = middle.section(u'/', -1).section(u'.', 0, 0).toInt();
    QVERIFY2(n > 4900 && n < 5100, qPrintable(middle));
}

void TestBatchPane::wheelOverTheQueueScrollsThePane() {
    ViewFixture f;
    f.boot();
    f.model->queuePart().insertJobs(0, jobsOf(QList<int>(40, Kind::Waiting)));
    BatchPane pane(f.model.get());
    QVERIFY(showAt(&pane, QSize(900, 620)));
    QScrollBar* bar = pane.scrollArea()->verticalScrollBar();
    QCOMPARE(bar->value(), 0);
    QWidget* viewport = pane.queueList()->viewport();
    const QPoint at(100, 20);
    QWheelEvent wheel(at, viewport->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(viewport, &wheel);
    QVERIFY(bar->value() > 0);
}

QTEST_MAIN(TestBatchPane)
#include "tst_batchpane.moc"
