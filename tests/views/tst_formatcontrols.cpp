// The format controls: what each menu offers and shows for the allowed options and the analysis, the
// audio-only dimming, one column or two, and that only the user's gestures send anything, the refresh of
// the allowed options always before the save.
#include "Composition.h"
#include "ViewHelpers.h"

#include "download/FormatControls.h"
#include "download/OptionMenu.h"

#include <QCheckBox>
#include <QGraphicsOpacityEffect>
#include <QMenu>
#include <QVBoxLayout>

namespace {

AllowedOptions fullList() {
    AllowedOptions o = AllowedOptions::empty();
    o.allQualities = {QStringLiteral("4K"), QStringLiteral("1080p"), QStringLiteral("720p"),
                      QStringLiteral("480p")};
    return o;
}

double opacityOf(QWidget* w) {
    auto* effect = qobject_cast<QGraphicsOpacityEffect*>(w->graphicsEffect());
    return effect ? effect->opacity() : 1.0;
}

// Clicks a switch where the user does.
void flip(QCheckBox* box) {
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(10, box->height() / 2));
}

void choose(OptionMenu* menu, const QString& entry) {
    QTest::mouseClick(menu, Qt::LeftButton);
    QMenu* popup = menu->openMenu();
    QVERIFY(popup);
    QAction* action = popup->findChild<QAction*>(entry);
    QVERIFY2(action, qPrintable(entry));
    action->trigger();
    popup->close();
}

int indexOf(const QStringList& methods, const QString& method, int from = 0) {
    return int(methods.indexOf(method, from));
}

} // namespace

class TestFormatControls : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void shownQuality_data();
    void shownQuality();
    void menusFollowTheAnalysis();
    void changeRefreshesThenSaves();
    void onlyGesturesSendAnything();
    void audioOnlyDimsTheMenus();
    void oneColumnOrTwo();
};

void TestFormatControls::shownQuality_data() {
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<std::optional<QStringList>>("source");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QStringList>("entries");
    const QStringList all = fullList().allQualities;
    QTest::newRow("no source") << "1080p" << std::optional<QStringList>() << "1080p" << all;
    QTest::newRow("empty source") << "720p" << std::optional<QStringList>(QStringList()) << "720p" << all;
    QTest::newRow("the choice is offered") << "1080p" << std::optional<QStringList>({"4K", "1080p", "720p"})
                                           << "1080p" << QStringList{"4K", "1080p", "720p"};
    QTest::newRow("capped to the best below")
        << "4K" << std::optional<QStringList>({"1080p", "720p"}) << "1080p" << QStringList{"1080p", "720p"};
    QTest::newRow("none at or below: the last")
        << "480p" << std::optional<QStringList>(QStringList{"1080p"}) << "1080p" << QStringList{"1080p"};
    QTest::newRow("choice unknown: the first")
        << "5K" << std::optional<QStringList>(QStringList{"720p"}) << "720p" << QStringList{"720p"};
    QTest::newRow("source offers nothing known")
        << "1080p" << std::optional<QStringList>({"2160x3840", "weird"}) << "weird" << all;
    QTest::newRow("unknown entries passed over")
        << "1080p" << std::optional<QStringList>({"weird", "720p"}) << "720p" << QStringList{"720p"};
}

void TestFormatControls::shownQuality() {
    QFETCH(QString, chosen);
    QFETCH(std::optional<QStringList>, source);
    QFETCH(QString, shown);
    QFETCH(QStringList, entries);
    FormatChoice f;
    f.quality = chosen;
    QCOMPARE(FormatControls::qualityShown(f, fullList(), source), shown);
    QCOMPARE(fullList().allQualitiesOfferedBy(source), entries);
}

void TestFormatControls::menusFollowTheAnalysis() {
    ViewFixture f;
    f.boot();
    FormatControls controls(f.model.get());
    QVERIFY(showAt(&controls, QSize(760, 200)));
    const QStringList all = f.model->compositionPart().allowedOptions().allQualities;
    QVERIFY(all.size() > 3);
    QCOMPARE(controls.menu(FormatControls::Quality)->entries(), all);
    QCOMPARE(controls.menu(FormatControls::Quality)->shownText(),
             f.model->compositionPart().format().quality);
    QCOMPARE(controls.menu(FormatControls::Codec)->entries(),
             f.model->compositionPart().allowedOptions().allVideoCodecs);
    QCOMPARE(controls.menu(FormatControls::Codec)->shownText(), Strings::text(QStringLiteral("codec_auto")));
    QCOMPARE(controls.menu(FormatControls::Container)->entries(),
             f.model->compositionPart().allowedOptions().allContainers);
    QCOMPARE(controls.menu(FormatControls::Subtitles)->shownText(),
             Strings::text(QStringLiteral("subs_off")));

    // A probed analysis of a source that offers 720p and 480p, the choice being 1080p.
    const QString url = QStringLiteral("https://example.com/v");
    auto analysis = [&](bool probed) {
        return QJsonObject{{QStringLiteral("url"), url},
                           {QStringLiteral("availableQualities"),
                            QJsonArray{QStringLiteral("720p"), QStringLiteral("480p")}},
                           {QStringLiteral("probed"), probed},
                           {QStringLiteral("isListing"), false},
                           {QStringLiteral("listingKind"), QString()}};
    };
    f.script(QStringLiteral("analyze"), QJsonObject{{QStringLiteral("result"), analysis(true)}});
    f.model->compositionPart().setPastedText(url);
    QCoro::waitFor(f.model->compositionPart().analyzeCurrent());
    QCOMPARE(controls.menu(FormatControls::Quality)->entries(), (QStringList{"720p", "480p"}));
    QCOMPARE(controls.menu(FormatControls::Quality)->value(), QStringLiteral("720p"));
    QCOMPARE(f.model->compositionPart().format().quality,
             QStringLiteral("1080p")); // the choice itself is kept
    // Not probed: nothing to go by, every quality offered.
    f.script(QStringLiteral("analyze"), QJsonObject{{QStringLiteral("result"), analysis(false)}});
    QCoro::waitFor(f.model->compositionPart().analyzeCurrent());
    QCOMPARE(controls.menu(FormatControls::Quality)->entries(), all);
    QCOMPARE(controls.menu(FormatControls::Quality)->value(), QStringLiteral("1080p"));
    // Another address in the field: the analysis is no longer fresh.
    f.model->compositionPart().setPastedText(QStringLiteral("https://example.com/other"));
    QCOMPARE(controls.menu(FormatControls::Quality)->entries(), all);
}

void TestFormatControls::changeRefreshesThenSaves() {
    ViewFixture f;
    f.boot();
    FormatControls controls(f.model.get());
    QVERIFY(showAt(&controls, QSize(760, 200)));
    const int before = int(f.methods().size());
    choose(controls.menu(FormatControls::Container), QStringLiteral("MKV"));
    QVERIFY(f.waitForRequests(QStringLiteral("settings.set"), 1));
    const QStringList methods = f.methods().mid(before);
    const int refresh = indexOf(methods, QStringLiteral("options.allowed"));
    QVERIFY(refresh >= 0);
    QVERIFY(refresh < indexOf(methods, QStringLiteral("settings.set")));
    const LoggedRequest allowed = f.requestsOf(QStringLiteral("options.allowed")).last();
    QCOMPARE(allowed.params.value(QStringLiteral("container")).toString(), QStringLiteral("MKV"));
    const QJsonObject saved =
        f.requestsOf(QStringLiteral("settings.set")).last().params.value(QStringLiteral("values")).toObject();
    QCOMPARE(saved.value(QStringLiteral("container")).toString(), QStringLiteral("MKV"));
    QCOMPARE(controls.menu(FormatControls::Container)->value(), QStringLiteral("MKV"));

    // The entry that is already current, chosen again, still refreshes (the save finds nothing to store).
    const int refreshes = f.requestsOf(QStringLiteral("options.allowed")).size();
    choose(controls.menu(FormatControls::Container), QStringLiteral("MKV"));
    QVERIFY(f.waitForRequests(QStringLiteral("options.allowed"), refreshes + 1));
}

void TestFormatControls::onlyGesturesSendAnything() {
    ViewFixture f;
    f.boot();
    const int allowedAtStart = f.requestsOf(QStringLiteral("options.allowed")).size();
    const int savesAtStart = f.requestsOf(QStringLiteral("settings.set")).size();
    FormatControls controls(f.model.get());
    QVERIFY(showAt(&controls, QSize(760, 200)));
    // Changes made elsewhere re-sync the controls and send nothing.
    f.model->compositionPart().applyQuality(QStringLiteral("audio"));
    QVERIFY(controls.toggle(FormatControls::AudioOnly)->isChecked());
    FormatChoice other = f.model->compositionPart().format();
    other.saveThumbnail = true;
    f.model->compositionPart().setFormat(other);
    QVERIFY(controls.toggle(FormatControls::SaveThumbnail)->isChecked());
    // A gesture afterwards sends exactly one refresh and one save: the two above sent none.
    flip(controls.toggle(FormatControls::EmbedCover));
    QVERIFY(f.model->compositionPart().format().embedCover);
    QVERIFY(f.waitForRequests(QStringLiteral("settings.set"), savesAtStart + 1));
    QCOMPARE(f.requestsOf(QStringLiteral("options.allowed")).size(), allowedAtStart + 1);
    QCOMPARE(f.requestsOf(QStringLiteral("settings.set")).size(), savesAtStart + 1);
}

void TestFormatControls::audioOnlyDimsTheMenus() {
    ViewFixture f;
    f.boot();
    FormatControls controls(f.model.get());
    QVERIFY(showAt(&controls, QSize(760, 200)));
    const FormatControls::Field menus[] = {FormatControls::Quality, FormatControls::Codec,
                                           FormatControls::Container, FormatControls::Subtitles};
    for (auto field : menus) {
        QVERIFY(controls.menu(field)->isEnabled());
        QCOMPARE(opacityOf(controls.label(field)), 1.0);
    }
    flip(controls.toggle(FormatControls::AudioOnly));
    QVERIFY(f.model->compositionPart().format().audioOnly);
    for (auto field : menus) {
        QVERIFY(!controls.menu(field)->isEnabled());
        QCOMPARE(opacityOf(controls.label(field)), 0.4);
    }
    for (auto field :
         {FormatControls::AudioOnly, FormatControls::SaveThumbnail, FormatControls::EmbedCover}) {
        QVERIFY(controls.toggle(field)->isEnabled());
        QCOMPARE(opacityOf(controls.label(field)), 1.0);
    }
    flip(controls.toggle(FormatControls::AudioOnly));
    QVERIFY(!f.model->compositionPart().format().audioOnly);
    QVERIFY(controls.menu(FormatControls::Quality)->isEnabled());
}

void TestFormatControls::oneColumnOrTwo() {
    ViewFixture f;
    f.boot();
    QWidget holder;
    auto* layout = new QVBoxLayout(&holder);
    auto* controls = new FormatControls(f.model.get(), &holder);
    layout->addWidget(controls);
    QVERIFY(showAt(&holder, QSize(900, 400)));
    QVERIFY(controls->twoColumns());
    QCOMPARE(controls->menu(FormatControls::Quality)->width(), 120);
    QCOMPARE(controls->menu(FormatControls::Container)->width(), 200);
    // Quality and Format share a row.
    QCOMPARE(controls->menu(FormatControls::Quality)->y(), controls->menu(FormatControls::Container)->y());
    holder.resize(controls->twoColumnWidth() - 40, 500);
    QVERIFY(QTest::qWaitFor([&] { return !controls->twoColumns(); }));
    QVERIFY(QTest::qWaitFor([&] { return controls->menu(FormatControls::Quality)->width() == 200; }));
    QVERIFY(controls->menu(FormatControls::Quality)->y() < controls->menu(FormatControls::Codec)->y());
    QVERIFY(controls->menu(FormatControls::Codec)->y() < controls->menu(FormatControls::Container)->y());
    for (int i = 0; i < FormatControls::FieldCount; ++i) {
        QWidget* label = controls->label(FormatControls::Field(i));
        QVERIFY(label->geometry().right() < holder.width());
    }
    holder.resize(900, 400);
    QVERIFY(QTest::qWaitFor([&] { return controls->twoColumns(); }));
}

QTEST_MAIN(TestFormatControls)
#include "tst_formatcontrols.moc"
