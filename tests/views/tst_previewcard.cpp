// The preview card: the quality line (what the source offers, what will be saved), its orange notice when
// the source could not be probed, the facts row and the title's two lines.
#include "Composition.h"
#include "ViewHelpers.h"

#include "download/PreviewCard.h"
#include "rows/ElidedLabel.h"
#include "rows/Thumbnail.h"

#include <QLabel>

namespace {

AllowedOptions fullList() {
    AllowedOptions o = AllowedOptions::empty();
    o.allQualities = {QStringLiteral("4K"), QStringLiteral("1080p"), QStringLiteral("720p"),
                      QStringLiteral("480p")};
    return o;
}

Analysis offering(QStringList qualities, std::optional<QString> label = std::nullopt, bool probed = true) {
    Analysis a;
    a.url = QStringLiteral("https://example.com/v");
    a.availableQualities = std::move(qualities);
    a.sourceLabel = std::move(label);
    a.probed = probed;
    return a;
}

} // namespace

class TestPreviewCard : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void savedQuality_data();
    void savedQuality();
    void qualityLineRules();
    void cardFollowsTheChoice();
    void factsAndTitle();
};

void TestPreviewCard::savedQuality_data() {
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QStringList>("offered");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("saved");
    QTest::newRow("the choice, not the first offered") << "1080p" << QStringList{"4K", "1080p", "720p"} << ""
                                                       << "1080p";
    QTest::newRow("capped to the source's best") << "4K" << QStringList{"1080p", "720p"} << ""
                                                 << "1080p";
    QTest::newRow("capped to the source's best, labelled")
        << "4K" << QStringList{"1080p", "720p"} << "1080p60 HDR"
        << "1080p60 HDR";
    QTest::newRow("nothing at or below: the last") << "480p" << QStringList{"1080p"} << ""
                                                   << "1080p";
    QTest::newRow("nothing at or below, labelled") << "480p" << QStringList{"1080p"} << "Full HD"
                                                   << "1080p";
    QTest::newRow("choice unknown") << "5K" << QStringList{"720p"} << ""
                                    << "720p";
    QTest::newRow("choice unknown, labelled") << "5K" << QStringList{"720p"} << "HD"
                                              << "720p";
}

void TestPreviewCard::savedQuality() {
    QFETCH(QString, chosen);
    QFETCH(QStringList, offered);
    QFETCH(QString, label);
    QFETCH(QString, saved);
    const Analysis a = offering(offered, label.isEmpty() ? std::nullopt : std::optional<QString>(label));
    const QString source = label.isEmpty() ? offered.first() : label;
    QCOMPARE(PreviewCard::savedQuality(a, source, chosen, fullList()), saved);
}

void TestPreviewCard::qualityLineRules() {
    FormatChoice f;
    const auto line = [&](const Analysis& a) { return PreviewCard::qualityLine(a, f, fullList()); };
    // Not probed: the orange notice, whatever is offered.
    auto undetected = line(offering({QStringLiteral("720p")}, std::nullopt, false));
    QVERIFY(undetected && undetected->undetected);
    QCOMPARE(undetected->text, Strings::text(QStringLiteral("v2_quality_undetected")));
    // Probed with nothing offered: no line.
    QVERIFY(!line(offering({})));
    // An empty label is passed over for the first offered quality.
    auto plain = line(offering({QStringLiteral("720p"), QStringLiteral("480p")}, QString()));
    QVERIFY(plain && !plain->undetected);
    QCOMPARE(plain->text, Strings::text(QStringLiteral("v2_quality_effective"),
                                        {{QStringLiteral("source"), QStringLiteral("720p")},
                                         {QStringLiteral("saved"), QStringLiteral("720p")}}));
    // Audio only: no line at all, not even the notice.
    f.audioOnly = true;
    QVERIFY(!line(offering({QStringLiteral("720p")}, std::nullopt, false)));
}

void TestPreviewCard::cardFollowsTheChoice() {
    ViewFixture f;
    f.boot();
    PreviewCard card(f.model.get());
    Analysis a = offering({QStringLiteral("720p"), QStringLiteral("480p")});
    a.title = QStringLiteral("A film");
    card.setAnalysis(a);
    QVERIFY(showAt(&card, QSize(700, 140)));
    auto expected = [&](const QString& saved) {
        return Strings::text(
            QStringLiteral("v2_quality_effective"),
            {{QStringLiteral("source"), QStringLiteral("720p")}, {QStringLiteral("saved"), saved}});
    };
    QCOMPARE(card.qualityLabel()->text(), expected(QStringLiteral("720p")));
    FormatChoice choice = f.model->compositionPart().format();
    choice.quality = QStringLiteral("480p");
    f.model->compositionPart().setFormat(choice);
    QCOMPARE(card.qualityLabel()->text(), expected(QStringLiteral("480p")));
    choice.audioOnly = true;
    f.model->compositionPart().setFormat(choice);
    QVERIFY(!card.qualityLabel()->isVisible());
    choice.audioOnly = false;
    f.model->compositionPart().setFormat(choice);
    QVERIFY(card.qualityLabel()->isVisible());
}

void TestPreviewCard::factsAndTitle() {
    ViewFixture f;
    PreviewCard card(f.model.get());
    Analysis a = offering({});
    a.title =
        QStringLiteral("A title long enough to need more than two lines in a narrow card, and then some more "
                       "words so that it certainly does not fit in two lines of the headline font");
    a.channel = QString();
    a.duration = -5;
    card.setAnalysis(a);
    QVERIFY(showAt(&card, QSize(420, 140)));
    QVERIFY(!card.channelLabel()->isVisible());
    QVERIFY(!card.durationLabel()->isVisible());
    QCOMPARE(card.titleLabel()->text().count(u'\n'), 1);
    QVERIFY(card.titleLabel()->isElided());
    QCOMPARE(card.thumbnail()->size(), PreviewCard::thumbnailSize);
    a.channel = QStringLiteral("Someone");
    a.duration = 187;
    card.setAnalysis(a);
    QVERIFY(card.channelLabel()->isVisible());
    QCOMPARE(card.channelLabel()->text(), QStringLiteral("Someone"));
    QCOMPARE(card.durationLabel()->text(), QStringLiteral("3 min 07 s"));
}

QTEST_MAIN(TestPreviewCard)
#include "tst_previewcard.moc"
