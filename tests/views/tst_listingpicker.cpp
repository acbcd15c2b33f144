// The listing picker: its headline in every state, sections opened by their link and by a double click
// and left again, select all or none on the scope, the count across sections, load more while a page
// loads, Escape and Return, the order and audio choice of accepted entries, the next pick presented by
// the root view, and a listing of 1,000 entries drawn without a widget per entry.
#include "BatchFixture.h"
#include "Composition.h"
#include "DownloadQueue.h"
#include "ViewHelpers.h"

#include "JsonReader.h"
#include "ListingPick.h"
#include "batch/ListingPicker.h"
#include "batch/ListingRowDelegate.h"
#include "batch/ListingRowsModel.h"
#include "kit/LinkButton.h"
#include "shell/RootView.h"

#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>

using Kind = ListingRowsModel::Kind;

namespace {

std::shared_ptr<ListingPick> pickOf(const QJsonObject& listing, int pageSize = 50) {
    return std::make_shared<ListingPick>(ResolvedListing::fromJson(JsonReader(listing)), pageSize, false);
}

// Resolves one pasted text into the given listings; the picks land in pendingListings.
void resolveListings(ViewFixture& f, const QJsonArray& listings, int pageSize = 50) {
    resolveWith(f, BatchJson::resolution({}, listings, {}, pageSize));
}

QRect rowRect(ListingPicker& picker, int row) {
    return picker.list()->visualRect(picker.rows()->index(row));
}

void clickRow(ListingPicker& picker, int row) {
    QTest::mouseClick(picker.list()->viewport(), Qt::LeftButton, {}, rowRect(picker, row).center());
}

std::set<int> checkedOf(const ListingPick& pick) {
    return pick.checked();
}

std::set<int> range(int from, int to) {
    std::set<int> out;
    for (int i = from; i < to; ++i)
        out.insert(i);
    return out;
}

} // namespace

class TestListingPicker : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void headline_data();
    void headline();
    void openAndLeave_data();
    void openAndLeave();
    void selectOnTheScope();
    void entriesToggleByClickAndSpace();
    void loadMore();
    void failedPageCanBeAskedAgain();
    void keys_data();
    void keys();
    void acceptInAscendingOrder();
    void nextPickIsPresented();
    void fiveThousandEntries();
};

void TestListingPicker::headline_data() {
    QTest::addColumn<QJsonObject>("listing");
    QTest::addColumn<QString>("open");    // section to open, "" for none
    QTest::addColumn<bool>("visitFirst"); // open "Live" and leave before
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QStringList>("values"); // name=value
    using namespace BatchJson;
    const QJsonObject flat = listing(QStringLiteral("Songs"), entries(QStringLiteral("Song"), 7));
    const QJsonObject oneSection =
        listing(QStringLiteral("One"), entries(QStringLiteral("S"), 4, QStringLiteral("Only")),
                QJsonArray{section(QStringLiteral("Only"), QStringLiteral("http://x/only"), 4)});
    QTest::newRow("flat") << flat << "" << false << "dialog_title_playlist"
                          << "dialog_playlist_found" << QStringList{"n=7", "title=Songs"};
    QTest::newRow("one section is flat") << oneSection << "" << false << "dialog_title_playlist"
                                         << "dialog_playlist_found" << QStringList{"n=4", "title=One"};
    QTest::newRow("one section, opened, stays flat")
        << oneSection << "Only" << false << "dialog_title_playlist"
        << "dialog_playlist_found" << QStringList{"n=4", "title=One"};
    QTest::newRow("sections, none open") << channel(50) << "" << false << "dialog_title_channel"
                                         << "dialog_sections_found" << QStringList{"n=3", "title=A channel"};
    QTest::newRow("a section that may have more")
        << channel(50) << "Videos" << false << "dialog_title_channel"
        << "dialog_section_loaded" << QStringList{"n=50", "name=Videos"};
    QTest::newRow("a short section") << channel(50) << "Shorts" << false << "dialog_title_channel"
                                     << "dialog_section_complete" << QStringList{"n=3", "name=Shorts"};
    QTest::newRow("a section sent whole") << channel(2) << "Live" << false << "dialog_title_channel"
                                          << "dialog_section_complete" << QStringList{"n=2", "name=Live"};
    QTest::newRow("back from a section") << channel(50) << "" << true << "dialog_title_channel"
                                         << "dialog_sections_back" << QStringList{};
}

void TestListingPicker::headline() {
    QFETCH(QJsonObject, listing);
    QFETCH(QString, open);
    QFETCH(bool, visitFirst);
    QFETCH(QString, title);
    QFETCH(QString, key);
    QFETCH(QStringList, values);
    ViewFixture f;
    f.boot();
    auto pick = pickOf(listing);
    ListingPicker picker(&f.model->queuePart(), pick);
    QVERIFY(showAt(&picker, ListingPicker::fixedSize));
    if (visitFirst) {
        pick->open(QStringLiteral("Live"));
        pick->leave();
    }
    if (!open.isEmpty())
        pick->open(open);
    QMap<QString, QString> expected;
    for (const QString& v : values)
        expected.insert(v.section(u'=', 0, 0), v.section(u'=', 1));
    QCOMPARE(ListingPicker::headline(*pick), (ListingPicker::Headline{key, expected}));
    QCOMPARE(picker.headlineLabel()->text(), Strings::text(key, expected));
    QCOMPARE(picker.titleLabel()->text(), Strings::text(title));
    QCOMPARE(picker.backButton()->isVisible(), key.startsWith(QLatin1String("dialog_section_")));
    QVERIFY(picker.size() == ListingPicker::fixedSize);
}

void TestListingPicker::openAndLeave_data() {
    QTest::addColumn<bool>("doubleClick");
    QTest::newRow("by its link") << false;
    QTest::newRow("by a double click") << true;
}

void TestListingPicker::openAndLeave() {
    QFETCH(bool, doubleClick);
    ViewFixture f;
    f.boot();
    auto pick = pickOf(BatchJson::channel(50));
    ListingPicker picker(&f.model->queuePart(), pick);
    QVERIFY(showAt(&picker, ListingPicker::fixedSize));
    QVERIFY(picker.rows()->showsSections());
    QCOMPARE(picker.rows()->rowCount(), 3);
    QCOMPARE(picker.rows()->index(1).data(ListingRowsModel::SectionNameRole).toString(),
             QStringLiteral("Shorts"));
    QCOMPARE(picker.rows()->index(1).data(ListingRowsModel::SelectedRole).toInt(), 3);
    QCOMPARE(picker.rows()->index(1).data(ListingRowsModel::TotalRole).toInt(), 3);
    QVERIFY(!picker.backButton()->isVisible());
    const QRect row = rowRect(picker, 0);
    // Rows span the width in sight: the link is drawn whole, inside the list.
    QVERIFY(picker.list()->viewport()->rect().contains(ListingRowDelegate::openLinkRect(row)));
    if (doubleClick) {
        // Anywhere on the row, away from its link: press and release, then the second press.
        const QPoint at(row.left() + 20, row.center().y());
        QTest::mouseClick(picker.list()->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(picker.list()->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(picker.list()->viewport(), Qt::LeftButton, {}, at);
    } else {
        // A click beside the link opens nothing.
        QTest::mouseClick(picker.list()->viewport(), Qt::LeftButton, {},
                          QPoint(row.left() + 20, row.center().y()));
        QVERIFY(!pick->openSection());
        // The link double-clicked: the first click opens, the rest of the gesture lands on an entry.
        const QPoint link = ListingRowDelegate::openLinkRect(row).center();
        QTest::mouseClick(picker.list()->viewport(), Qt::LeftButton, {}, link);
        QTest::mouseDClick(picker.list()->viewport(), Qt::LeftButton, {}, link);
        QTest::mouseRelease(picker.list()->viewport(), Qt::LeftButton, {}, link);
    }
    // The gesture that opened the section toggled none of its entries.
    QCOMPARE(pick->checked().size(), size_t(55));
    QCOMPARE(pick->openSection(), std::optional<QString>(QStringLiteral("Videos")));
    QVERIFY(pick->hasVisitedSection());
    QVERIFY(!picker.rows()->showsSections());
    QCOMPARE(picker.rows()->rowCount(), 51); // a full page of videos, then the load-more row
    QCOMPARE(picker.rows()->index(0).data(Qt::DisplayRole).toString(), QStringLiteral("Videos 1"));
    QCOMPARE(picker.rows()->index(0).data(ListingRowsModel::EntryIndexRole).toInt(), 0);
    QVERIFY(picker.backButton()->isVisible());
    // The next click toggles as usual.
    clickRow(picker, 0);
    QVERIFY(!pick->checked().count(0));
    QTest::mouseClick(picker.backButton(), Qt::LeftButton);
    QVERIFY(!pick->openSection());
    QVERIFY(picker.rows()->showsSections());
    QCOMPARE(picker.headlineLabel()->text(), Strings::text(QStringLiteral("dialog_sections_back")));
    QVERIFY(!picker.backButton()->isVisible());
}

void TestListingPicker::selectOnTheScope() {
    ViewFixture f;
    f.boot();
    auto pick = pickOf(BatchJson::channel(50));
    ListingPicker picker(&f.model->queuePart(), pick);
    QVERIFY(showAt(&picker, ListingPicker::fixedSize));
    const auto count = [&](int n) {
        return Strings::text(QStringLiteral("label_selected_count"),
                             {{QStringLiteral("n"), QString::number(n)}});
    };
    QCOMPARE(picker.countLabel()->text(), count(55));
    // Inside a section: none and all act on that section only; the count spans every section.
    pick->open(QStringLiteral("Shorts"));
    QTest::mouseClick(picker.selectNoneButton(), Qt::LeftButton);
    QCOMPARE(checkedOf(*pick), [] {
        auto s = range(0, 50);
        s.insert({53, 54});
        return s;
    }());
    QCOMPARE(picker.countLabel()->text(), count(52));
    QCOMPARE(picker.rows()->index(0).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QTest::mouseClick(picker.backButton(), Qt::LeftButton);
    QCOMPARE(picker.rows()->index(1).data(ListingRowsModel::SelectedRole).toInt(), 0);
    QCOMPARE(picker.rows()->index(0).data(ListingRowsModel::SelectedRole).toInt(), 50);
    // On the list of sections: every entry of the listing.
    QTest::mouseClick(picker.selectNoneButton(), Qt::LeftButton);
    QVERIFY(pick->checked().empty());
    QCOMPARE(picker.countLabel()->text(), count(0));
    QVERIFY(!picker.addButton()->isEnabled());
    pick->open(QStringLiteral("Live"));
    QTest::mouseClick(picker.selectAllButton(), Qt::LeftButton);
    QCOMPARE(checkedOf(*pick), (std::set<int>{53, 54}));
    QCOMPARE(picker.countLabel()->text(), count(2));
    QVERIFY(picker.addButton()->isEnabled());
    pick->leave();
    QTest::mouseClick(picker.selectAllButton(), Qt::LeftButton);
    QCOMPARE(checkedOf(*pick), range(0, 55));
}

void TestListingPicker::entriesToggleByClickAndSpace() {
    ViewFixture f;
    f.boot();
    QJsonArray items = BatchJson::entries(QStringLiteral("Song"), 3);
    items.append(BatchJson::entry(QStringLiteral("http://127.0.0.1:9/untitled.mp3"), QString()));
    auto pick = pickOf(BatchJson::listing(QStringLiteral("Songs"), items));
    ListingPicker picker(&f.model->queuePart(), pick);
    QVERIFY(showAt(&picker, ListingPicker::fixedSize));
    QCOMPARE(picker.rows()->rowCount(), 4); // no load-more row without sections
    QVERIFY(!picker.loadMoreButton());
    // An entry without a title shows its address.
    QCOMPARE(picker.rows()->index(3).data(Qt::DisplayRole).toString(),
             QStringLiteral("http://127.0.0.1:9/untitled.mp3"));
    // The whole row is the toggle: a click on its text unchecks it, another checks it again.
    clickRow(picker, 1);
    QCOMPARE(checkedOf(*pick), (std::set<int>{0, 2, 3}));
    // A checked box and an empty one look different, in light and dark.
    for (bool dark : {false, true}) {
        ViewFixture::useAppearance(dark);
        const QImage shot = picker.list()->viewport()->grab().toImage();
        const auto box = [&](int row) {
            const QRect r = rowRect(picker, row);
            return shot.copy(QRect(r.left(), r.top(), r.height(), r.height()));
        };
        QVERIFY(box(0) != box(1));
        QCOMPARE(box(0), box(2));
    }
    ViewFixture::useAppearance(false);
    clickRow(picker, 1);
    QCOMPARE(checkedOf(*pick), (std::set<int>{0, 1, 2, 3}));
    picker.list()->setFocus();
    picker.list()->setCurrentIndex(picker.rows()->index(2));
    QTest::keyClick(picker.list(), Qt::Key_Space);
    QCOMPARE(checkedOf(*pick), (std::set<int>{0, 1, 3}));
}

void TestListingPicker::loadMore() {
    ViewFixture f;
    f.boot();
    resolveListings(f, {BatchJson::channel(10)}, 10);
    const auto pick = f.model->queuePart().pendingListings().front();
    ListingPicker picker(&f.model->queuePart(), pick);
    QVERIFY(showAt(&picker, ListingPicker::fixedSize));
    pick->open(QStringLiteral("Videos"));
    QCOMPARE(picker.rows()->rowCount(), 11);
    QVERIFY(picker.rows()->loadMoreIndex().isValid());
    LinkButton* more = picker.loadMoreButton();
    QVERIFY(more);
    QTRY_VERIFY(more->isVisible());
    QCOMPARE(more->text(), Strings::text(QStringLiteral("button_load_more"),
                                         {{QStringLiteral("n"), QStringLiteral("10")}}));
    pick->toggle(3); // checks survive a new page

    f.control(QStringLiteral("test.hold"),
              QJsonObject{{QStringLiteral("method"), QStringLiteral("listing.page")}});
    QTest::mouseClick(more, Qt::LeftButton);
    QVERIFY(pick->loading());
    QCOMPARE(more->text(), Strings::text(QStringLiteral("button_loading")));
    QVERIFY(!more->isEnabled());
    QVERIFY(f.waitForRequests(QStringLiteral("listing.page"), 1));
    const LoggedRequest asked = f.requestsOf(QStringLiteral("listing.page")).first();
    QCOMPARE(asked.params.value(QStringLiteral("offset")).toInt(), 10);
    QCOMPARE(asked.params.value(QStringLiteral("count")).toInt(), 10);
    QCOMPARE(asked.params.value(QStringLiteral("section")).toString(), QStringLiteral("Videos"));
    // While the page is on its way, another click asks for nothing.
    QTest::mouseClick(more, Qt::LeftButton);
    f.script(QStringLiteral("listing.page"),
             BatchJson::page(BatchJson::entries(QStringLiteral("Videos"), 10, QStringLiteral("Videos"), 11),
                             true));
    f.control(QStringLiteral("test.release"),
              QJsonObject{{QStringLiteral("method"), QStringLiteral("listing.page")}});
    QVERIFY(QTest::qWaitFor([&] { return !pick->loading(); }));
    QCOMPARE(f.requestsOf(QStringLiteral("listing.page")).size(), 1);
    // The page's entries join below, checked; the section is complete, so the row goes.
    QCOMPARE(picker.rows()->rowCount(), 20);
    QVERIFY(!picker.rows()->loadMoreIndex().isValid());
    QVERIFY(!picker.loadMoreButton());
    QCOMPARE(picker.rows()->index(10).data(Qt::DisplayRole).toString(), QStringLiteral("Videos 11"));
    QCOMPARE(picker.rows()->index(10).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QVERIFY(!pick->checked().count(3));
    QCOMPARE(picker.headlineLabel()->text(),
             Strings::text(QStringLiteral("dialog_section_complete"),
                           {{QStringLiteral("name"), QStringLiteral("Videos")},
                            {QStringLiteral("n"), QStringLiteral("20")}}));
    f.control(QStringLiteral("test.clear"));
}

void TestListingPicker::failedPageCanBeAskedAgain() {
    ViewFixture f;
    f.boot();
    resolveListings(f, {BatchJson::channel(10)}, 10);
    const auto pick = f.model->queuePart().pendingListings().front();
    ListingPicker picker(&f.model->queuePart(), pick);
    QVERIFY(showAt(&picker, ListingPicker::fixedSize));
    pick->open(QStringLiteral("Videos"));
    f.scriptError(QStringLiteral("listing.page"), 7, QStringLiteral("The page could not be read"));
    QTest::mouseClick(picker.loadMoreButton(), Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([&] { return f.model->sessionPart().lastError().has_value(); }));
    QTRY_VERIFY(!pick->loading());
    QVERIFY(picker.loadMoreButton());
    QVERIFY(picker.loadMoreButton()->isEnabled());
    QCOMPARE(picker.rows()->rowCount(), 11);
}

void TestListingPicker::keys_data() {
    QTest::addColumn<bool>("checked");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("jobs");
    QTest::addColumn<bool>("gone");
    QTest::newRow("Return with entries checked") << true << int(Qt::Key_Return) << 3 << true;
    QTest::newRow("Enter with entries checked") << true << int(Qt::Key_Enter) << 3 << true;
    QTest::newRow("Return with nothing checked") << false << int(Qt::Key_Return) << 0 << false;
    QTest::newRow("Escape with entries checked") << true << int(Qt::Key_Escape) << 0 << true;
    QTest::newRow("Escape with nothing checked") << false << int(Qt::Key_Escape) << 0 << true;
}

void TestListingPicker::keys() {
    QFETCH(bool, checked);
    QFETCH(int, key);
    QFETCH(int, jobs);
    QFETCH(bool, gone);
    ViewFixture f;
    f.boot();
    f.control(QStringLiteral("test.hold"),
              QJsonObject{{QStringLiteral("method"), QStringLiteral("download.start")}});
    resolveListings(
        f, {BatchJson::listing(QStringLiteral("Songs"), BatchJson::entries(QStringLiteral("Song"), 3))});
    const auto pick = f.model->queuePart().pendingListings().front();
    if (!checked)
        pick->setAll(false);
    ListingPicker picker(&f.model->queuePart(), pick);
    QVERIFY(showAt(&picker, ListingPicker::fixedSize));
    picker.list()->setFocus();
    picker.list()->setCurrentIndex(picker.rows()->index(0));
    QTest::keyClick(picker.list(), Qt::Key(key));
    QCOMPARE(int(f.model->queuePart().jobs().size()), jobs);
    QCOMPARE(f.model->queuePart().pendingListings().empty(), gone);
    // Nothing checked: Return did nothing, and Escape still cancels.
    if (!gone) {
        QTest::keyClick(picker.list(), Qt::Key_Escape);
        QVERIFY(f.model->queuePart().pendingListings().empty());
        QVERIFY(f.model->queuePart().jobs().empty());
    }
    f.control(QStringLiteral("test.clear"));
}

void TestListingPicker::acceptInAscendingOrder() {
    ViewFixture f;
    f.boot();
    f.control(QStringLiteral("test.hold"),
              QJsonObject{{QStringLiteral("method"), QStringLiteral("download.start")}});
    const QJsonObject notes =
        BatchJson::note(QStringLiteral("Songs"), QStringLiteral("listing-truncated"), 900, 5);
    resolveListings(
        f, {BatchJson::listing(QStringLiteral("Songs"), BatchJson::entries(QStringLiteral("Song"), 5), {},
                               QJsonArray{notes})});
    const auto pick = f.model->queuePart().pendingListings().front();
    ListingPicker picker(&f.model->queuePart(), pick);
    QVERIFY(showAt(&picker, ListingPicker::fixedSize));
    QTest::mouseClick(picker.selectNoneButton(), Qt::LeftButton);
    for (int row : {3, 0, 4})
        clickRow(picker, row);
    QVERIFY(picker.videoAudioButton()->isChecked());
    QTest::mouseClick(picker.audioOnlyButton(), Qt::LeftButton);
    QVERIFY(pick->audioOnly());
    QTest::mouseClick(picker.addButton(), Qt::LeftButton);
    QStringList urls;
    for (const auto& job : f.model->queuePart().jobs()) {
        urls << job->url();
        QVERIFY(job->format().audioOnly);
    }
    QCOMPARE(urls, (QStringList{"http://127.0.0.1:9/Song/1", "http://127.0.0.1:9/Song/4",
                                "http://127.0.0.1:9/Song/5"}));
    QVERIFY(!f.model->compositionPart().format().audioOnly);
    QVERIFY(f.model->queuePart().pendingListings().empty());
    QCOMPARE(f.model->queuePart().resolveNotes().size(), size_t(1));
    QVERIFY(f.waitForRequests(QStringLiteral("download.start"), 3));
    f.control(QStringLiteral("test.clear"));
}

void TestListingPicker::nextPickIsPresented() {
    ViewFixture f;
    f.boot();
    resolveListings(f,
                    {BatchJson::listing(QStringLiteral("First"), BatchJson::entries(QStringLiteral("A"), 2)),
                     BatchJson::channel(50)});
    const auto first = f.model->queuePart().pendingListings()[0];
    const auto second = f.model->queuePart().pendingListings()[1];
    RootView root(*f.model, ViewFactories::standard());
    QVERIFY(showAt(&root, QSize(1020, 700)));
    QTRY_VERIFY(qobject_cast<ListingPicker*>(root.surface()));
    auto* shown = qobject_cast<ListingPicker*>(root.surface());
    QCOMPARE(shown->pick(), first);
    QVERIFY(shown->isVisible());
    QTest::mouseClick(shown->cancelButton(), Qt::LeftButton);
    QTRY_VERIFY(qobject_cast<ListingPicker*>(root.surface()) && root.surface() != shown);
    auto* next = qobject_cast<ListingPicker*>(root.surface());
    QCOMPARE(next->pick(), second);
    QCOMPARE(next->titleLabel()->text(), Strings::text(QStringLiteral("dialog_title_channel")));
    // Escape on the sheet cancels the pick, and the sheet goes with it.
    QTest::keyClick(next, Qt::Key_Escape);
    QVERIFY(f.model->queuePart().pendingListings().empty());
    QTRY_VERIFY(!root.surface());
    QVERIFY(f.model->queuePart().jobs().empty());
}

void TestListingPicker::fiveThousandEntries() {
    ViewFixture f;
    f.boot();
    auto pick =
        pickOf(BatchJson::listing(QStringLiteral("Big"), BatchJson::entries(QStringLiteral("E"), 5000)));
    ListingPicker picker(&f.model->queuePart(), pick);
    QVERIFY(showAt(&picker, ListingPicker::fixedSize));
    QCOMPARE(picker.rows()->rowCount(), 5000);
    // Rows are painted, not built: the sheet holds the same widgets as for a short listing.
    auto small =
        pickOf(BatchJson::listing(QStringLiteral("Small"), BatchJson::entries(QStringLiteral("E"), 3)));
    ListingPicker short_(&f.model->queuePart(), small);
    QVERIFY(showAt(&short_, ListingPicker::fixedSize));
    QCOMPARE(picker.findChildren<QWidget*>().size(), short_.findChildren<QWidget*>().size());
    picker.list()->scrollToBottom();
    QCoreApplication::processEvents();
    const QModelIndex last = picker.rows()->index(4999);
    QVERIFY(picker.list()->viewport()->rect().intersects(picker.list()->visualRect(last)));
    clickRow(picker, 4999);
    QVERIFY(!pick->checked().count(4999));
    QCOMPARE(picker.countLabel()->text(), Strings::text(QStringLiteral("label_selected_count"),
                                                        {{QStringLiteral("n"), QStringLiteral("4999")}}));
}

QTEST_MAIN(TestListingPicker)
#include "Session.h"
#include "tst_listingpicker.moc"
