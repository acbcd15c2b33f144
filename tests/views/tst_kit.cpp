// The shared layout pieces and the look: margins, cards, the empty notice, the segmented bar, the colours,
// the font roles, the icon table, and texts that follow the language.
#include "ViewFixture.h"

#include "kit/Card.h"
#include "kit/EmptyNotice.h"
#include "kit/Icons.h"
#include "kit/PaneContent.h"
#include "kit/SegmentedBar.h"
#include "kit/TextStyle.h"
#include "kit/TextsFollow.h"
#include "kit/Theme.h"

#include "Strings.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

class TestKit : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        Icons::install();
        ViewFixture::useAppearance(false);
    }

    void paneContentMargins_data() {
        QTest::addColumn<bool>("expanding");
        QTest::newRow("fixed column is centred") << false;
        QTest::newRow("expanding column fills") << true;
    }
    void paneContentMargins() {
        QFETCH(bool, expanding);
        auto* column = new QWidget;
        column->setMinimumHeight(100);
        column->setSizePolicy(QSizePolicy::Preferred,
                              expanding ? QSizePolicy::Expanding : QSizePolicy::Fixed);
        std::unique_ptr<QWidget> pane(paneContent(column));
        pane->resize(600, 500);
        pane->show();
        QVERIFY(QTest::qWaitForWindowExposed(pane.get()));
        const QRect at = column->geometry();
        QCOMPARE(at.left(), 24);
        QCOMPARE(pane->width() - at.right() - 1, 24);
        if (expanding) {
            QCOMPARE(at.top(), 20);
            QCOMPARE(pane->height() - at.bottom() - 1, 20);
        } else {
            QCOMPARE(at.height(), 100);
            QVERIFY(qAbs(at.center().y() - pane->rect().center().y()) <= 1);
        }
    }

    void cardPaddingAndWidth_data() {
        QTest::addColumn<int>("padding");
        QTest::newRow("none") << 0;
        QTest::newRow("ordinary") << 14;
        QTest::newRow("steps") << 16;
    }
    void cardPaddingAndWidth() {
        QFETCH(int, padding);
        QWidget host;
        auto* layout = new QVBoxLayout(&host);
        layout->setContentsMargins(0, 0, 0, 0);
        auto* content = new QLabel(QStringLiteral("short"));
        Card* box = card(content, padding);
        layout->addWidget(box);
        layout->addStretch();
        host.resize(500, 200);
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        QCOMPARE(box->width(), 500); // the full width, however short the content
        QCOMPARE(content->geometry().topLeft(), QPoint(padding, padding));
        QCOMPARE(box->height(), content->height() + 2 * padding);
    }

    void cardBorderStaysInside() {
        // The hairline is drawn inside the edge: the outermost pixels of a side carry the border colour.
        ViewFixture::useAppearance(true);
        Card box(14);
        box.resize(200, 80);
        const QImage image = box.grab().toImage();
        const QColor outside = image.pixelColor(0, 0); // beyond the rounded corner: the window
        const QColor mid = image.pixelColor(100, 40);
        const QColor edge = image.pixelColor(100, 0);
        // In the dark look the fill lightens the window a little, the border more.
        QVERIFY2(mid.lightness() > outside.lightness(), "the card is filled");
        QVERIFY2(edge.lightness() > mid.lightness(), "the top edge carries the border");
        QCOMPARE(image.pixelColor(100, 79).rgb(), edge.rgb());
        QCOMPARE(image.pixelColor(199, 40).rgb(), image.pixelColor(0, 40).rgb());
        ViewFixture::useAppearance(false);
    }

    void emptyNoticeParts_data() {
        QTest::addColumn<bool>("hasDetail");
        QTest::addColumn<QString>("detail");
        QTest::newRow("no detail") << false << QString();
        QTest::newRow("empty detail still laid out") << true << QString();
        QTest::newRow("detail") << true << QStringLiteral("Drop files here.");
    }
    void emptyNoticeParts() {
        QFETCH(bool, hasDetail);
        QFETCH(QString, detail);
        EmptyNotice notice(QStringLiteral("Nothing <b>here</b>"), QStringLiteral("text.quote"),
                           hasDetail ? std::optional(detail) : std::nullopt);
        QCOMPARE(notice.titleLabel()->text(), QStringLiteral("Nothing <b>here</b>"));
        QCOMPARE(notice.titleLabel()->textFormat(), Qt::PlainText);
        QCOMPARE(notice.detailLabel() != nullptr, hasDetail);
        if (hasDetail)
            QCOMPARE(notice.detailLabel()->text(), detail);
        QVERIFY(!notice.iconLabel()->pixmap().isNull());
    }

    void emptyNoticeLongDetailWrapsUncut() {
        const QString detail = QStringLiteral("word ").repeated(120).trimmed();
        const QString title =
            QStringLiteral("A title that is quite long and is never limited in its width at all");
        EmptyNotice notice(title, QStringLiteral("arrow.down.circle"), detail);
        notice.resize(900, 600);
        notice.show();
        QVERIFY(QTest::qWaitForWindowExposed(&notice));
        QLabel* label = notice.detailLabel();
        QVERIFY(label->width() <= EmptyNotice::detailWidth);
        QVERIFY(label->width() > EmptyNotice::detailWidth - 10);
        QVERIFY(label->height() >= label->heightForWidth(label->width()));
        QVERIFY(label->height() > 3 * label->fontMetrics().height()); // several lines
        QVERIFY(qAbs(label->geometry().center().x() - notice.rect().center().x()) <= 1);
        QVERIFY(notice.titleLabel()->width() >= notice.titleLabel()->fontMetrics().horizontalAdvance(title));
        // The content is centred in the height: the space above the icon equals the space below the detail.
        const int above = notice.iconLabel()->geometry().top();
        const int below = notice.height() - label->geometry().bottom();
        QVERIFY2(qAbs(above - below) <= 2, qPrintable(QStringLiteral("%1 vs %2").arg(above).arg(below)));
    }

    void segmentedBarClicks() {
        SegmentedBar bar;
        const QList<QVariant> values{QStringLiteral("all"), QStringLiteral("video"), QStringLiteral("audio")};
        bar.setValues(values, [](const QVariant& v) { return v.toString().toUpper(); });
        bar.setSelection(QStringLiteral("nowhere"));
        bar.resize(300, bar.sizeHint().height());
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        auto selected = [&] {
            QStringList out;
            for (const QVariant& v : values) {
                if (static_cast<SegmentButton*>(bar.segment(v))->isSelected())
                    out << v.toString();
            }
            return out;
        };
        QCOMPARE(selected(), QStringList());
        QCOMPARE(bar.segment(QStringLiteral("video"))->text(), QStringLiteral("VIDEO"));
        QCOMPARE(bar.findChild<QAbstractButton*>(QStringLiteral("segment_audio")),
                 bar.segment(QStringLiteral("audio")));

        QSignalSpy picked(&bar, &SegmentedBar::picked);
        QTest::mouseClick(bar.segment(QStringLiteral("audio")), Qt::LeftButton);
        QCOMPARE(selected(), QStringList{QStringLiteral("audio")});
        QTest::mouseClick(bar.segment(QStringLiteral("audio")), Qt::LeftButton); // again: written again
        QCOMPARE(picked.size(), 2);
        QCOMPARE(picked.at(1).at(0).toString(), QStringLiteral("audio"));
        bar.setSelection(QStringLiteral("all")); // the owner's model moved
        QCOMPARE(selected(), QStringList{QStringLiteral("all")});
        QCOMPARE(picked.size(), 2);
    }

    void segmentedBarEqualWidthsAndElision() {
        SegmentedBar bar;
        bar.setValues({1, 2, 3}, [](const QVariant& v) {
            return v.toInt() == 2 ? QStringLiteral("a very long label that cannot fit in a third")
                                  : QStringLiteral("x");
        });
        bar.resize(240, bar.sizeHint().height());
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        const int w1 = bar.segment(1)->width();
        QVERIFY(qAbs(bar.segment(2)->width() - w1) <= 1);
        QVERIFY(qAbs(bar.segment(3)->width() - w1) <= 1);
        QCOMPARE(bar.segment(1)->geometry().left(), 3);
        QCOMPARE(bar.segment(2)->height(), bar.segment(1)->height()); // one line
    }

    void segmentedBarEmpty() {
        SegmentedBar bar;
        bar.setValues({}, {});
        QCOMPARE(bar.sizeHint(), QSize(6, 6));
    }

    void themeFollowsAppearance() {
        const QPalette light = FusionAppearance::lightPalette();
        const QPalette dark = FusionAppearance::darkPalette();
        QVERIFY(!Theme::isDark(light));
        QVERIFY(Theme::isDark(dark));
        QVERIFY(Theme::ink(Theme::Ink::Primary, light).lightness() < 80);
        QVERIFY(Theme::ink(Theme::Ink::Primary, dark).lightness() > 180);
        // A disabled control reads differently from an enabled one in both appearances.
        for (const QPalette& p : {light, dark}) {
            for (auto role : {QPalette::ButtonText, QPalette::WindowText, QPalette::Text})
                QVERIFY(qAbs(p.color(QPalette::Disabled, role).lightness() -
                             p.color(QPalette::Active, role).lightness()) > 60);
        }
        // The hierarchy fades: each level is fainter than the one above it.
        for (const QPalette& p : {light, dark}) {
            QVERIFY(Theme::ink(Theme::Ink::Secondary, p).alphaF() <
                    Theme::ink(Theme::Ink::Primary, p).alphaF());
            QVERIFY(Theme::ink(Theme::Ink::Tertiary, p).alphaF() <
                    Theme::ink(Theme::Ink::Secondary, p).alphaF());
            QVERIFY(Theme::ink(Theme::Ink::Quaternary, p).alphaF() <
                    Theme::ink(Theme::Ink::Tertiary, p).alphaF());
            QVERIFY(Theme::cardFill(p).alphaF() < Theme::cardBorder(p).alphaF());
        }

        QWidget host;
        QLabel label(QStringLiteral("x"), &host);
        Theme::setForeground(&label, Theme::Ink::Secondary);
        host.show();
        ViewFixture::useAppearance(true);
        QCOMPARE(label.palette().color(QPalette::WindowText), Theme::ink(Theme::Ink::Secondary, dark));
        ViewFixture::useAppearance(false);
        QCOMPARE(label.palette().color(QPalette::WindowText), Theme::ink(Theme::Ink::Secondary, light));
    }

    void textStyleRamp() {
        using R = TextStyle::Role;
        QFont base;
        base.setPointSizeF(10);
        auto size = [&](R r) { return TextStyle::font(r, std::nullopt, base).pointSizeF(); };
        QCOMPARE(size(R::Body), 10.0);
        QVERIFY(size(R::LargeTitle) > size(R::Title));
        QVERIFY(size(R::Title) > size(R::Title2));
        QVERIFY(size(R::Title2) > size(R::Title3));
        QVERIFY(size(R::Title3) > size(R::Body));
        QVERIFY(size(R::Body) > size(R::Callout));
        QVERIFY(size(R::Callout) > size(R::Caption2));
        QCOMPARE(TextStyle::font(R::Headline, std::nullopt, base).weight(), QFont::DemiBold);
        QCOMPARE(TextStyle::font(R::Title3, QFont::DemiBold, base).weight(), QFont::DemiBold);
        for (int r = 0; r <= static_cast<int>(R::Caption2); ++r)
            QCOMPARE(static_cast<int>(TextStyle::entry(static_cast<R>(r)).role), r);
    }

    void everySymbolHasAnIcon() {
        for (const Icons::Entry& e : Icons::table()) {
            const QString symbol = QString::fromLatin1(e.symbol);
            QVERIFY2(!Icons::icon(symbol).isNull(), qPrintable(symbol));
            QVERIFY2(!Icons::icon(symbol).pixmap(16).isNull(), qPrintable(symbol));
        }
        QVERIFY(Icons::icon(QStringLiteral("no.such.symbol")).isNull());
    }

    void tintedIconIsOneColour() {
        const QColor red(200, 10, 10);
        const QImage image = Icons::tinted(QStringLiteral("folder"), 32, red).toImage();
        int opaque = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c.alpha() == 255) {
                    ++opaque;
                    QCOMPARE(c.rgb(), red.rgb());
                }
            }
        }
        QVERIFY(opaque > 50);
    }

    void textsFollowTheLanguage() {
        ViewFixture fixture;
        fixture.boot();
        QLabel label;
        int applied = 0;
        followTexts(*fixture.model, &label, [&] {
            ++applied;
            label.setText(Strings::text(QStringLiteral("tab_download")));
        });
        QCOMPARE(label.text(), QStringLiteral("Download"));
        QCoro::waitFor(fixture.model->sessionPart().applyLanguage(QStringLiteral("fr")));
        QCOMPARE(label.text(), QStringLiteral("Télécharger"));
        QCOMPARE(applied, 2);
    }
};

QTEST_MAIN(TestKit)
#include "tst_kit.moc"
