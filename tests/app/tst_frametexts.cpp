// No text key is ever shown in the window's frame: the menus, the tray's menu and panel and the failure
// view carry the chosen language's words before the engine's table arrives and while an engine that cannot
// start keeps the failure view up. From that view the log opens (its button, the menu); the problem report
// waits for a running engine.
#include "ViewFixture.h"

#include "Commands.h"
#include "MainWindow.h"
#include "Tray.h"
#include "TrayPanel.h"

#include "shell/LaunchGate.h"

#include "Bootstrap.h"
#include "Prompts.h"
#include "SourceDir.h"
#include "Strings.h"

#include <QAction>
#include <QDialog>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>

namespace {

QSet<QString> textKeys() {
    QSet<QString> keys;
    QFile file(QStringLiteral(VAMBER_SOURCE_DIR "/Engine/texts/keys.txt"));
    if (!file.open(QIODevice::ReadOnly))
        return keys;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (!line.isEmpty() && !line.startsWith(u'#'))
            keys.insert(line);
    }
    return keys;
}

// The engine's table of a language as the engine sends it: its own texts, else the English ones.
QJsonObject engineTable(const QString& language) {
    const auto load = [](const QString& code) {
        QFile file(QStringLiteral(VAMBER_SOURCE_DIR "/Engine/texts/%1.json").arg(code));
        return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object()
                                              : QJsonObject();
    };
    QJsonObject table = load(QStringLiteral("en"));
    const QJsonObject own = load(language);
    for (auto it = own.begin(); it != own.end(); ++it)
        table.insert(it.key(), it.value());
    return table;
}

struct Shown {
    QString name; // the widget's or action's objectName: its text key
    QString text; // what a user reads
};

QString unescaped(QString menuText) {
    return menuText.replace(QStringLiteral("&&"), QStringLiteral("&"));
}

// Every text of the menu bar and the tray: menu titles and visible entries.
QList<Shown> menuTexts(QMenuBar* bar, QMenu* tray) {
    QList<Shown> out;
    const auto entries = [&out](QMenu* menu) {
        for (QAction* action : menu->actions()) {
            if (!action->isSeparator() && action->isVisible())
                out << Shown{action->objectName(), unescaped(action->text())};
        }
    };
    for (QAction* top : bar->actions()) {
        QMenu* menu = top->menu();
        if (!menu)
            continue;
        out << Shown{menu->objectName(), unescaped(menu->title())};
        entries(menu);
    }
    entries(tray);
    return out;
}

// The texts of labelled widgets under `root` whose objectName is a text key.
QList<Shown> widgetTexts(QWidget* root, const QSet<QString>& keys) {
    QList<Shown> out;
    for (QPushButton* b : root->findChildren<QPushButton*>())
        out << Shown{b->objectName(), b->text()};
    for (QLabel* l : root->findChildren<QLabel*>())
        out << Shown{l->objectName(), l->text()};
    for (QLineEdit* e : root->findChildren<QLineEdit*>())
        out << Shown{e->objectName(), e->placeholderText()};
    QList<Shown> keyed;
    for (const Shown& s : out) {
        if (keys.contains(s.name))
            keyed << s;
    }
    return keyed;
}

// Each text is the language's own (the engine table's) and never a key.
void checkTexts(const QList<Shown>& shown, const QString& language, const QSet<QString>& keys) {
    const QJsonObject table = engineTable(language);
    QVERIFY(!table.isEmpty() && !keys.isEmpty());
    for (const Shown& s : shown) {
        QVERIFY2(!s.text.trimmed().isEmpty(), qPrintable(s.name));
        QVERIFY2(!keys.contains(s.text), qPrintable(s.name + QStringLiteral(" shows a key: ") + s.text));
        if (table.contains(s.name)) {
            const QString expected = Strings::fill(table.value(s.name).toString(),
                                                   {{QStringLiteral("app"), QStringLiteral("Vamber")}});
            QVERIFY2(s.text == expected, qPrintable(s.name + QStringLiteral(": ") + s.text));
        }
    }
}

// The log sheets shown under `root`.
QList<QDialog*> shownLogs(QWidget* root) {
    QList<QDialog*> out;
    for (QDialog* d : root->findChildren<QDialog*>(QStringLiteral("logSheet"))) {
        if (d->isVisible())
            out << d;
    }
    return out;
}

QMap<QString, QString> failingEngine() {
    // An interpreter that exits at once: the engine cannot start.
    return {{QStringLiteral("VAMBER_PYTHON"), QStringLiteral("/bin/false")}};
}

} // namespace

class TestFrameTexts : public QObject {
    Q_OBJECT

    struct Frame {
        explicit Frame(QMap<QString, QString> env = {}) : f(std::move(env)) {}
        ViewFixture f;
        MainWindow window{*f.model, ViewFactories::standard()};
        Commands commands{*f.model, window.menuBar()};
        Tray tray{*f.model};
        bool showAndBoot() {
            QSignalSpy booted(&window, &MainWindow::bootFinished);
            window.show();
            return booted.wait(15000);
        }
    };

private Q_SLOTS:
    void initTestCase() { ViewFixture::useAppearance(false); }
    void init() { Strings::reset(); }
    void cleanup() { Strings::reset(); }

    void noKeyInTheFrame_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<bool>("failing");
        for (const QString& language : {QStringLiteral("en"), QStringLiteral("fr")}) {
            QTest::newRow(qPrintable(language + QStringLiteral(", before the table"))) << language << false;
            QTest::newRow(qPrintable(language + QStringLiteral(", engine cannot start"))) << language << true;
        }
    }
    void noKeyInTheFrame() {
        QFETCH(QString, language);
        QFETCH(bool, failing);
        Bootstrap::choosePreferredLanguages({language});
        const QSet<QString> keys = textKeys();
        Frame w(failing ? failingEngine() : QMap<QString, QString>());
        if (failing) {
            QVERIFY(w.showAndBoot());
            QCOMPARE(w.window.gate()->page(), LaunchGate::Page::Failure);
            QVERIFY(!Strings::hasTable());
            // The failure view's buttons too.
            const QList<Shown> buttons = widgetTexts(w.window.gate(), keys);
            QCOMPARE(buttons.size(), 2);
            checkTexts(buttons, language, keys);
        }
        const QList<Shown> menus = menuTexts(w.window.menuBar(), w.tray.menu());
        QVERIFY(menus.size() >= 20);
        checkTexts(menus, language, keys);
        // The tray's panel.
        w.tray.panel()->show();
        const QList<Shown> panel = widgetTexts(w.tray.panel(), keys);
        QVERIFY(panel.size() >= 5);
        checkTexts(panel, language, keys);
    }

    // The log, which says why the start failed, opens from the failure view and from the menu; the
    // problem report cannot be asked for without a running engine.
    void theLogOpensFromTheFailureView() {
        Bootstrap::choosePreferredLanguages({QStringLiteral("fr")});
        const QSet<QString> keys = textKeys();
        Frame w(failingEngine());
        QVERIFY(w.showAndBoot());
        LaunchGate* gate = w.window.gate();
        QCOMPARE(gate->page(), LaunchGate::Page::Failure);
        QAction* report = w.commands.action(QStringLiteral("menu_report_problem"));
        QVERIFY(!report->isEnabled());
        report->trigger();
        QVERIFY(!w.f.model->promptsPart().showReportSheet());

        auto* showLog = gate->findChild<QPushButton*>(QStringLiteral("button_show_log"));
        QVERIFY(showLog && showLog->isVisible());
        QTest::mouseClick(showLog, Qt::LeftButton);
        QTRY_COMPARE(shownLogs(gate).size(), 1);
        QDialog* sheet = shownLogs(gate).first();
        const QString failure = *w.f.model->sessionPart().engineFailure();
        QVERIFY(
            sheet->findChild<QPlainTextEdit*>(QStringLiteral("logLines"))->toPlainText().contains(failure));
        checkTexts(widgetTexts(sheet, keys), QStringLiteral("fr"), keys);
        auto* sheetReport = sheet->findChild<QPushButton*>(QStringLiteral("menu_report_problem"));
        QVERIFY(sheetReport && !sheetReport->isEnabled());
        sheet->findChild<QPushButton*>(QStringLiteral("button_close"))->click();
        QTRY_VERIFY(!w.f.model->promptsPart().showLogSheet());
        QVERIFY(shownLogs(gate).isEmpty());

        // The menu's entry opens it again.
        w.commands.action(QStringLiteral("v2_menu_show_log"))->trigger();
        QTRY_COMPARE(shownLogs(gate).size(), 1);
        shownLogs(gate).first()->reject();
        QTRY_VERIFY(!w.f.model->promptsPart().showLogSheet());
        QCOMPARE(gate->page(), LaunchGate::Page::Failure);
    }

    // With an engine that runs, the report can be asked for once it answered, and the log the gate showed
    // during the start hands over to the root view's.
    void theReportWaitsForARunningEngine() {
        Frame w;
        QAction* report = w.commands.action(QStringLiteral("menu_report_problem"));
        QVERIFY(!report->isEnabled());
        w.f.model->promptsPart().setShowLogSheet(true);
        QVERIFY(w.showAndBoot());
        QVERIFY(report->isEnabled());
        QCOMPARE(w.window.gate()->page(), LaunchGate::Page::Root);
        // One log sheet, the root view's.
        QTRY_COMPARE(shownLogs(&w.window).size(), 1);
        QVERIFY(shownLogs(w.window.gate()->root()) == shownLogs(&w.window));
        QVERIFY(w.f.model->promptsPart().showLogSheet());
    }
};

QTEST_MAIN(TestFrameTexts)
#include "tst_frametexts.moc"
