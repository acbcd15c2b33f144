#include "JsonReader.h"

#include <QJsonDocument>
#include <QTest>

namespace {
struct Inner {
    QString name;
    qint64 size;
    static Inner fromJson(const JsonReader& r) { return {r.req<QString>("name"), r.req<qint64>("size")}; }
};
struct Outer {
    QString id;
    std::optional<double> eta;
    std::vector<Inner> items;
    QMap<QString, QString> params;
    static Outer fromJson(const JsonReader& r) {
        return {r.req<QString>("id"), r.opt<double>("eta"), r.req<std::vector<Inner>>("items"),
                r.req<QMap<QString, QString>>("params")};
    }
};

QJsonValue parse(const char* text) {
    return QJsonDocument::fromJson(text).object();
}
} // namespace

class TestJsonReader : public QObject {
    Q_OBJECT
private slots:
    void decodesAFullRecord() {
        const auto o = decodeJson<Outer>(parse(
            R"({"id":"A","eta":1.5,"items":[{"name":"x","size":9007199254740993}],"params":{"k":"v"},"x":1})"));
        QCOMPARE(o.id, QStringLiteral("A"));
        QCOMPARE(o.eta.value(), 1.5);
        QCOMPARE(o.items.size(), size_t(1));
        QCOMPARE(o.items[0].size, Q_INT64_C(9007199254740993));
        QCOMPARE(o.params.value("k"), QStringLiteral("v"));
    }
    void optionalAbsentOrNull() {
        QVERIFY(!decodeJson<Outer>(parse(R"({"id":"A","items":[],"params":{}})")).eta);
        QVERIFY(!decodeJson<Outer>(parse(R"({"id":"A","eta":null,"items":[],"params":{}})")).eta);
    }
    void failuresNameTheKeyPath_data() {
        QTest::addColumn<QString>("json");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing") << R"({"items":[],"params":{}})"
                                 << "id: missing";
        QTest::newRow("null") << R"({"id":null,"items":[],"params":{}})"
                              << "id: null";
        QTest::newRow("type") << R"({"id":3,"items":[],"params":{}})"
                              << "id: expected string, found number";
        QTest::newRow("nested") << R"({"id":"a","items":[{"name":"x","size":1},{"name":"y"}],"params":{}})"
                                << "items[1].size: missing";
        QTest::newRow("fraction") << R"({"id":"a","items":[{"name":"x","size":1.5}],"params":{}})"
                                  << "items[0].size: expected integer, found 1.5";
        QTest::newRow("huge") << R"({"id":"a","items":[{"name":"x","size":1e30}],"params":{}})"
                              << "items[0].size: integer out of range";
        QTest::newRow("map value") << R"({"id":"a","items":[],"params":{"k":2}})"
                                   << "params.k: expected string, found number";
        QTest::newRow("null element") << R"({"id":"a","items":[null],"params":{}})"
                                      << "items[0]: null";
        QTest::newRow("optional type") << R"({"id":"a","eta":"x","items":[],"params":{}})"
                                       << "eta: expected number, found string";
    }
    void failuresNameTheKeyPath() {
        QFETCH(QString, json);
        QFETCH(QString, message);
        try {
            decodeJson<Outer>(QJsonDocument::fromJson(json.toUtf8()).object());
            QFAIL("decoded");
        } catch (const DecodeError& e) {
            QCOMPARE(e.text(), message);
        }
    }
    // Paths are spelled out only on failure; these are the shapes the record tables do not reach.
    void failuresAtTheTopLevelNameTheirPlace_data() {
        QTest::addColumn<QString>("json");
        QTest::addColumn<QString>("message");
        QTest::newRow("element") << R"([{"name":"x","size":1},{"name":"y"}])"
                                 << "[1].size: missing";
        QTest::newRow("null element") << R"([{"name":"x","size":1},null])"
                                      << "[1]: null";
        QTest::newRow("element type") << R"([3])"
                                      << "[0]: expected object, found number";
        QTest::newRow("not a list") << R"({"name":"x"})"
                                    << "expected array, found object";
    }
    void failuresAtTheTopLevelNameTheirPlace() {
        QFETCH(QString, json);
        QFETCH(QString, message);
        try {
            const QJsonDocument doc = QJsonDocument::fromJson(json.toUtf8());
            decodeJson<std::vector<Inner>>(doc.isArray() ? QJsonValue(doc.array())
                                                         : QJsonValue(doc.object()));
            QFAIL("decoded");
        } catch (const DecodeError& e) {
            QCOMPARE(e.text(), message);
        }
    }
    void stringKeysReadLikeLiterals() {
        const JsonReader r(parse(R"({"größe":"a","n":2147483648})").toObject());
        QCOMPARE(r.req<QString>(QStringLiteral("größe")), QStringLiteral("a"));
        QVERIFY(!r.opt<QString>(QStringLiteral("none")));
        try {
            r.req<int>("n");
            QFAIL("decoded");
        } catch (const DecodeError& e) {
            QCOMPARE(e.text(), QStringLiteral("n: integer out of range"));
        }
    }
    void topLevelMustBeAnObject() {
        QVERIFY_THROWS_EXCEPTION(DecodeError, decodeJson<Outer>(QJsonValue(3)));
        QVERIFY_THROWS_EXCEPTION(DecodeError, decodeJson<Outer>(QJsonValue()));
    }
};

QTEST_GUILESS_MAIN(TestJsonReader)
#include "tst_jsonreader.moc"
