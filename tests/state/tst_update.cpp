// The update check (silent when automatic) and the problem report (the last 200 log lines).
#include "StateFixture.h"

#include "Strings.h"

namespace {
QJsonObject offer(bool available) {
    return {{"result", QJsonObject{{"available", available},
                                   {"version", available ? "10.0" : "9.9.9"},
                                   {"url", "http://127.0.0.1:9/get"},
                                   {"current", "9.9.9"}}}};
}
QJsonObject failure() {
    return {{"error", QJsonObject{{"code", 12}, {"message", "offline"}}}};
}
QJsonObject incomplete() {
    return {{"result", QJsonObject{{"available", true}, {"version", "10.0"}, {"current", "9.9.9"}}}};
}
} // namespace

class TestUpdate : public QObject {
    Q_OBJECT
private slots:
    void init() { Strings::reset(); }

    void check_data() {
        QTest::addColumn<bool>("manual");
        QTest::addColumn<QJsonObject>("answer");
        QTest::addColumn<bool>("offered");
        QTest::addColumn<bool>("upToDate");
        QTest::addColumn<bool>("reported");
        QTest::newRow("automatic, newer") << false << offer(true) << true << false << false;
        QTest::newRow("automatic, nothing newer") << false << offer(false) << false << false << false;
        QTest::newRow("automatic, failed") << false << failure() << false << false << false;
        QTest::newRow("automatic, key missing") << false << incomplete() << false << false << false;
        QTest::newRow("manual, newer") << true << offer(true) << true << false << false;
        QTest::newRow("manual, nothing newer") << true << offer(false) << false << true << false;
        QTest::newRow("manual, failed") << true << failure() << false << false << true;
        QTest::newRow("manual, key missing") << true << incomplete() << false << false << true;
    }
    void check() {
        QFETCH(bool, manual);
        QFETCH(QJsonObject, answer);
        QFETCH(bool, offered);
        QFETCH(bool, upToDate);
        QFETCH(bool, reported);
        StateFixture f;
        f.startEngine();
        f.script("update.check", offer(false)); // the start's own check
        f.boot();
        QVERIFY(!f.model->sessionPart().update());
        f.script("update.check", answer);
        QCoro::waitFor(f.model->sessionPart().checkForUpdate(manual));
        QCOMPARE(bool(f.model->sessionPart().update()), offered);
        if (offered) {
            QCOMPARE(f.model->sessionPart().update()->version, QString("10.0"));
            QCOMPARE(f.model->sessionPart().update()->url, QString("http://127.0.0.1:9/get"));
        }
        QCOMPARE(f.model->sessionPart().upToDate(), upToDate);
        QCOMPARE(StateFixture::errorLines(f.model->sessionPart().log()).size(), reported ? 1 : 0);
        QCOMPARE(bool(f.model->sessionPart().lastError()), reported);
        QVERIFY(!f.requestsOf("update.check").last().hasParams);
    }

    // With no update source the engine checks nothing and says so: a manual check shows its words and
    // never "up to date"; an automatic one stays silent.
    void noUpdateSourceIsNeverUpToDate() {
        qunsetenv("VAMBER_UPDATE_URL");
        for (const bool manual : {false, true}) {
            StateFixture f;
            f.boot();
            const qsizetype errors = StateFixture::errorLines(f.model->sessionPart().log()).size();
            QCoro::waitFor(f.model->sessionPart().checkForUpdate(manual));
            QVERIFY(!f.model->sessionPart().upToDate());
            QVERIFY(!f.model->sessionPart().update());
            QCOMPARE(bool(f.model->sessionPart().lastError()), manual);
            if (manual) {
                QVERIFY2(
                    f.model->sessionPart().lastError()->message.contains("No update source is configured"),
                    qPrintable(f.model->sessionPart().lastError()->message));
            }
            QCOMPARE(StateFixture::errorLines(f.model->sessionPart().log()).size() - errors, manual ? 1 : 0);
        }
    }

    // A report the engine kept instead of sending says where; one that was sent leaves nothing to show.
    void unsentReportSavedTo() {
        StateFixture f;
        f.boot();
        f.script("report.send", {{"result", QJsonObject{{"sent", false}, {"savedTo", "/s/reports/r.json"}}}});
        QVERIFY(!QCoro::waitFor(f.model->sessionPart().sendReport("x", "")));
        QCOMPARE(f.model->sessionPart().reportSavedTo(), std::optional<QString>("/s/reports/r.json"));
        f.script("report.send", {{"result", QJsonObject{{"sent", true}}}});
        QVERIFY(QCoro::waitFor(f.model->sessionPart().sendReport("x", "")));
        QCOMPARE(f.model->sessionPart().reportSavedTo(), std::optional<QString>());
    }

    // A manual check that finds an update leaves an earlier "up to date" as it was.
    void anOfferLeavesUpToDateAlone() {
        StateFixture f;
        f.boot();
        f.model->sessionPart().setUpToDate(true);
        f.script("update.check", offer(true));
        QCoro::waitFor(f.model->sessionPart().checkForUpdate(true));
        QVERIFY(f.model->sessionPart().update());
        QVERIFY(f.model->sessionPart().upToDate());
    }

    void report_data() {
        QTest::addColumn<int>("lines");
        QTest::newRow("empty log") << 0;
        QTest::newRow("a few lines") << 3;
        QTest::newRow("250 lines") << 250;
    }
    void report() {
        QFETCH(int, lines);
        StateFixture f;
        f.boot();
        const qsizetype before = f.model->sessionPart().log().size();
        QCOMPARE(before, 0);
        for (int i = 1; i <= lines; ++i)
            f.model->sessionPart().appendLog(QString("line %1").arg(i));
        f.script("report.send", {{"result", QJsonObject{{"sent", true}}}});
        QVERIFY(QCoro::waitFor(f.model->sessionPart().sendReport("It broke\nbadly", "me@example.org")));
        const LoggedRequest sent = f.requestsOf("report.send").last();
        QStringList expected;
        for (int i = std::max(1, lines - 199); i <= lines; ++i)
            expected << QString("line %1").arg(i);
        QCOMPARE(sent.params, QJsonObject({{"what", "It broke\nbadly"},
                                           {"email", "me@example.org"},
                                           {"log", expected.join('\n')}}));
    }

    void aReportThatFailsIsShown() {
        StateFixture f;
        f.boot();
        f.script("report.send", failure());
        QVERIFY(!QCoro::waitFor(f.model->sessionPart().sendReport("x", "")));
        QCOMPARE(StateFixture::errorLines(f.model->sessionPart().log()), QStringList{"offline"});
        f.script("report.send", {{"result", QJsonObject{{"sent", false}}}});
        QVERIFY(!QCoro::waitFor(f.model->sessionPart().sendReport("x", "")));
        QCOMPARE(f.requestsOf("report.send").last().params["email"].toString(), QString(""));
    }
};

QTEST_GUILESS_MAIN(TestUpdate)
#include "tst_update.moc"
