// The banners: which show for the state's flags, in which order, what their buttons write back, and the
// update link that opens only http and https addresses.
#include "ViewHelpers.h"

#include "Prompts.h"
#include "download/Banners.h"
#include "kit/LinkButton.h"
#include "kit/NoticeFrame.h"
#include "kit/WebLink.h"

#include <QLabel>
#include <QVBoxLayout>

class TestBanners : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { WebLink::setOpener({}); }
    void flags_data();
    void flags();
    void dismissing();
    void updateLink_data();
    void updateLink();
};

void TestBanners::flags_data() {
    QTest::addColumn<bool>("missing");
    QTest::addColumn<bool>("dismissed");
    QTest::addColumn<bool>("error");
    QTest::addColumn<bool>("update");
    QTest::addColumn<QString>("shown"); // r, e, u in order
    QTest::newRow("nothing") << false << false << false << false << "";
    QTest::newRow("runtime missing") << true << false << false << false << "r";
    QTest::newRow("runtime missing, dismissed") << true << true << false << false << "";
    QTest::newRow("runtime present, not dismissed") << false << false << false << false << "";
    QTest::newRow("error") << false << false << true << false << "e";
    QTest::newRow("update") << false << false << false << true << "u";
    QTest::newRow("all three") << true << false << true << true << "reu";
    QTest::newRow("error and update") << true << true << true << true << "eu";
}

void TestBanners::flags() {
    QFETCH(bool, missing);
    QFETCH(bool, dismissed);
    QFETCH(bool, error);
    QFETCH(bool, update);
    QFETCH(QString, shown);
    ViewFixture f;
    QWidget holder;
    auto* layout = new QVBoxLayout(&holder);
    auto* banners = new Banners(f.model.get(), &holder);
    layout->addWidget(banners);
    layout->addStretch();
    f.model->sessionPart().applyJSRuntime(!missing, false);
    f.model->promptsPart().setJsBannerDismissed(dismissed);
    if (error)
        f.model->sessionPart().report(QStringLiteral("The engine could not do it"));
    if (update)
        f.model->sessionPart().setUpdate(
            UpdateInfo{true, QStringLiteral("2.0"), QStringLiteral("https://example.com/new"), {}});
    QVERIFY(showAt(&holder, QSize(700, 400)));
    const QList<NoticeFrame*> frames{banners->runtimeBanner(), banners->errorBanner(),
                                     banners->updateBanner()};
    const QString letters = QStringLiteral("reu");
    QString visible;
    int lastBottom = -1;
    for (int i = 0; i < 3; ++i) {
        if (!frames[i]->isVisible())
            continue;
        visible += letters[i];
        if (lastBottom >= 0)
            QCOMPARE(frames[i]->y() - lastBottom - 1, 8);
        lastBottom = frames[i]->geometry().bottom();
        QCOMPARE(frames[i]->width(), banners->width()); // across the whole column
    }
    QCOMPARE(visible, shown);
    QCOMPARE(banners->isVisible(), !shown.isEmpty());
    if (error) {
        QCOMPARE(banners->findChild<QLabel*>(QStringLiteral("banner_error_message"))->text(),
                 QStringLiteral("The engine could not do it"));
    }
}

void TestBanners::dismissing() {
    ViewFixture f;
    f.model->sessionPart().applyJSRuntime(false, true);
    f.model->sessionPart().report(QStringLiteral("Broken"));
    f.model->sessionPart().setUpdate(
        UpdateInfo{true, QString(), QStringLiteral("https://example.com/new"), {}});
    // Two panes show the same banners: dismissing in one hides it in the other.
    Banners first(f.model.get()), second(f.model.get());
    QVERIFY(showAt(&first, QSize(700, 300)));
    QVERIFY(showAt(&second, QSize(700, 300)));
    // An empty version keeps the dash and the blank after it.
    QCOMPARE(first.findChild<QLabel*>(QStringLiteral("banner_update_text"))->text(),
             Strings::text(QStringLiteral("title_update_available")) + QStringLiteral(" \u2014 "));

    QTest::mouseClick(first.errorBanner()->findChild<LinkButton*>(QStringLiteral("button_view")),
                      Qt::LeftButton);
    QVERIFY(f.model->promptsPart().showLogSheet());
    QTest::mouseClick(first.errorBanner()->findChild<LinkButton*>(QStringLiteral("button_dismiss")),
                      Qt::LeftButton);
    QVERIFY(!f.model->sessionPart().lastError());
    QVERIFY(!second.errorBanner()->isVisible());

    QTest::mouseClick(first.runtimeBanner()->findChild<LinkButton*>(QStringLiteral("button_dismiss")),
                      Qt::LeftButton);
    QVERIFY(f.model->promptsPart().jsBannerDismissed());
    QVERIFY(f.model->sessionPart().jsRuntimeMissing());
    QVERIFY(!second.runtimeBanner()->isVisible());
    // A later report of the missing runtime brings it back.
    f.model->sessionPart().applyJSRuntime(false, true);
    QVERIFY(second.runtimeBanner()->isVisible());

    QTest::mouseClick(second.updateBanner()->findChild<LinkButton*>(QStringLiteral("button_dismiss")),
                      Qt::LeftButton);
    QVERIFY(!f.model->sessionPart().update());
    QVERIFY(!first.updateBanner()->isVisible());
}

void TestBanners::updateLink_data() {
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("opens");
    QTest::newRow("https") << "https://example.com/download" << true;
    QTest::newRow("http") << "http://example.com/download" << true;
    QTest::newRow("upper-case scheme") << "HTTPS://example.com/d" << true;
    QTest::newRow("file") << "file:///etc/passwd" << false;
    QTest::newRow("script") << "javascript:alert(1)" << false;
    QTest::newRow("other scheme") << "vamber://download?url=x" << false;
    QTest::newRow("no scheme") << "example.com/download" << false;
    QTest::newRow("empty") << "" << false;
}

void TestBanners::updateLink() {
    QFETCH(QString, url);
    QFETCH(bool, opens);
    ViewFixture f;
    QList<QUrl> opened;
    WebLink::setOpener([&](const QUrl& u) {
        opened << u;
        return true;
    });
    f.model->sessionPart().setUpdate(UpdateInfo{true, QStringLiteral("2.0"), url, {}});
    Banners banners(f.model.get());
    QVERIFY(showAt(&banners, QSize(700, 200)));
    auto* view = banners.updateBanner()->findChild<LinkButton*>(QStringLiteral("button_view"));
    QCOMPARE(view->isVisible(), opens);
    if (opens) {
        QTest::mouseClick(view, Qt::LeftButton);
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened.first().toString(), QUrl(url).toString());
    }
    // Whatever the banner shows, the opener itself refuses what is not http or https.
    QCOMPARE(WebLink::open(url), opens);
}

QTEST_MAIN(TestBanners)
#include "Session.h"
#include "tst_banners.moc"
