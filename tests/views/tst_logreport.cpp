// The log sheet and the problem-report sheet: the error box, the lines scrolled to the end on opening,
// clear and copy with their disabled states; the report's send rule, its preview of the last 40 lines,
// what is sent, its outcomes, the 1.2 s close of the sheet that sent only, and the hand-over between the
// two sheets through the root view, which never shows both.
#include "SettingsHelpers.h"

#include "Prompts.h"
#include "sheets/LogSheet.h"
#include "sheets/ReportSheet.h"
#include "shell/RootView.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTimer>

namespace {

QStringList numbered(int count) {
    QStringList lines;
    for (int i = 1; i <= count; ++i)
        lines << QStringLiteral("line %1").arg(i);
    return lines;
}

void fillLog(AppModel& model, const QStringList& lines) {
    for (const QString& line : lines)
        model.sessionPart().appendLog(line);
}

QPushButton* buttonIn(QWidget* w, const char* name) {
    return w->findChild<QPushButton*>(QString::fromLatin1(name));
}

Session::AppError error(const QString& message) {
    return Session::AppError{QUuid::createUuid(), message, QStringLiteral("a detail"),
                             QDateTime::currentDateTime()};
}

QDialog* visibleDialog(QWidget* root) {
    QDialog* found = nullptr;
    for (QDialog* d : root->findChildren<QDialog*>()) {
        if (d->isVisible()) {
            if (found)
                return nullptr; // two at once
            found = d;
        }
    }
    return found;
}

int visibleDialogs(QWidget* root) {
    int n = 0;
    for (QDialog* d : root->findChildren<QDialog*>())
        n += d->isVisible() ? 1 : 0;
    return n;
}

} // namespace

class TestLogReport : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { Strings::reset(); }

    void logShowsErrorAndLines_data();
    void logShowsErrorAndLines();
    void logOpensAtTheEnd();
    void clearRemovesLinesAndError();
    void copyPutsTheLinesOnTheClipboard();
    void escapeClosesTheLog();
    void sendRule_data();
    void sendRule();
    void previewShowsTheLast40Lines_data();
    void previewShowsTheLast40Lines();
    void sendCarriesTheLast200Lines();
    void outcomes_data();
    void outcomes();
    void closesOnlyTheSheetThatSent();
    void unsentReportSaysWhereItWasKept();
    void handOverNeverShowsBoth();
};

void TestLogReport::logShowsErrorAndLines_data() {
    QTest::addColumn<int>("lines");
    QTest::addColumn<bool>("withError");
    QTest::newRow("empty, no error") << 0 << false;
    QTest::newRow("empty, an error") << 0 << true;
    QTest::newRow("lines, no error") << 3 << false;
    QTest::newRow("lines and an error") << 3 << true;
}

void TestLogReport::logShowsErrorAndLines() {
    QFETCH(int, lines);
    QFETCH(bool, withError);
    ViewFixture f;
    f.boot();
    f.model->sessionPart().clearLog();
    fillLog(*f.model, numbered(lines));
    const QString message = QStringLiteral("The engine stopped while reading <b>the</b> queue, and a long "
                                           "message wraps onto as many lines as it needs without being cut.");
    if (withError)
        f.model->sessionPart().setLastError(error(message));
    LogSheet sheet(*f.model);
    sheet.open();
    QVERIFY(QTest::qWaitForWindowExposed(&sheet));
    QCOMPARE(sheet.errorBox()->isVisible(), withError);
    if (withError) {
        auto* shown = sheet.findChild<QLabel*>(QStringLiteral("errorMessage"));
        QCOMPARE(shown->text(), message);
        QCOMPARE(shown->textFormat(), Qt::PlainText);
        QVERIFY(!shown->text().contains(QStringLiteral("a detail")));
    }
    QCOMPARE(sheet.lines()->toPlainText(), numbered(lines).join(u'\n'));
    // Nothing to clear or copy without lines, even with an error shown.
    QCOMPARE(buttonIn(&sheet, "button_clear_log")->isEnabled(), lines > 0);
    QCOMPARE(buttonIn(&sheet, "menu_copy")->isEnabled(), lines > 0);
    // Lines logged while it is open appear at once, and enable the buttons.
    f.model->sessionPart().appendLog(QStringLiteral("late line"));
    QVERIFY(sheet.lines()->toPlainText().endsWith(QStringLiteral("late line")));
    QVERIFY(buttonIn(&sheet, "button_clear_log")->isEnabled());
}

void TestLogReport::logOpensAtTheEnd() {
    ViewFixture f;
    f.boot();
    fillLog(*f.model, numbered(300));
    LogSheet sheet(*f.model);
    sheet.open();
    QVERIFY(QTest::qWaitForWindowExposed(&sheet));
    QScrollBar* bar = sheet.lines()->verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    QTRY_COMPARE(bar->value(), bar->maximum());
    // The view does not follow later lines.
    bar->setValue(0);
    fillLog(*f.model, numbered(20));
    QCOMPARE(bar->value(), 0);
}

void TestLogReport::clearRemovesLinesAndError() {
    ViewFixture f;
    f.boot();
    fillLog(*f.model, numbered(5));
    f.model->sessionPart().setLastError(error(QStringLiteral("Broken.")));
    LogSheet sheet(*f.model);
    sheet.open();
    QVERIFY(QTest::qWaitForWindowExposed(&sheet));
    buttonIn(&sheet, "button_clear_log")->click();
    QVERIFY(f.model->sessionPart().log().isEmpty());
    QVERIFY(!f.model->sessionPart().lastError());
    QCOMPARE(sheet.lines()->toPlainText(), QString());
    QVERIFY(!sheet.errorBox()->isVisible());
    QVERIFY(!buttonIn(&sheet, "button_clear_log")->isEnabled());
    QVERIFY(!buttonIn(&sheet, "menu_copy")->isEnabled());
}

void TestLogReport::copyPutsTheLinesOnTheClipboard() {
    ViewFixture f;
    f.boot();
    f.model->sessionPart().clearLog();
    fillLog(*f.model, {QStringLiteral("a"), QStringLiteral("b")});
    QGuiApplication::clipboard()->setText(QStringLiteral("something older"));
    LogSheet sheet(*f.model);
    sheet.open();
    buttonIn(&sheet, "menu_copy")->click();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("a\nb"));
}

void TestLogReport::escapeClosesTheLog() {
    ViewFixture f;
    f.boot();
    LogSheet sheet(*f.model);
    QSignalSpy finished(&sheet, &QDialog::finished);
    sheet.open();
    QVERIFY(QTest::qWaitForWindowExposed(&sheet));
    QTest::keyClick(&sheet, Qt::Key_Escape);
    QCOMPARE(finished.size(), 1);
    QVERIFY(!sheet.isVisible());
}

void TestLogReport::sendRule_data() {
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("email");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("empty") << ""
                           << "" << false;
    QTest::newRow("spaces") << "   "
                            << "" << false;
    QTest::newRow("tabs and spaces") << "\t \t"
                                     << "ann@example.org" << false;
    QTest::newRow("no-break spaces") << QStringLiteral("\u00A0\u00A0") << "" << false;
    QTest::newRow("a line break") << "\n"
                                  << "" << true;
    QTest::newRow("line breaks between spaces") << " \n\n\t"
                                                << "" << true;
    QTest::newRow("words") << "It froze."
                           << "" << true;
    QTest::newRow("the e-mail plays no part") << ""
                                              << "ann@example.org" << false;
}

void TestLogReport::sendRule() {
    QFETCH(QString, what);
    QFETCH(QString, email);
    QFETCH(bool, enabled);
    ViewFixture f;
    f.boot();
    ReportSheet sheet(*f.model);
    sheet.open();
    QPushButton* send = buttonIn(&sheet, "button_send");
    QVERIFY(!send->isEnabled());
    sheet.findChild<QLineEdit*>(QStringLiteral("email"))->setText(email);
    QTest::keyClicks(sheet.findChild<QPlainTextEdit*>(QStringLiteral("description")), QString());
    sheet.findChild<QPlainTextEdit*>(QStringLiteral("description"))->setPlainText(what);
    QCOMPARE(send->isEnabled(), enabled);
    QCOMPARE(sheet.canSend(), enabled);
}

void TestLogReport::previewShowsTheLast40Lines_data() {
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("first"); // the first line shown, 0: none
    QTest::newRow("empty") << 0 << 0;
    QTest::newRow("3") << 3 << 1;
    QTest::newRow("40") << 40 << 1;
    QTest::newRow("41") << 41 << 2;
    QTest::newRow("500") << 500 << 461;
}

void TestLogReport::previewShowsTheLast40Lines() {
    QFETCH(int, lines);
    QFETCH(int, first);
    ViewFixture f;
    f.boot();
    f.model->sessionPart().clearLog();
    fillLog(*f.model, numbered(lines));
    ReportSheet sheet(*f.model);
    sheet.open();
    auto* preview = sheet.findChild<QPlainTextEdit*>(QStringLiteral("preview"));
    const QStringList all = numbered(lines);
    const QString expected = first == 0 ? QString() : all.mid(first - 1).join(u'\n');
    QCOMPARE(preview->toPlainText(), expected);
    QVERIFY(preview->isReadOnly());
    // It follows lines logged while it is open.
    f.model->sessionPart().appendLog(QStringLiteral("newest"));
    QVERIFY(preview->toPlainText().endsWith(QStringLiteral("\nnewest")) || lines == 0);
    QCOMPARE(preview->toPlainText().count(u'\n') + 1, std::min(lines + 1, 40));
}

void TestLogReport::sendCarriesTheLast200Lines() {
    ViewFixture f;
    f.boot();
    f.model->sessionPart().clearLog();
    fillLog(*f.model, numbered(201));
    ReportSheet sheet(*f.model);
    QSignalSpy done(&sheet, &ReportSheet::sendFinished);
    sheet.open();
    // Sent exactly as typed, spaces and line breaks included.
    sheet.findChild<QPlainTextEdit*>(QStringLiteral("description"))
        ->setPlainText(QStringLiteral("  It froze.\n"));
    sheet.findChild<QLineEdit*>(QStringLiteral("email"))->setText(QStringLiteral(" ann@example.org "));
    buttonIn(&sheet, "button_send")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!done.isEmpty(), 10000);
    const QList<QJsonObject> sent = paramsOf(f, QStringLiteral("report.send"));
    QCOMPARE(sent.size(), 1);
    QCOMPARE(sent.first().value("what").toString(), QStringLiteral("  It froze.\n"));
    QCOMPARE(sent.first().value("email").toString(), QStringLiteral(" ann@example.org "));
    QCOMPARE(sent.first().value("log").toString(), numbered(201).mid(1).join(u'\n'));
}

void TestLogReport::outcomes_data() {
    QTest::addColumn<QString>("answer"); // "sent", "not sent", "error", "cancelled"
    QTest::addColumn<bool>("sent");
    QTest::addColumn<int>("errorsLogged");
    QTest::newRow("sent") << "sent" << true << 0;
    QTest::newRow("not sent") << "not sent" << false << 0;
    QTest::newRow("error") << "error" << false << 1;
    QTest::newRow("cancelled") << "cancelled" << false << 0;
}

void TestLogReport::outcomes() {
    QFETCH(QString, answer);
    QFETCH(bool, sent);
    QFETCH(int, errorsLogged);
    ViewFixture f;
    f.startEngine();
    if (answer == QLatin1String("sent") || answer == QLatin1String("not sent"))
        f.script(QStringLiteral("report.send"),
                 QJsonObject{{"result", QJsonObject{{"sent", answer == "sent"}}}});
    else if (answer == QLatin1String("error"))
        f.scriptError(QStringLiteral("report.send"), 12, QStringLiteral("The report server is down."));
    else
        f.scriptError(QStringLiteral("report.send"), 1001, QStringLiteral("Cancelled."));
    f.control(QStringLiteral("test.hold"), QJsonObject{{"method", "report.send"}});
    f.boot();
    const int errors = StateFixture::errorLines(f.model->sessionPart().log()).size();
    ReportSheet sheet(*f.model);
    QSignalSpy done(&sheet, &ReportSheet::sendFinished);
    QSignalSpy finished(&sheet, &QDialog::finished);
    sheet.open();
    auto* what = sheet.findChild<QPlainTextEdit*>(QStringLiteral("description"));
    what->setPlainText(QStringLiteral("It froze."));
    QPushButton* send = buttonIn(&sheet, "button_send");
    send->click();
    // Busy: the button says so and is disabled; the fields stay editable and closing stays possible.
    QCOMPARE(send->text(), Strings::text("button_sending"));
    QVERIFY(!send->isEnabled());
    QVERIFY(!what->isReadOnly());
    QVERIFY(buttonIn(&sheet, "button_close")->isEnabled());
    QVERIFY(f.waitForRequests(QStringLiteral("report.send"), 1));
    f.control(QStringLiteral("test.release"), QJsonObject{{"method", "report.send"}});
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 10000);
    QCOMPARE(done.first().first().toBool(), sent);
    auto* outcome = sheet.findChild<QLabel*>(QStringLiteral("outcome"));
    QVERIFY(outcome->isVisible());
    QCOMPARE(outcome->text(), Strings::text(sent ? "title_report_sent" : "title_report_failed"));
    QCOMPARE(send->text(), Strings::text("button_send"));
    QVERIFY(send->isEnabled());
    QCOMPARE(StateFixture::errorLines(f.model->sessionPart().log()).size() - errors, errorsLogged);
    if (sent) {
        // Closes by itself, not at once.
        QCOMPARE(finished.size(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 5000);
    } else {
        // Stays open with the text kept, for another try; a second send shows the busy text over the
        // old outcome.
        QCOMPARE(what->toPlainText(), QStringLiteral("It froze."));
        QVERIFY(sheet.isVisible());
        f.control(QStringLiteral("test.hold"), QJsonObject{{"method", "report.send"}});
        send->click();
        QCOMPARE(send->text(), Strings::text("button_sending"));
        QCOMPARE(outcome->text(), Strings::text("title_report_failed"));
        QVERIFY(f.waitForRequests(QStringLiteral("report.send"), 2));
        f.control(QStringLiteral("test.release"), QJsonObject{{"method", "report.send"}});
        QTRY_COMPARE_WITH_TIMEOUT(done.size(), 2, 10000);
        QCOMPARE(finished.size(), 0);
    }
}

// With no report server, the engine keeps the report and the sheet says where, so it can be sent by hand.
void TestLogReport::unsentReportSaysWhereItWasKept() {
    qunsetenv("VAMBER_REPORT_URL");
    ViewFixture f;
    f.boot();
    ReportSheet sheet(*f.model);
    QSignalSpy done(&sheet, &ReportSheet::sendFinished);
    sheet.open();
    sheet.findChild<QPlainTextEdit*>(QStringLiteral("description"))
        ->setPlainText(QStringLiteral("It froze."));
    buttonIn(&sheet, "button_send")->click();
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 10000);
    QVERIFY(!done.first().first().toBool());
    const std::optional<QString> savedTo = f.model->sessionPart().reportSavedTo();
    QVERIFY(savedTo);
    QVERIFY2(QFile::exists(*savedTo), qPrintable(*savedTo));
    auto* outcome = sheet.findChild<QLabel*>(QStringLiteral("outcome"));
    QCOMPARE(outcome->text(), Strings::text("msg_report_saved_to", {{"path", *savedTo}}));
    QVERIFY(outcome->text().contains(*savedTo));
    QVERIFY(outcome->textInteractionFlags() & Qt::TextSelectableByMouse);
}

void TestLogReport::closesOnlyTheSheetThatSent() {
    ViewFixture f;
    f.startEngine();
    f.script(QStringLiteral("report.send"), QJsonObject{{"result", QJsonObject{{"sent", true}}}}, 0);
    f.boot();
    RootView root(*f.model, ViewFactories::standard());
    QVERIFY(showAt(&root, QSize(1020, 700)));
    QList<QDialog*> shown;
    connect(&root, &RootView::surfaceShown, this, [&](QDialog* d) { shown << d; });

    // The first sheet sends, then the user closes it at once and opens a new one.
    f.model->promptsPart().setShowReportSheet(true);
    QTRY_COMPARE(shown.size(), 1);
    auto* first = qobject_cast<ReportSheet*>(shown[0]);
    QVERIFY(first);
    QSignalSpy firstDone(first, &ReportSheet::sendFinished);
    first->findChild<QPlainTextEdit*>(QStringLiteral("description"))->setPlainText(QStringLiteral("One."));
    buttonIn(first, "button_send")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!firstDone.isEmpty(), 10000);
    // The moment the first sheet's close was due, and a little after.
    bool firstCloseDue = false;
    QTimer::singleShot(ReportSheet::closeDelayMs + 300, this, [&] { firstCloseDue = true; });
    buttonIn(first, "button_close")->click();
    QTRY_VERIFY(!f.model->promptsPart().showReportSheet());
    f.model->promptsPart().setShowReportSheet(true);
    QTRY_COMPARE(shown.size(), 2);
    auto* second = qobject_cast<ReportSheet*>(shown[1]);
    QVERIFY(second);
    // A fresh sheet: empty fields, no outcome, send off until something is typed.
    QCOMPARE(second->findChild<QPlainTextEdit*>(QStringLiteral("description"))->toPlainText(), QString());
    QVERIFY(!second->outcome());
    QVERIFY(!buttonIn(second, "button_send")->isEnabled());
    QSignalSpy secondFinished(second, &QDialog::finished);
    QTRY_VERIFY_WITH_TIMEOUT(firstCloseDue, 10000);
    QVERIFY(second->isVisible());
    QCOMPARE(secondFinished.size(), 0);
    QVERIFY(f.model->promptsPart().showReportSheet());

    // The second sheet sends: it stays up with its outcome, then closes by itself.
    QSignalSpy secondDone(second, &ReportSheet::sendFinished);
    second->findChild<QPlainTextEdit*>(QStringLiteral("description"))->setPlainText(QStringLiteral("Two."));
    buttonIn(second, "button_send")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!secondDone.isEmpty(), 10000);
    QCOMPARE(secondFinished.size(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(secondFinished.size(), 1, 5000);
    QTRY_VERIFY(!f.model->promptsPart().showReportSheet());
}

void TestLogReport::handOverNeverShowsBoth() {
    ViewFixture f;
    f.boot();
    RootView root(*f.model, ViewFactories::standard());
    QVERIFY(showAt(&root, QSize(1020, 700)));
    QList<QDialog*> shown;
    int mostAtOnce = 0;
    connect(&root, &RootView::surfaceShown, this, [&](QDialog* d) {
        shown << d;
        mostAtOnce = std::max(mostAtOnce, visibleDialogs(&root));
    });

    f.model->promptsPart().setShowLogSheet(true);
    QTRY_COMPARE(shown.size(), 1);
    QVERIFY(qobject_cast<LogSheet*>(shown.last()));
    buttonIn(shown.last(), "menu_report_problem")->click();
    QTRY_COMPARE(shown.size(), 2);
    auto* report = qobject_cast<ReportSheet*>(shown.last());
    QVERIFY(report);
    QVERIFY(!f.model->promptsPart().showLogSheet());
    QVERIFY(f.model->promptsPart().showReportSheet());
    QCOMPARE(visibleDialog(&root), report);

    // "View" hands back to the log, losing what was typed.
    report->findChild<QPlainTextEdit*>(QStringLiteral("description"))->setPlainText(QStringLiteral("typed"));
    buttonIn(report, "button_view")->click();
    QTRY_COMPARE(shown.size(), 3);
    QVERIFY(qobject_cast<LogSheet*>(shown.last()));
    QVERIFY(f.model->promptsPart().showLogSheet());
    QVERIFY(!f.model->promptsPart().showReportSheet());
    QCOMPARE(visibleDialog(&root), shown.last());
    buttonIn(shown.last(), "menu_report_problem")->click();
    QTRY_COMPARE(shown.size(), 4);
    QCOMPARE(shown.last()->findChild<QPlainTextEdit*>(QStringLiteral("description"))->toPlainText(),
             QString());
    QCOMPARE(mostAtOnce, 1);
}

QTEST_MAIN(TestLogReport)
#include "Session.h"
#include "tst_logreport.moc"
