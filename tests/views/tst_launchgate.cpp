// The launch gate: the splash while the texts are not loaded and nothing failed, the failure text verbatim
// with a retry that shows the splash again and reaches the root view, and the root view for good once the
// texts are loaded, even after a later failure.
#include "ViewFixture.h"

#include "shell/LaunchGate.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>

class TestLaunchGate : public QObject {
    Q_OBJECT

    static LaunchGate* makeGate(ViewFixture& f, int* built) {
        return new LaunchGate(*f.model, [built] {
            ++*built;
            auto* root = new QLabel(QStringLiteral("root"));
            root->setObjectName(QStringLiteral("root"));
            return root;
        });
    }

private Q_SLOTS:
    void initTestCase() { ViewFixture::useAppearance(false); }

    void pages_data() {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<int>("expected");
        QTest::newRow("not booted: splash") << "none" << int(LaunchGate::Page::Splash);
        QTest::newRow("hello refused: failure") << "hello fails" << int(LaunchGate::Page::Failure);
        QTest::newRow("texts refused: failure") << "texts fail" << int(LaunchGate::Page::Failure);
        QTest::newRow("settings refused after the texts: root")
            << "settings fail" << int(LaunchGate::Page::Root);
        QTest::newRow("texts loaded: root") << "boot" << int(LaunchGate::Page::Root);
    }
    void pages() {
        QFETCH(QString, scenario);
        QFETCH(int, expected);
        ViewFixture f;
        int built = 0;
        std::unique_ptr<LaunchGate> gate(makeGate(f, &built));
        gate->show();
        QCOMPARE(gate->page(), LaunchGate::Page::Splash);
        QVERIFY(gate->findChild<QWidget*>(QStringLiteral("splash"))->isVisible());
        if (scenario != QLatin1String("none")) {
            f.startEngine();
            if (scenario == QLatin1String("hello fails"))
                f.scriptError(QStringLiteral("hello"), 7, QStringLiteral("broken <b>engine</b> & more"));
            else if (scenario == QLatin1String("texts fail"))
                f.scriptError(QStringLiteral("i18n.table"), 7, QStringLiteral("no texts"));
            else if (scenario == QLatin1String("settings fail"))
                f.scriptError(QStringLiteral("settings.get"), 7, QStringLiteral("no settings"));
            f.boot();
        }
        QCOMPARE(int(gate->page()), expected);
        QCOMPARE(built, expected == int(LaunchGate::Page::Root) ? 1 : 0);
        if (expected == int(LaunchGate::Page::Failure)) {
            auto* text = gate->findChild<QLabel*>(QStringLiteral("failure.text"));
            QVERIFY(text->isVisible());
            QCOMPARE(text->text(), *f.model->sessionPart().engineFailure()); // verbatim, never looked up
            QCOMPARE(text->textFormat(), Qt::PlainText);
            QVERIFY(text->maximumWidth() <= LaunchGate::failureTextWidth);
            QVERIFY(gate->findChild<QPushButton*>(QStringLiteral("v2_engine_retry"))->isVisible());
        }
    }

    void retryShowsTheSplashThenTheRoot() {
        ViewFixture f;
        int built = 0;
        std::unique_ptr<LaunchGate> gate(makeGate(f, &built));
        gate->show();
        f.startEngine();
        f.scriptError(QStringLiteral("hello"), 7, QStringLiteral("first failure"));
        f.boot();
        QCOMPARE(gate->page(), LaunchGate::Page::Failure);
        QVERIFY(gate->findChild<QLabel*>(QStringLiteral("failure.text"))
                    ->text()
                    .contains(QStringLiteral("first failure")));

        // A retry that fails again shows the new text.
        f.scriptError(QStringLiteral("hello"), 7, QStringLiteral("second failure"));
        QSignalSpy pages(gate.get(), &LaunchGate::pageChanged);
        QTest::mouseClick(gate->findChild<QPushButton*>(QStringLiteral("v2_engine_retry")), Qt::LeftButton);
        QCOMPARE(gate->page(), LaunchGate::Page::Splash); // at once: the failure is cleared first
        QTRY_COMPARE(gate->page(), LaunchGate::Page::Failure);
        QVERIFY(gate->findChild<QLabel*>(QStringLiteral("failure.text"))
                    ->text()
                    .contains(QStringLiteral("second failure")));

        QTest::mouseClick(gate->findChild<QPushButton*>(QStringLiteral("v2_engine_retry")), Qt::LeftButton);
        QCOMPARE(gate->page(), LaunchGate::Page::Splash);
        QTRY_COMPARE(gate->page(), LaunchGate::Page::Root);
        QCOMPARE(built, 1);
        QCOMPARE(gate->root()->objectName(), QStringLiteral("root"));
        QVERIFY(gate->root()->isVisible());
        QCOMPARE(f.methods().count(QStringLiteral("hello")), 3);
        const QList<int> seen = [&] {
            QList<int> out;
            for (const auto& args : pages)
                out << args.at(0).toInt();
            return out;
        }();
        QCOMPARE(seen, (QList<int>{int(LaunchGate::Page::Splash), int(LaunchGate::Page::Failure),
                                   int(LaunchGate::Page::Splash), int(LaunchGate::Page::Root)}));
    }

    void rootStaysAfterALaterFailure() {
        ViewFixture f;
        int built = 0;
        std::unique_ptr<LaunchGate> gate(makeGate(f, &built));
        gate->show();
        f.boot();
        QCOMPARE(gate->page(), LaunchGate::Page::Root);
        // Another copy holds the support folder: a busy stop, no restart, a failure text.
        f.control(QStringLiteral("test.exit"), {{QStringLiteral("status"), 2}});
        QTRY_VERIFY(f.model->sessionPart().engineFailure().has_value());
        QCOMPARE(gate->page(), LaunchGate::Page::Root);
        QVERIFY(gate->root()->isVisible());
        QCOMPARE(built, 1);
        QVERIFY(!gate->findChild<QWidget*>(QStringLiteral("failure")));
    }
};

QTEST_MAIN(TestLaunchGate)
#include "tst_launchgate.moc"
