// The transcribe-after-download switch of the format controls: usable only when the state can transcribe,
// its tooltip naming an unsupported machine only once the engine said so, and its value always the
// settings' own, re-read after each click.
#include "SpeechModels.h"
#include "ViewHelpers.h"

#include "download/FormatControls.h"
#include "kit/Switch.h"

#include <QGraphicsOpacityEffect>

namespace {

QJsonObject models(bool supported, bool helper) {
    return QJsonObject{
        {QStringLiteral("models"), QJsonArray()}, {QStringLiteral("default"), QStringLiteral("base")},
        {QStringLiteral("supported"), supported}, {QStringLiteral("helperAvailable"), helper},
        {QStringLiteral("appleSilicon"), false},  {QStringLiteral("gpu"), false},
        {QStringLiteral("speedFactor"), 1.0},     {QStringLiteral("diskUsage"), QJsonObject()}};
}

double opacityOf(QWidget* w) {
    auto* effect = qobject_cast<QGraphicsOpacityEffect*>(w->graphicsEffect());
    return effect ? effect->opacity() : 1.0;
}

} // namespace

class TestTranscribeSwitch : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void availability_data();
    void availability();
    void clickSavesAndShowsTheSetting();
};

void TestTranscribeSwitch::availability_data() {
    QTest::addColumn<QString>("answer"); // "error" or "supported,helper"
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("help");
    QTest::newRow("no models information") << "error" << false << "transcribe_help";
    QTest::newRow("unsupported machine") << "0,1" << false << "transcribe_intel_pending";
    QTest::newRow("supported, no helper") << "1,0" << false << "transcribe_help";
    QTest::newRow("supported with helper") << "1,1" << true << "transcribe_help";
}

void TestTranscribeSwitch::availability() {
    QFETCH(QString, answer);
    QFETCH(bool, enabled);
    QFETCH(QString, help);
    ViewFixture f;
    f.startEngine();
    if (answer == QLatin1String("error"))
        f.script(QStringLiteral("models.list"),
                 QJsonObject{{QStringLiteral("error"),
                              QJsonObject{{QStringLiteral("code"), 1},
                                          {QStringLiteral("message"), QStringLiteral("no")}}}},
                 0);
    else
        f.script(QStringLiteral("models.list"),
                 QJsonObject{{QStringLiteral("result"), models(answer[0] == u'1', answer[2] == u'1')}}, 0);
    f.boot();
    FormatControls controls(f.model.get());
    QVERIFY(showAt(&controls, QSize(760, 200)));
    QCOMPARE(f.model->modelsPart().canTranscribe(), enabled);
    QCheckBox* sw = controls.toggle(FormatControls::Transcribe);
    QCOMPARE(sw->isEnabled(), enabled);
    QCOMPARE(sw->toolTip(), Strings::text(help));
    QCOMPARE(controls.label(FormatControls::Transcribe)->toolTip(), Strings::text(help));
    QCOMPARE(opacityOf(controls.label(FormatControls::Transcribe)), enabled ? 1.0 : 0.4);
}

void TestTranscribeSwitch::clickSavesAndShowsTheSetting() {
    ViewFixture f;
    f.startEngine();
    f.script(QStringLiteral("models.list"), QJsonObject{{QStringLiteral("result"), models(true, true)}}, 0);
    f.boot();
    QVERIFY(f.model->modelsPart().canTranscribe());
    FormatControls controls(f.model.get());
    QVERIFY(showAt(&controls, QSize(760, 200)));
    QCheckBox* sw = controls.toggle(FormatControls::Transcribe);
    const bool before = f.model->sessionPart().settings()->transcriptionEnabled;
    QCOMPARE(sw->isChecked(), before);
    const int saves = f.requestsOf(QStringLiteral("settings.set")).size();
    QTest::mouseClick(sw, Qt::LeftButton, {}, QPoint(10, sw->height() / 2));
    // Until the engine answers, the switch shows what the settings hold, not the click.
    QCOMPARE(sw->isChecked(), before);
    QVERIFY(f.waitForRequests(QStringLiteral("settings.set"), saves + 1));
    const QJsonObject values =
        f.requestsOf(QStringLiteral("settings.set")).last().params.value(QStringLiteral("values")).toObject();
    QCOMPARE(values.value(QStringLiteral("transcriptionEnabled")).toBool(), !before);
    QVERIFY(
        QTest::qWaitFor([&] { return f.model->sessionPart().settings()->transcriptionEnabled == !before; }));
    QCOMPARE(sw->isChecked(), !before);
    // No format refresh comes of it: the switch is a setting of its own.
    QCOMPARE(values.contains(QStringLiteral("container")), false);
}

QTEST_MAIN(TestTranscribeSwitch)
#include "Session.h"
#include "tst_transcribeswitch.moc"
