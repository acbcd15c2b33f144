// Strict decoding of every engine record: a full fixture checked field by field, then every mutation the
// record's schema generates (dropped keys, nulls, wrong types, fractional integers, bad list elements).

#include "EngineMethods.h"
#include "EngineTypes.h"
#include "RecordSchema.h"

#include <QTest>

using namespace schema;

namespace {

struct RecordCase {
    const char* name;
    const Schema* schema;
    QJsonObject fixture;
    // Decodes and compares with the hand-written expected value; throws DecodeError on failure.
    std::function<bool(const QJsonValue&)> matches;
};

template <class T> std::function<bool(const QJsonValue&)> equalTo(T expected) {
    return [expected](const QJsonValue& v) { return decodeJson<T>(v) == expected; };
}

// --- schemas -------------------------------------------------------------------------------------------

const Schema capabilitiesSchema{{
    req("qualities", Kind::StringList),
    req("containers", Kind::StringList),
    req("videoCodecs", Kind::StringList),
    req("cookieSources", Kind::StringList),
    req("allQualities", Kind::StringList),
    req("allContainers", Kind::StringList),
    req("allVideoCodecs", Kind::StringList),
}};
const Schema setAsideSchema{{req("file", Kind::String), req("savedAs", Kind::String)}};
const Schema helloSchema{{
    req("engineVersion", Kind::String),
    req("enginePath", Kind::String),
    req("python", Kind::String),
    req("methods", Kind::StringList),
    req("capabilities", Kind::Record, &capabilitiesSchema),
    req("ffmpegDir", Kind::String),
    req("mediaExtensions", Kind::StringList),
    req("downloadWorkers", Kind::Int),
    opt("setAside", Kind::RecordList, &setAsideSchema),
}};
const Schema settingsSchema{{
    req("outputDir", Kind::String),
    req("outputDirIsDefault", Kind::Bool),
    req("quality", Kind::String),
    req("container", Kind::String),
    req("audioOnly", Kind::Bool),
    req("saveThumbnail", Kind::Bool),
    req("embedCover", Kind::Bool),
    req("videoCodec", Kind::String),
    req("cookieSource", Kind::String),
    req("cookiesFile", Kind::String),
    req("speedMode", Kind::String),
    req("language", Kind::String),
    req("transcriptionEnabled", Kind::Bool),
    req("transcriptionModel", Kind::String),
    req("transcriptDir", Kind::String),
    req("transcriptionLanguage", Kind::String),
    req("transcribeOverSubtitles", Kind::Bool),
    req("appearance", Kind::String),
    req("forceGeneric", Kind::Bool),
    req("downloadOptionsExpanded", Kind::Bool),
    req("askWhereToSave", Kind::Bool),
    req("searchEngine", Kind::String),
    req("searchURL", Kind::String),
    req("searchEngines", Kind::StringList),
    req("speedModes", Kind::StringList),
    req("languages", Kind::StringList),
    req("appearances", Kind::StringList),
}};
const Schema allowedSchema{{
    req("container", Kind::String),
    req("qualities", Kind::StringList),
    req("allQualities", Kind::StringList),
    req("containers", Kind::StringList),
    req("allContainers", Kind::StringList),
    req("videoCodecs", Kind::StringList),
    req("allVideoCodecs", Kind::StringList),
    req("subtitleModes", Kind::StringList),
    req("allSubtitleModes", Kind::StringList),
    req("cookieSources", Kind::StringList),
    req("allCookieSources", Kind::StringList),
}};
const Schema updateSchema{{
    req("available", Kind::Bool),
    req("version", Kind::String),
    req("url", Kind::String),
    req("current", Kind::String),
}};
const Schema favouriteSchema{{req("url", Kind::String), req("title", Kind::String)}};
const Schema favouritesSchema{{req("items", Kind::RecordList, &favouriteSchema)}};

const Schema analysisSchema{{
    req("url", Kind::String),
    req("availableQualities", Kind::StringList),
    req("probed", Kind::Bool),
    opt("sourceLabel", Kind::String),
    req("isListing", Kind::Bool),
    req("listingKind", Kind::String),
    opt("title", Kind::String),
    opt("channel", Kind::String),
    opt("playlist", Kind::String),
    opt("duration", Kind::Double),
    opt("thumbnail", Kind::String),
    opt("webpageUrl", Kind::String),
    opt("extractor", Kind::String),
    opt("subtitleLanguages", Kind::StringList),
    opt("autoSubtitleLanguages", Kind::StringList),
}};
const Schema downloadResultSchema{
    {req("jobId", Kind::String), req("path", Kind::String), req("title", Kind::String)}};
const Schema entrySchema{{
    req("url", Kind::String),
    req("title", Kind::String),
    req("thumbnail", Kind::String),
    req("playlist", Kind::String),
    req("channel", Kind::String),
    req("duration", Kind::Double),
    req("section", Kind::String),
}};
const Schema sectionSchema{{req("name", Kind::String), req("source", Kind::String), req("count", Kind::Int)}};
const Schema noteSchema{{
    req("input", Kind::String),
    req("reason", Kind::String),
    opt("count", Kind::Int),
    opt("shown", Kind::Int),
}};
const Schema listingSchema{{
    req("title", Kind::String),
    req("entries", Kind::RecordList, &entrySchema),
    req("sections", Kind::RecordList, &sectionSchema),
    req("notes", Kind::RecordList, &noteSchema),
}};
const Schema resolutionSchema{{
    req("singles", Kind::RecordList, &entrySchema),
    req("listings", Kind::RecordList, &listingSchema),
    req("notes", Kind::RecordList, &noteSchema),
    req("pageSize", Kind::Int),
}};
const Schema listingPageSchema{
    {req("entries", Kind::RecordList, &entrySchema), req("exhausted", Kind::Bool)}};
const Schema storedRowSchema{{
    req("url", Kind::String),
    req("title", Kind::String),
    req("quality", Kind::String),
    req("container", Kind::String),
    req("audio_only", Kind::Bool),
    req("thumb_url", Kind::String),
    req("playlist", Kind::String),
    req("channel", Kind::String),
    req("status", Kind::String),
    opt("id", Kind::String),
    opt("subtitleMode", Kind::String),
    opt("videoCodec", Kind::String),
    opt("saveThumbnail", Kind::Bool),
    opt("embedCover", Kind::Bool),
}};
const Schema storedQueueSchema{{req("items", Kind::RecordList, &storedRowSchema)}};

const Schema libraryItemSchema{{
    req("path", Kind::String),
    req("title", Kind::String),
    req("url", Kind::String),
    req("kind", Kind::String),
    req("addedAt", Kind::Double),
    req("sizeBytes", Kind::Int),
    req("thumbURL", Kind::String),
    req("thumbPath", Kind::String),
    req("channel", Kind::String),
    req("playlist", Kind::String),
    req("exists", Kind::Bool),
}};
const Schema libraryPageSchema{{
    req("items", Kind::RecordList, &libraryItemSchema),
    req("total", Kind::Int),
    req("offset", Kind::Int),
    req("hasMore", Kind::Bool),
    opt("cursor", Kind::String),
}};
const Schema hitSchema{{
    req("mediaPath", Kind::String),
    req("title", Kind::String),
    req("language", Kind::String),
    req("startMs", Kind::Int),
    req("endMs", Kind::Int),
    req("excerpt", Kind::String),
    req("jsonPath", Kind::String),
    req("exists", Kind::Bool),
}};
const Schema searchResultsSchema{{req("query", Kind::String), req("hits", Kind::RecordList, &hitSchema)}};
const Schema searchStatusSchema{{
    req("documents", Kind::Int),
    req("segments", Kind::Int),
    req("sizeBytes", Kind::Int),
    req("transcribed", Kind::StringList),
}};
const Schema reindexSchema{
    {req("documents", Kind::Int), req("segments", Kind::Int), req("scanned", Kind::Int)}};
const Schema modelSchema{{
    req("key", Kind::String),
    req("filename", Kind::String),
    req("downloadBytes", Kind::Int),
    req("peakMemoryBytes", Kind::Int),
    req("installed", Kind::Bool),
    opt("runnable", Kind::Bool),
    opt("unavailableReason", Kind::String),
    opt("builtIn", Kind::Bool),
}};
const Schema modelsInfoSchema{{
    req("models", Kind::RecordList, &modelSchema),
    req("default", Kind::String),
    req("supported", Kind::Bool),
    req("helperAvailable", Kind::Bool),
    req("appleSilicon", Kind::Bool),
    req("gpu", Kind::Bool),
    req("speedFactor", Kind::Double),
    req("diskUsage", Kind::IntMap),
}};
const Schema modelOfferSchema{{
    req("key", Kind::String),
    req("installed", Kind::Bool),
    req("host", Kind::String),
    req("downloadBytes", Kind::Int),
    req("diskBytes", Kind::Int),
}};
const Schema transcribeSchema{{
    req("jobId", Kind::String),
    req("path", Kind::String),
    req("srt", Kind::String),
    req("txt", Kind::String),
    req("language", Kind::String),
    req("segments", Kind::Int),
}};
const Schema clipSuggestionSchema{
    {req("path", Kind::String), req("name", Kind::String), req("directory", Kind::String)}};
const Schema clipResultSchema{{
    req("jobId", Kind::String),
    req("path", Kind::String),
    req("name", Kind::String),
    req("sizeBytes", Kind::Int),
}};

const Schema queueSavedSchema{{req("saved", Kind::Int)}};
const Schema thumbnailSchema{{req("path", Kind::String)}};
const Schema runtimeSchema{{req("name", Kind::String)}};
const Schema jsRuntimeSchema{{opt("runtime", Kind::Record, &runtimeSchema)}};
const Schema reportSchema{{req("sent", Kind::Bool), opt("savedTo", Kind::String)}};

// --- fixtures and expected values ----------------------------------------------------------------------

const ResolvedEntry entryA{
    "https://v.example/a", "Alpha", "https://i.example/a.jpg", "", "Chan A", 61.5, "Videos"};
const ResolvedEntry entryB{"https://v.example/b", "Beta", "", "List B", "", 0, "Shorts"};
const char* entryAJson =
    R"({"url":"https://v.example/a","title":"Alpha","thumbnail":"https://i.example/a.jpg",
    "playlist":"","channel":"Chan A","duration":61.5,"section":"Videos"})";
const char* entryBJson = R"({"url":"https://v.example/b","title":"Beta","thumbnail":"","playlist":"List B",
    "channel":"","duration":0,"section":"Shorts"})";

QJsonObject withArrays(const char* base, std::initializer_list<std::pair<const char*, QJsonArray>> arrays) {
    QJsonObject o = parseObject(base);
    for (const auto& [key, a] : arrays)
        o.insert(QLatin1String(key), a);
    return o;
}

std::vector<RecordCase> cases() {
    std::vector<RecordCase> out;

    out.push_back({"EngineHello", &helloSchema, parseObject(R"({
        "engineVersion":"2.3.1","enginePath":"/opt/engine/server.py","python":"/usr/bin/python3",
        "methods":["hello","analyze"],
        "capabilities":{"qualities":["1080p","720p"],"containers":["MP4","MKV"],"videoCodecs":["Auto","H.264"],
            "cookieSources":["None","Built-in Browser"],"allQualities":["8K","4K"],"allContainers":["MP4","WEBM"],
            "allVideoCodecs":["Auto","AV1"]},
        "ffmpegDir":"/usr/bin","mediaExtensions":[".mp4",".mkv"],"downloadWorkers":3,
        "setAside":[{"file":"/s/queue.json","savedAs":"/s/queue.json.corrupt-1"},
            {"file":"/s/library.sqlite3","savedAs":"/s/library.sqlite3.corrupt-2"}]})"),
                   equalTo(EngineHello{
                       "2.3.1",
                       "/opt/engine/server.py",
                       "/usr/bin/python3",
                       {"hello", "analyze"},
                       EngineHello::Capabilities{{"1080p", "720p"},
                                                 {"MP4", "MKV"},
                                                 {"Auto", "H.264"},
                                                 {"None", "Built-in Browser"},
                                                 {"8K", "4K"},
                                                 {"MP4", "WEBM"},
                                                 {"Auto", "AV1"}},
                       "/usr/bin",
                       {".mp4", ".mkv"},
                       3,
                       std::vector<SetAsideFile>{{"/s/queue.json", "/s/queue.json.corrupt-1"},
                                                 {"/s/library.sqlite3", "/s/library.sqlite3.corrupt-2"}}})});

    out.push_back({"EngineSettings", &settingsSchema, parseObject(R"({
        "outputDir":"/home/u/Videos","outputDirIsDefault":true,"quality":"720p","container":"MKV","audioOnly":true,
        "saveThumbnail":false,"embedCover":true,"videoCodec":"H.264","cookieSource":"Built-in Browser",
        "cookiesFile":"","speedMode":"fast","language":"fr","transcriptionEnabled":true,"transcriptionModel":"",
        "transcriptDir":"/home/u/Transcripts","transcriptionLanguage":"auto","transcribeOverSubtitles":false,
        "appearance":"dark","forceGeneric":true,"downloadOptionsExpanded":false,"askWhereToSave":true,
        "searchEngine":"Quack","searchURL":"https://s.example/?q=","searchEngines":["Quack","Other"],
        "speedModes":["normal","fast"],"languages":["en","fr"],"appearances":["auto","light","dark"]})"),
                   equalTo(EngineSettings{"/home/u/Videos",
                                          true,
                                          "720p",
                                          "MKV",
                                          true,
                                          false,
                                          true,
                                          "H.264",
                                          "Built-in Browser",
                                          "",
                                          "fast",
                                          "fr",
                                          true,
                                          "",
                                          "/home/u/Transcripts",
                                          "auto",
                                          false,
                                          "dark",
                                          true,
                                          false,
                                          true,
                                          "Quack",
                                          "https://s.example/?q=",
                                          {"Quack", "Other"},
                                          {"normal", "fast"},
                                          {"en", "fr"},
                                          {"auto", "light", "dark"}})});

    out.push_back({"AllowedOptions", &allowedSchema, parseObject(R"({
        "container":"WEBM","qualities":["720p","480p"],"allQualities":["1080p","720p","480p"],
        "containers":["WEBM","MKV"],"allContainers":["MP4","WEBM","MKV"],"videoCodecs":["VP9","AV1"],
        "allVideoCodecs":["Auto","VP9","AV1"],"subtitleModes":["off","file"],"allSubtitleModes":["off","file","embed"],
        "cookieSources":["None","Built-in Browser"],"allCookieSources":["None","Built-in Browser","Fox"]})"),
                   equalTo(AllowedOptions{"WEBM",
                                          {"720p", "480p"},
                                          {"1080p", "720p", "480p"},
                                          {"WEBM", "MKV"},
                                          {"MP4", "WEBM", "MKV"},
                                          {"VP9", "AV1"},
                                          {"Auto", "VP9", "AV1"},
                                          {"off", "file"},
                                          {"off", "file", "embed"},
                                          {"None", "Built-in Browser"},
                                          {"None", "Built-in Browser", "Fox"}})});

    out.push_back(
        {"UpdateInfo", &updateSchema,
         parseObject(R"({"available":true,"version":"1.4","url":"https://x.example/dl","current":"1.3"})"),
         equalTo(UpdateInfo{true, "1.4", "https://x.example/dl", "1.3"})});

    out.push_back(
        {"Favourites", &favouritesSchema,
         parseObject(
             R"({"items":[{"url":"https://a.example/","title":"A"},{"url":"https://b.example/","title":""}]})"),
         equalTo(Favourites{{{"https://a.example/", "A"}, {"https://b.example/", ""}}})});

    out.push_back({"Analysis", &analysisSchema, parseObject(R"({
        "url":"https://v.example/watch?v=1","availableQualities":["1080p","720p"],"probed":true,"sourceLabel":"Site",
        "isListing":false,"listingKind":"","title":"  A title ","channel":"Chan","playlist":"PL","duration":12.25,
        "thumbnail":"https://i.example/1.jpg","webpageUrl":"https://v.example/p","extractor":"generic",
        "subtitleLanguages":["en","de"],"autoSubtitleLanguages":["fr","es"]})"),
                   equalTo(Analysis{"https://v.example/watch?v=1",
                                    {"1080p", "720p"},
                                    true,
                                    "Site",
                                    false,
                                    "",
                                    "  A title ",
                                    "Chan",
                                    "PL",
                                    12.25,
                                    "https://i.example/1.jpg",
                                    "https://v.example/p",
                                    "generic",
                                    QStringList{"en", "de"},
                                    QStringList{"fr", "es"}})});

    out.push_back({"DownloadResult", &downloadResultSchema,
                   parseObject(R"({"jobId":"J-1","path":"/d/a.mp4","title":"Final"})"),
                   equalTo(DownloadResult{"J-1", "/d/a.mp4", "Final"})});

    const char* listingJson =
        R"({"title":"My list","sections":[{"name":"Videos","source":"https://v.example/l/v","count":40},
        {"name":"Shorts","source":"https://v.example/l/s","count":0}],
        "notes":[{"input":"x","reason":"other"},
                 {"input":"My list","reason":"listing-truncated","count":40,"shown":25}]})";
    QJsonObject listing =
        withArrays(listingJson, {{"entries", QJsonArray{parseObject(entryAJson), parseObject(entryBJson)}}});
    const ResolvedListing expectedListing{
        "My list",
        {entryA, entryB},
        {{"Videos", "https://v.example/l/v", 40}, {"Shorts", "https://v.example/l/s", 0}},
        {{"x", "other", std::nullopt, std::nullopt}, {"My list", "listing-truncated", 40, 25}}};
    // A smaller listing first, with empty lists; the mutations work on the last element of each list.
    QJsonObject small = withArrays(R"({"title":"Small","sections":[],"notes":[]})",
                                   {{"entries", QJsonArray{parseObject(entryAJson)}}});
    QJsonObject resolution = withArrays(
        R"({"pageSize":50})",
        {{"singles", QJsonArray{parseObject(entryBJson), parseObject(entryAJson)}},
         {"listings", QJsonArray{small, listing}},
         {"notes",
          QJsonArray{parseObject(R"({"input":"hello","reason":"not-a-url","count":null})"),
                     parseObject(R"({"input":"r/x","reason":"subreddit-expanded","count":7,"shown":3})")}}});
    out.push_back({"QueueResolution", &resolutionSchema, resolution,
                   equalTo(QueueResolution{{entryB, entryA},
                                           {{"Small", {entryA}, {}, {}}, expectedListing},
                                           {{"hello", "not-a-url", std::nullopt, std::nullopt},
                                            {"r/x", "subreddit-expanded", 7, 3}},
                                           50})});

    out.push_back({"ListingPage", &listingPageSchema,
                   withArrays(R"({"exhausted":true})",
                              {{"entries", QJsonArray{parseObject(entryAJson), parseObject(entryBJson)}}}),
                   equalTo(ListingPage{{entryA, entryB}, true})});

    out.push_back({"StoredQueue", &storedQueueSchema, parseObject(R"({"items":[
        {"url":"https://v.example/1","title":"One","quality":"720p","container":"MP4","audio_only":false,
         "thumb_url":"https://i.example/1","playlist":"","channel":"C","status":"waiting"},
        {"url":"https://v.example/2","title":"Two","quality":"audio","container":"M4A","audio_only":true,
         "thumb_url":"","playlist":"P","channel":"","status":"paused","id":"0A1B-2C","subtitleMode":"embed",
         "videoCodec":"VP9","saveThumbnail":true,"embedCover":false}]})"),
                   equalTo(StoredQueue{{{"https://v.example/1", "One", "720p", "MP4", false,
                                         "https://i.example/1", "", "C", "waiting"},
                                        {"https://v.example/2", "Two", "audio", "M4A", true, "", "P", "",
                                         "paused", "0A1B-2C", "embed", "VP9", true, false}}})});

    out.push_back({"LibraryPage", &libraryPageSchema, parseObject(R"({"items":[
        {"path":"/l/a.mp4","title":"A","url":"https://v.example/a","kind":"video","addedAt":1700000000.5,
         "sizeBytes":9007199254740993,"thumbURL":"https://i.example/a","thumbPath":"/l/a.jpg","channel":"C",
         "playlist":"P","exists":true},
        {"path":"/l/b.jpg","title":"B","url":"","kind":"thumbnail","addedAt":0,"sizeBytes":0,"thumbURL":"",
         "thumbPath":"","channel":"","playlist":"","exists":false}],
        "total":250,"offset":120,"hasMore":true,"cursor":"[1700000000.5, \"/l/a.mp4\"]"})"),
                   equalTo(LibraryPage{
                       {{"/l/a.mp4", "A", "https://v.example/a", "video", 1700000000.5,
                         Q_INT64_C(9007199254740993), "https://i.example/a", "/l/a.jpg", "C", "P", true},
                        {"/l/b.jpg", "B", "", "thumbnail", 0, 0, "", "", "", "", false}},
                       250,
                       120,
                       true,
                       QStringLiteral("[1700000000.5, \"/l/a.mp4\"]")})});

    out.push_back({"SearchResults", &searchResultsSchema, parseObject(R"({"query":"cat","hits":[
        {"mediaPath":"/a/b.mp4","title":"B","language":"en","startMs":1500,"endMs":4200,"excerpt":"a cat",
         "jsonPath":"/t/b.json","exists":true},
        {"mediaPath":"/a/c.mp4","title":"C","language":"fr","startMs":0,"endMs":10,"excerpt":"un chat",
         "jsonPath":"/t/c.json","exists":false}]})"),
                   equalTo(SearchResults{"cat",
                                         {{"/a/b.mp4", "B", "en", 1500, 4200, "a cat", "/t/b.json", true},
                                          {"/a/c.mp4", "C", "fr", 0, 10, "un chat", "/t/c.json", false}}})});

    out.push_back(
        {"SearchStatus", &searchStatusSchema,
         parseObject(
             R"({"documents":3,"segments":412,"sizeBytes":65536,"transcribed":["/a/b.mp4","/a/c.mp4"]})"),
         equalTo(SearchStatus{3, 412, 65536, {"/a/b.mp4", "/a/c.mp4"}})});

    out.push_back({"ReindexResult", &reindexSchema,
                   parseObject(R"({"documents":4,"segments":500,"scanned":6})"),
                   equalTo(ReindexResult{4, 500, 6})});

    out.push_back({"ModelsInfo", &modelsInfoSchema, parseObject(R"({"models":[
        {"key":"tiny","filename":"ggml-tiny.bin","downloadBytes":77691713,"peakMemoryBytes":273000000,"installed":true,
         "runnable":false,"unavailableReason":"no whisper-cli","builtIn":true},
        {"key":"base","filename":"ggml-base.bin","downloadBytes":147951465,"peakMemoryBytes":388000000,"installed":false,
         "runnable":false,"unavailableReason":"needs more memory","builtIn":true}],
        "default":"base","supported":true,"helperAvailable":false,"appleSilicon":false,"gpu":true,"speedFactor":0,
        "diskUsage":{"tiny":77691713,"base":0}})"),
                   equalTo(ModelsInfo{{{"tiny", "ggml-tiny.bin", 77691713, 273000000, true, false,
                                        QString("no whisper-cli"), true},
                                       {"base", "ggml-base.bin", 147951465, 388000000, false, false,
                                        QString("needs more memory"), true}},
                                      "base",
                                      true,
                                      false,
                                      false,
                                      true,
                                      0,
                                      {{"tiny", 77691713}, {"base", 0}}})});

    out.push_back(
        {"ModelOffer", &modelOfferSchema,
         parseObject(
             R"({"key":"small","installed":false,"host":"","downloadBytes":487601967,"diskBytes":12})"),
         equalTo(ModelOffer{"small", false, "", 487601967, 12})});

    out.push_back(
        {"TranscribeResult", &transcribeSchema,
         parseObject(
             R"({"jobId":"T-1","path":"/m/a.mp4","srt":"/t/a.srt","txt":"/t/a.txt","language":"en","segments":42})"),
         equalTo(TranscribeResult{"T-1", "/m/a.mp4", "/t/a.srt", "/t/a.txt", "en", 42})});

    out.push_back({"ClipSuggestion", &clipSuggestionSchema,
                   parseObject(R"({"path":"/m/a clip.mp4","name":"a clip.mp4","directory":"/m"})"),
                   equalTo(ClipSuggestion{"/m/a clip.mp4", "a clip.mp4", "/m"})});

    out.push_back(
        {"ClipResult", &clipResultSchema,
         parseObject(R"({"jobId":"C-1","path":"/m/a clip.mp4","name":"a clip.mp4","sizeBytes":1048576})"),
         equalTo(ClipResult{"C-1", "/m/a clip.mp4", "a clip.mp4", 1048576})});

    // The small replies that belong to one method each.
    using namespace EngineMethods;
    out.push_back(
        {"queue.save reply", &queueSavedSchema, parseObject(R"({"saved":4})"), equalTo(QueueSave::Reply{4})});
    out.push_back({"thumbnail.resolve reply", &thumbnailSchema, parseObject(R"({"path":"/c/t.jpg"})"),
                   equalTo(ThumbnailResolve::Reply{"/c/t.jpg"})});
    out.push_back({"js.runtime reply", &jsRuntimeSchema, parseObject(R"({"runtime":{"name":"python3"}})"),
                   equalTo(JsRuntime::Reply{JsRuntime::Reply::Runtime{"python3"}})});
    out.push_back({"report.send reply", &reportSchema,
                   parseObject(R"({"sent":false,"savedTo":"/s/reports/r.json"})"),
                   equalTo(ReportSend::Reply{false, QString("/s/reports/r.json")})});
    return out;
}

const std::vector<RecordCase>& allCases() {
    static const std::vector<RecordCase> all = cases();
    return all;
}

const RecordCase& caseOf(QStringView name) {
    for (const RecordCase& c : allCases())
        if (name == QLatin1String(c.name))
            return c;
    qFatal("no record case %s", qPrintable(name.toString()));
}

} // namespace

class TestRecordsDecode : public QObject {
    Q_OBJECT
private slots:
    void fullFixtureDecodesFieldByField_data() {
        QTest::addColumn<int>("index");
        for (int i = 0; i < int(allCases().size()); ++i)
            QTest::newRow(allCases()[i].name) << i;
    }
    void fullFixtureDecodesFieldByField() {
        QFETCH(int, index);
        const RecordCase& c = allCases()[index];
        QCOMPARE(coverageGap(*c.schema, c.fixture), QString());
        try {
            QVERIFY(c.matches(c.fixture));
        } catch (const DecodeError& e) {
            QFAIL(qPrintable(e.text()));
        }
    }

    void unknownKeysAreIgnoredAtEveryLevel_data() { fullFixtureDecodesFieldByField_data(); }
    void unknownKeysAreIgnoredAtEveryLevel() {
        QFETCH(int, index);
        const RecordCase& c = allCases()[index];
        const QJsonObject noisy = withUnknownKeys(*c.schema, c.fixture);
        QVERIFY(noisy != c.fixture);
        QVERIFY(c.matches(noisy));
    }

    void mutationsFailWithTheKeyPath_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<QJsonObject>("document");
        QTest::addColumn<bool>("decodes");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("problem");
        for (int i = 0; i < int(allCases().size()); ++i) {
            const RecordCase& c = allCases()[i];
            for (const Mutation& m : mutations(*c.schema, c.fixture))
                QTest::addRow("%s: %s", c.name, qPrintable(m.label))
                    << i << m.document << m.decodes << m.path << m.problem;
        }
    }
    void mutationsFailWithTheKeyPath() {
        QFETCH(int, index);
        QFETCH(QJsonObject, document);
        QFETCH(bool, decodes);
        QFETCH(QString, path);
        QFETCH(QString, problem);
        const RecordCase& c = allCases()[index];
        try {
            const bool same = c.matches(document);
            QVERIFY2(decodes, "decoded a broken record");
            // An optional field that was dropped or nulled must show as absent, not as the fixture's value.
            QVERIFY(!same);
        } catch (const DecodeError& e) {
            QVERIFY2(!decodes, qPrintable(e.text()));
            QCOMPARE(e.path(), path);
            QCOMPARE(e.problem(), problem);
        }
    }

    void nonObjectRepliesFail() {
        for (const RecordCase& c : allCases()) {
            for (const QJsonValue& v :
                 {QJsonValue(), QJsonValue(QJsonArray{}), QJsonValue(3), QJsonValue("x")}) {
                QVERIFY_THROWS_EXCEPTION(DecodeError, c.matches(v));
            }
        }
    }

    // A few spelled-out cases the generated table covers only implicitly.
    void namedEdgeCases_data() {
        QTest::addColumn<QString>("record");
        QTest::addColumn<QJsonObject>("document");
        QTest::addColumn<QString>("error");
        QJsonObject settings = caseOf(u"EngineSettings").fixture;
        settings.remove("appearances");
        QTest::newRow("settings without appearances")
            << "EngineSettings" << settings << "appearances: missing";
        QJsonObject row = caseOf(u"StoredQueue").fixture;
        QJsonArray items = row.value("items").toArray();
        QJsonObject camel = items[0].toObject();
        camel.insert("audioOnly", camel.take("audio_only"));
        items[0] = camel;
        row.insert("items", items);
        QTest::newRow("stored row in camel case") << "StoredQueue" << row << "items[0].audio_only: missing";
        QJsonObject resolution = parseObject(R"({"pageSize":5,"listings":[],"notes":[]})");
        QJsonArray singles{parseObject(entryAJson), parseObject(entryBJson), parseObject(entryAJson)};
        QJsonObject third = singles[2].toObject();
        third.remove("duration");
        singles[2] = third;
        resolution.insert("singles", singles);
        QTest::newRow("third single lacks duration")
            << "QueueResolution" << resolution << "singles[2].duration: missing";
        QJsonObject hello = caseOf(u"EngineHello").fixture;
        QJsonObject caps = hello.value("capabilities").toObject();
        caps.remove("allVideoCodecs");
        hello.insert("capabilities", caps);
        QTest::newRow("capabilities without a list")
            << "EngineHello" << hello << "capabilities.allVideoCodecs: missing";
    }
    void namedEdgeCases() {
        QFETCH(QString, record);
        QFETCH(QJsonObject, document);
        QFETCH(QString, error);
        try {
            caseOf(record).matches(document);
            QFAIL("decoded");
        } catch (const DecodeError& e) {
            QCOMPARE(e.text(), error);
        }
    }

    void emptyValuesAreOrdinaryValues() {
        // Empty strings and lists are values, not absences.
        QJsonObject hello = caseOf(u"EngineHello").fixture;
        hello.insert("mediaExtensions", QJsonArray{});
        QVERIFY(decodeJson<EngineHello>(hello).mediaExtensions.isEmpty());
        const auto settings = decodeJson<EngineSettings>(caseOf(u"EngineSettings").fixture);
        QCOMPARE(settings.cookiesFile, QString(""));
        QCOMPARE(settings.transcriptionModel, QString(""));
        QJsonObject models = caseOf(u"ModelsInfo").fixture;
        models.insert("diskUsage", QJsonObject{});
        QVERIFY(decodeJson<ModelsInfo>(models).diskUsage.isEmpty());
    }

    void noScriptRuntime() {
        using Reply = EngineMethods::JsRuntime::Reply;
        QVERIFY(!decodeJson<Reply>(parseObject("{}")).runtime);
        QVERIFY(!decodeJson<Reply>(parseObject(R"({"runtime":null})")).runtime);
        QVERIFY_THROWS_EXCEPTION(DecodeError, decodeJson<Reply>(parseObject(R"({"runtime":{}})")));
    }

    void helloSetAsideIsOptional() {
        QJsonObject hello = caseOf(u"EngineHello").fixture;
        hello.remove("setAside");
        QVERIFY(!decodeJson<EngineHello>(hello).setAside);
        hello.insert("setAside", QJsonArray{});
        QCOMPARE(decodeJson<EngineHello>(hello).setAside, std::optional(std::vector<SetAsideFile>{}));
        hello.insert("setAside", QJsonArray{QJsonObject{{"file", "/s/a.json"}}});
        try {
            decodeJson<EngineHello>(hello);
            QFAIL("decoded");
        } catch (const DecodeError& e) {
            QCOMPARE(e.text(), QString("setAside[0].savedAs: missing"));
        }
    }

    void analysisOptionalsAbsent() {
        const auto a = decodeJson<Analysis>(parseObject(
            R"({"url":"u","availableQualities":[],"probed":false,"isListing":true,"listingKind":"playlist"})"));
        QVERIFY(!a.title && !a.sourceLabel && !a.channel && !a.playlist && !a.duration && !a.thumbnail &&
                !a.webpageUrl && !a.extractor && !a.subtitleLanguages && !a.autoSubtitleLanguages);
        QCOMPARE(a.listingKind, QString("playlist"));
    }
};

QTEST_GUILESS_MAIN(TestRecordsDecode)
#include "tst_records_decode.moc"
