// The params every catalogue entry writes, against a table written independently of the code: exact keys,
// exact JSON types, and no "params" member at all where a method has none.

#include "EngineMethods.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <QTest>

using namespace Qt::StringLiterals;
namespace M = EngineMethods;

namespace {

struct Row {
    QString method;
    std::optional<QJsonObject> sent;
    std::optional<QJsonObject> expected;
};

QJsonObject obj(const char* text) {
    return QJsonDocument::fromJson(QByteArray(text)).object();
}

template <class T> Row row(typename T::Params params, std::optional<QJsonObject> expected) {
    return {QString::fromLatin1(T::name), M::paramsJson<T>(params), std::move(expected)};
}

template <class T> Row bare() {
    static_assert(M::WithoutParams<T>);
    return {QString::fromLatin1(T::name), M::paramsJson<T>({}), std::nullopt};
}

std::vector<Row> rows() {
    const StoredRow stored{"https://v/1", "T", "720p", "MP4", true, "https://i/1", "", "C", "waiting"};
    return {
        bare<M::Hello>(),
        bare<M::I18nTable>(),
        row<M::I18nTableInLanguage>({"fr"}, obj(R"({"language":"fr"})")),
        bare<M::SettingsGet>(),
        row<M::SettingsSet>(
            {{{"quality", SettingValue::text("720p")},
              {"container", SettingValue::text("")},
              {"videoCodec", SettingValue::text("Auto")},
              {"audioOnly", SettingValue::flag(false)},
              {"saveThumbnail", SettingValue::flag(true)},
              {"embedCover", SettingValue::flag(false)}}},
            obj(R"({"values":{"quality":"720p","container":"","videoCodec":"Auto","audioOnly":false,
                                   "saveThumbnail":true,"embedCover":false}})")),
        row<M::SettingsSetCookieSource>({"Built-in Browser", ""},
                                        obj(R"({"browser":"Built-in Browser","file":""})")),
        row<M::OptionsAllowed>({"MKV"}, obj(R"({"container":"MKV"})")),
        row<M::Analyze>(
            {"https://v/1", "None", "", false},
            obj(R"({"url":"https://v/1","cookieSource":"None","cookiesFile":"","forceGeneric":false})")),
        row<M::QueueResolve>(
            {{"https://v/1", "https://v/2"}, "Fox", "/c.txt"},
            obj(R"({"urls":["https://v/1","https://v/2"],"cookieSource":"Fox","cookiesFile":"/c.txt"})")),
        row<M::ListingPage>(
            {"https://v/l", 50, 25, "", "None", ""},
            obj(R"({"source":"https://v/l","offset":50,"count":25,"section":"","cookieSource":"None",
                                   "cookiesFile":""})")),
        row<M::DownloadStart>(
            {"https://v/1", "1080p", "MP4", false, "Auto", "off", false, false, "", true, false, "JOB",
             "None", "", false, ""},
            obj(R"({"url":"https://v/1","quality":"1080p","container":"MP4","audioOnly":false,"videoCodec":"Auto",
                   "subtitleMode":"off","saveThumbnail":false,"embedCover":false,"outputDir":"","singleVideo":true,
                   "allowListing":false,"jobId":"JOB","cookieSource":"None","cookiesFile":"","forceGeneric":false,
                   "fileName":""})")),
        row<M::DownloadPause>({"JOB"}, obj(R"({"jobId":"JOB"})")),
        row<M::DownloadCancel>({"JOB"}, obj(R"({"jobId":"JOB"})")),
        bare<M::QueueLoad>(),
        row<M::QueueSave>({{stored}}, obj(R"({"items":[{"url":"https://v/1","title":"T","quality":"720p",
                                         "container":"MP4","audio_only":true,"thumb_url":"https://i/1","playlist":"",
                                         "channel":"C","status":"waiting"}]})")),
        row<M::LibraryList>({240, {}}, obj(R"({"limit":120,"offset":240})")),
        row<M::LibraryList>({240, QStringLiteral("c")}, obj(R"({"limit":120,"offset":240,"cursor":"c"})")),
        row<M::LibraryReveal>({"/l/a.mp4"}, obj(R"({"path":"/l/a.mp4"})")),
        row<M::LibraryRemove>({{"/l/a.mp4", "/l/b.mp4"}, false},
                              obj(R"({"paths":["/l/a.mp4","/l/b.mp4"],"deleteFiles":false})")),
        row<M::ThumbnailResolve>({"https://i/1", "/l/a.mp4", "None", "", ""},
                                 obj(R"({"url":"https://i/1","mediaPath":"/l/a.mp4","cookieSource":"None",
                                        "cookiesFile":"","pageUrl":""})")),
        row<M::SearchQuery>({"cat"}, obj(R"({"text":"cat"})")),
        bare<M::SearchStatus>(),
        bare<M::SearchReindex>(),
        bare<M::ModelsList>(),
        row<M::ModelsOffer>({"tiny"}, obj(R"({"key":"tiny"})")),
        row<M::ModelsDownload>({"tiny"}, obj(R"({"key":"tiny"})")),
        row<M::ModelsCancel>({"tiny"}, obj(R"({"key":"tiny"})")),
        row<M::ModelsDelete>({"tiny"}, obj(R"({"key":"tiny"})")),
        row<M::TranscribeStart>({"/l/a.mp4", "T-1"}, obj(R"({"path":"/l/a.mp4","jobId":"T-1"})")),
        row<M::TranscribeCancel>({"T-1"}, obj(R"({"jobId":"T-1"})")),
        row<M::ClipSuggest>({"/l/a.mp4", 1000, 2500, true},
                            obj(R"({"path":"/l/a.mp4","startMs":1000,"endMs":2500,"audioOnly":true})")),
        row<M::ClipExtract>({"/l/a.mp4", 0, 900, "C-1", ClipMode::fast, false},
                            obj(R"({"path":"/l/a.mp4","startMs":0,"endMs":900,"jobId":"C-1","mode":"fast",
                                   "audioOnly":false})")),
        row<M::ClipCancel>({"C-1"}, obj(R"({"jobId":"C-1"})")),
        row<M::JsRuntime>({}, obj(R"({"recheck":true})")),
        bare<M::UpdateCheck>(),
        row<M::ReportSend>({"It broke", "", ""}, obj(R"({"what":"It broke","email":"","log":""})")),
        bare<M::FavouritesList>(),
        row<M::FavouritesAdd>({"https://f/", ""}, obj(R"({"url":"https://f/","title":""})")),
        row<M::FavouritesRemove>({"https://f/"}, obj(R"({"url":"https://f/"})")),
        bare<M::Shutdown>(),
    };
}

template <class Tuple> QStringList catalogueNames() {
    QStringList names;
    std::apply([&](auto... m) { (names.append(QString::fromLatin1(decltype(m)::name)), ...); }, Tuple{});
    return names;
}

} // namespace

class TestCatalogueParams : public QObject {
    Q_OBJECT
private slots:
    void paramsAreExact_data() {
        QTest::addColumn<int>("index");
        const auto all = rows();
        for (int i = 0; i < int(all.size()); ++i)
            QTest::addRow("%d %s", i, qPrintable(all[i].method)) << i;
    }
    void paramsAreExact() {
        QFETCH(int, index);
        const Row r = rows()[index];
        QCOMPARE(r.sent.has_value(), r.expected.has_value());
        if (r.expected)
            QCOMPARE(QJsonDocument(*r.sent).toJson(QJsonDocument::Compact),
                     QJsonDocument(*r.expected).toJson(QJsonDocument::Compact));
    }

    // The table covers the whole catalogue, and the catalogue names exactly the engine's methods.
    void catalogueIsComplete() {
        QSet<QString> tabled;
        for (const Row& r : rows())
            tabled.insert(r.method);
        const QStringList names = catalogueNames<M::All>();
        QCOMPARE(QSet<QString>(names.begin(), names.end()), tabled);
        const QStringList wire{"hello",
                               "i18n.table",
                               "settings.get",
                               "settings.set",
                               "settings.setCookieSource",
                               "options.allowed",
                               "analyze",
                               "queue.resolve",
                               "listing.page",
                               "download.start",
                               "download.pause",
                               "download.cancel",
                               "queue.load",
                               "queue.save",
                               "library.list",
                               "library.reveal",
                               "library.remove",
                               "thumbnail.resolve",
                               "search.query",
                               "search.status",
                               "search.reindex",
                               "models.list",
                               "models.offer",
                               "models.download",
                               "models.cancel",
                               "models.delete",
                               "transcribe.start",
                               "transcribe.cancel",
                               "clip.suggest",
                               "clip.extract",
                               "clip.cancel",
                               "js.runtime",
                               "update.check",
                               "report.send",
                               "favourites.list",
                               "favourites.add",
                               "favourites.remove",
                               "shutdown"};
        QCOMPARE(tabled, QSet<QString>(wire.begin(), wire.end()));
    }

    void settingValuesAreBare() {
        QCOMPARE(SettingValue::text("dark").toJson(), QJsonValue("dark"));
        QCOMPARE(SettingValue::text("").toJson(), QJsonValue(""));
        QCOMPARE(SettingValue::flag(true).toJson(), QJsonValue(true));
        QCOMPARE(SettingValue::flag(false).toJson(), QJsonValue(false));
        // A text that reads like a flag stays a text.
        QCOMPARE(SettingValue::text("true").toJson(), QJsonValue("true"));
        QVERIFY(SettingValue::text("x") != SettingValue::flag(true));
        QCOMPARE(SettingValue::text("x").textValue(), QString("x"));
        QVERIFY(SettingValue::flag(true).flagValue());
        QCOMPARE(SettingsPatch{}.toJson(), obj(R"({"values":{}})"));
    }

    void libraryPagesAlwaysAskForTheSameCount() {
        for (qint64 offset : {0, 120, 240, 7})
            QCOMPARE((M::LibraryList::Params{offset, {}}).toJson().value("limit"), QJsonValue(120));
    }

    void clipModesTravelAsTheirValues() {
        for (ClipMode m : allClipModes) {
            M::ClipExtract::Params p;
            p.mode = m;
            QCOMPARE(p.toJson().value("mode").toString(), clipModeValue(m));
        }
    }
};

QTEST_GUILESS_MAIN(TestCatalogueParams)
#include "tst_catalogue_params.moc"
