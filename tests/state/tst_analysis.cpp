#include "Composition.h"
#include "StateFixture.h"

#include "Strings.h"

namespace {
QJsonObject analysis(const QString& url, const QString& title) {
    return {{"url", url},        {"availableQualities", QJsonArray{"1080p", "720p"}},
            {"probed", true},    {"isListing", false},
            {"listingKind", ""}, {"title", title}};
}
QJsonObject result(const QJsonObject& value) {
    return {{"result", value}};
}
} // namespace

class TestAnalysis : public QObject {
    Q_OBJECT
private slots:
    void init() { Strings::reset(); }

    void theTrimmedAddressIsAnalysed() {
        StateFixture f;
        f.boot();
        f.script("analyze", result(analysis("https://a.example/v", "A")));
        f.model->compositionPart().setPastedText("  https://a.example/v \n");
        QCoro::waitFor(f.model->compositionPart().analyzeCurrent());
        const auto sent = f.requestsOf("analyze");
        QCOMPARE(sent.size(), 1);
        QCOMPARE(sent[0].params, QJsonObject({{"url", "https://a.example/v"},
                                              {"cookieSource", "None"},
                                              {"cookiesFile", ""},
                                              {"forceGeneric", false}}));
        QVERIFY(f.model->compositionPart().freshAnalysis());
        QCOMPARE(f.model->compositionPart().freshAnalysis()->title.value_or(""), QString("A"));
        f.model->compositionPart().setPastedText("https://a.example/v");
        QVERIFY(f.model->compositionPart().freshAnalysis());
        f.model->compositionPart().setPastedText("https://a.example/w");
        QVERIFY(!f.model->compositionPart().freshAnalysis());
    }

    void anEmptyFieldSendsNothing() {
        StateFixture f;
        f.boot();
        f.model->compositionPart().setPastedText(" \n ");
        QCoro::waitFor(f.model->compositionPart().analyzeCurrent());
        QVERIFY(f.requestsOf("analyze").isEmpty());
        QVERIFY(!f.model->compositionPart().isAnalyzing());
        QCOMPARE(f.model->compositionPart().analyzedURL(), QString());
    }

    void aFailureIsShownOnlyAsTheAnalysisFailure() {
        StateFixture f;
        f.boot();
        f.scriptError("analyze", 1003, "No media found on this page.");
        f.model->sessionPart().setLastError(std::nullopt);
        const QStringList logBefore = f.model->sessionPart().log();
        f.model->compositionPart().setPastedText("https://a.example/page");
        QCoro::waitFor(f.model->compositionPart().analyzeCurrent());
        QCOMPARE(f.model->compositionPart().freshFailure().value_or(""),
                 QString("No media found on this page."));
        QVERIFY(!f.model->compositionPart().analysis());
        QVERIFY(!f.model->sessionPart().lastError());
        QCOMPARE(f.model->sessionPart().log(), logBefore);
    }

    void theFirstAnswerArrivingLastChangesNothing() {
        StateFixture f;
        f.boot();
        f.control("test.hold", {{"method", "analyze"}});
        // Held answers are released newest first; scripts are used in arrival order of the answers.
        f.script("analyze", result(analysis("https://b.example/v", "second")));
        f.script("analyze", result(analysis("https://a.example/v", "first")));
        f.model->compositionPart().setPastedText("https://a.example/v");
        auto first = f.model->compositionPart().analyzeCurrent();
        QVERIFY(f.waitForRequests("analyze", 1));
        f.model->compositionPart().setPastedText("https://b.example/v");
        auto second = f.model->compositionPart().analyzeCurrent();
        QVERIFY(f.waitForRequests("analyze", 2));
        QVERIFY(f.model->compositionPart().isAnalyzing());
        f.control("test.release", {{"method", "analyze"}, {"order", "lifo"}});
        QCoro::waitFor(std::move(second));
        QCoro::waitFor(std::move(first));
        QVERIFY(!f.model->compositionPart().isAnalyzing());
        QCOMPARE(f.model->compositionPart().analysis()->title.value_or(""), QString("second"));
        QCOMPARE(f.model->compositionPart().analyzedURL(), QString("https://b.example/v"));
    }

    void clearingTheCompositionDropsTheAnalysisUnderWay() {
        StateFixture f;
        f.boot();
        f.control("test.hold", {{"method", "analyze"}});
        f.script("analyze", result(analysis("https://a.example/v", "late")));
        f.model->compositionPart().setPastedText("https://a.example/v");
        auto pending = f.model->compositionPart().analyzeCurrent();
        QVERIFY(f.waitForRequests("analyze", 1));
        f.model->compositionPart().clearComposition();
        QVERIFY(!f.model->compositionPart().isAnalyzing());
        QCOMPARE(f.model->compositionPart().pastedText(), QString());
        f.control("test.release", {{"method", "analyze"}});
        QCoro::waitFor(std::move(pending));
        QVERIFY(!f.model->compositionPart().analysis());
        QVERIFY(!f.model->compositionPart().isAnalyzing());
    }

    void formatSummaryAndLabels() {
        StringTable t;
        t.language = "en";
        t.strings = {
            {"summary_audio_only", "Audio only"}, {"summary_subtitles", "Subtitles"}, {"subs_both", "Both"}};
        Strings::install(t);
        FormatChoice c;
        QCOMPARE(c.summary(), QString("1080p  \u00B7  MP4"));
        c.videoCodec = "AV1";
        c.subtitleMode = "embed";
        QCOMPARE(c.summary(), QString("1080p  \u00B7  MP4  \u00B7  AV1  \u00B7  Subtitles"));
        c.audioOnly = true;
        QCOMPARE(c.summary(), QString("Audio only"));
        QCOMPARE(FormatChoice::subtitleLabel("both"), QString("Both"));
        QCOMPARE(FormatChoice::subtitleLabel("Both"), QString("Both"));
        QCOMPARE(FormatChoice::subtitleLabel("BOTH"), QString("BOTH"));
    }

    void qualityCapping() {
        AllowedOptions o;
        o.allQualities = {"4K", "1440p", "1080p", "720p", "360p"};
        QCOMPARE(o.allQualitiesOfferedBy(QStringList{"720p", "1080p"}), (QStringList{"1080p", "720p"}));
        QCOMPARE(o.allQualitiesOfferedBy(QStringList{"480p"}), o.allQualities);
        QCOMPARE(o.allQualitiesOfferedBy(std::nullopt), o.allQualities);
        QCOMPARE(o.qualityCappedBy("1080p", {"4K", "720p", "360p"}), std::optional<QString>("720p"));
        QCOMPARE(o.qualityCappedBy("1080p", {"4K"}), std::optional<QString>("4K"));
        QCOMPARE(o.qualityCappedBy("8K", {"720p"}), std::optional<QString>("720p"));
        QCOMPARE(o.qualityCappedBy("1080p", {}), std::optional<QString>());
        AllowedOptions none;
        QCOMPARE(none.qualityCappedBy("1080p", {"720p", "360p"}), std::optional<QString>("720p"));
        // "audio" sorts last, yet a video choice never lands on it; only "audio" chosen takes it.
        AllowedOptions full;
        full.allQualities = {"8K", "4K", "1440p", "1080p", "720p", "480p", "360p", "audio"};
        const struct {
            const char* chosen;
            QStringList offered;
            const char* expected;
        } cases[] = {
            {"360p", {"720p", "audio"}, "720p"},
            {"360p", {"1080p", "720p", "audio"}, "720p"},
            {"480p", {"720p", "360p", "audio"}, "360p"},
            {"1080p", {"720p", "audio"}, "720p"},
            {"360p", {"audio"}, "audio"},
            {"audio", {"720p", "audio"}, "audio"},
            {"audio", {"720p", "360p"}, "360p"},
        };
        for (const auto& c : cases)
            QCOMPARE(full.qualityCappedBy(c.chosen, c.offered), std::optional<QString>(c.expected));
        QCOMPARE(none.qualityCappedBy("1080p", {}), std::optional<QString>());
    }

    void applyQuality_data() {
        QTest::addColumn<QString>("quality");
        QTest::addColumn<QStringList>("allowed");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("audioOnly");
        QTest::newRow("audio keeps the quality") << "audio" << QStringList{"1080p"} << "720p" << true;
        QTest::newRow("allowed") << "480p" << QStringList{"720p", "480p"} << "480p" << false;
        QTest::newRow("not allowed takes the first")
            << "4K" << QStringList{"1080p", "720p"} << "1080p" << false;
        QTest::newRow("nothing allowed keeps it") << "4K" << QStringList{} << "4K" << false;
    }
    void applyQuality() {
        QFETCH(QString, quality);
        QFETCH(QStringList, allowed);
        QFETCH(QString, expected);
        QFETCH(bool, audioOnly);
        StateFixture f;
        f.startEngine();
        QJsonObject options{{"container", "MP4"}};
        for (const char* key :
             {"qualities", "allQualities", "containers", "allContainers", "videoCodecs", "allVideoCodecs",
              "subtitleModes", "allSubtitleModes", "cookieSources", "allCookieSources"})
            options.insert(key, QJsonArray());
        options.insert("qualities", QJsonArray::fromStringList(allowed));
        f.script("options.allowed", result(options));
        QCoro::waitFor(f.model->compositionPart().refreshAllowedOptions());
        FormatChoice start;
        start.quality = "720p";
        f.model->compositionPart().setFormat(start);
        f.model->compositionPart().applyQuality(quality);
        QCOMPARE(f.model->compositionPart().format().quality, expected);
        QCOMPARE(f.model->compositionPart().format().audioOnly, audioOnly);
        QVERIFY(f.requestsOf("settings.set").isEmpty());
    }

    void onlyChangedFormatFieldsAreSaved() {
        StateFixture f;
        f.boot();
        FormatChoice c = f.model->compositionPart().format();
        c.subtitleMode = "both";
        f.model->compositionPart().setFormat(c);
        f.model->compositionPart().saveFormatChoices();
        QTest::qWait(200);
        QVERIFY(f.requestsOf("settings.set").isEmpty());

        c.quality = "720p";
        c.audioOnly = !c.audioOnly;
        f.model->compositionPart().setFormat(c);
        f.model->compositionPart().saveFormatChoices();
        QVERIFY(f.waitForRequests("settings.set", 1));
        const QJsonObject values = f.requestsOf("settings.set")[0].params.value("values").toObject();
        QCOMPARE(values, QJsonObject({{"quality", "720p"}, {"audioOnly", c.audioOnly}}));
        QTRY_COMPARE(f.model->sessionPart().settings()->quality, QString("720p"));
    }
};

QTEST_GUILESS_MAIN(TestAnalysis)
#include "tst_analysis.moc"
