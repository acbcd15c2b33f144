// The library's rows: what an item row offers in its first slot and its four icons, what each does
// (play, view, reveal, the web page, remove), the transcribe button's states, and the hit rows.
#include "DownloadQueue.h"
#include "LibraryPaneHelpers.h"
#include "SpeechModels.h"

#include "Library.h"
#include "Prompts.h"
#include "kit/WebLink.h"
#include "library/LibraryRowContent.h"
#include "library/TranscribeSlot.h"

#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>

using Kind = LibraryPaneModel::Kind;
using Spot = LibraryRowDelegate::Spot;
using First = LibraryRowContent::First;

namespace {

// The requests sent since `from`, without the thumbnail look-ups that painting rows starts.
QList<LoggedRequest> sentSince(const ViewFixture& f, qsizetype from) {
    QList<LoggedRequest> out;
    for (const LoggedRequest& q : f.requests().mid(from)) {
        if (q.method != "thumbnail.resolve")
            out << q;
    }
    return out;
}

bool touch(const QString& path) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("media") == 5;
}

QJsonObject modelsAnswer(bool supported, bool installed) {
    QJsonArray models{QJsonObject{{"key", "base"},
                                  {"filename", "base.bin"},
                                  {"downloadBytes", 100},
                                  {"peakMemoryBytes", 100},
                                  {"installed", installed}}};
    return {{"result", QJsonObject{{"models", models},
                                   {"default", "base"},
                                   {"supported", supported},
                                   {"helperAvailable", true},
                                   {"appleSilicon", false},
                                   {"gpu", false},
                                   {"speedFactor", 1.0},
                                   {"diskUsage", QJsonObject()}}}};
}

// A pane over a seeded library; the player factory records what it is asked to open.
struct Rows {
    ViewFixture f;
    std::unique_ptr<LibraryPane> pane;
    QList<PlayerTarget> opened;
    QList<QUrl> openedFiles;
    QList<QUrl> openedPages;

    // Items named "…present…" get a real file.
    Rows(QJsonArray items, const std::function<void(ViewFixture&)>& beforeBoot = {}) {
        for (QJsonValueRef v : items) {
            QJsonObject item = v.toObject();
            const QString name = item["path"].toString();
            item["path"] = f.path("media" + name);
            if (item.contains("parent"))
                item["parent"] = f.path("media" + item["parent"].toString());
            if (name.contains("present"))
                touch(item["path"].toString());
            v = item;
        }
        if (!seedLibrary(f.path("support"), items))
            qFatal("seeding failed");
        f.startEngine();
        if (beforeBoot)
            beforeBoot(f);
        f.boot();
        pane = std::make_unique<LibraryPane>(
            f.model.get(), [this](AppModel&, const PlayerTarget& target, QWidget* parent) -> QDialog* {
                opened << target;
                return new QDialog(parent);
            });
        LibraryPane::setFileOpener([this](const QUrl& url) {
            openedFiles << url;
            return true;
        });
        WebLink::setOpener([this](const QUrl& url) {
            openedPages << url;
            return true;
        });
    }
    ~Rows() {
        LibraryPane::setFileOpener({});
        WebLink::setOpener({});
    }
    QString path(const QString& name) const { return f.path("media" + name); }
    int row(const QString& name) const { return pane->rows()->rowOf(path(name)); }
    LibraryRowContent content(const QString& name) const {
        const LibraryItem* item = pane->rows()->itemAt(row(name));
        return item ? LibraryRowContent::of(*f.model, *item) : LibraryRowContent{};
    }
    bool show(int items) {
        return showAt(pane.get(), QSize(1000, 700)) &&
               QTest::qWaitFor([&] { return int(f.model->libraryPart().library().size()) == items; });
    }
};

} // namespace

class TestLibraryRow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { ViewFixture::useAppearance(false); }

    // The first slot and the four icons by what the item is.
    void slotsAndIcons_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("first");       // First
        QTest::addColumn<bool>("firstOn");    // the first slot's icon enabled
        QTest::addColumn<QString>("symbols"); // of the four icons
        QTest::addColumn<QString>("enabled"); // of the four icons, 1 or 0
        QTest::newRow("media on disk")
            << "/present.mp4" << int(First::Transcribe) << true << "play.fill folder globe trash"
            << "1111";
        QTest::newRow("missing media")
            << "/gone.mp4" << int(First::DownloadAgain) << true << "play.fill folder globe trash"
            << "0011";
        QTest::newRow("missing, no address")
            << "/gone-noaddress.mp4" << int(First::DownloadAgain) << false << "play.fill folder globe trash"
            << "0001";
        QTest::newRow("thumbnail on disk")
            << "/present.jpg" << int(First::Empty) << false << "eye folder globe trash"
            << "1111";
        QTest::newRow("transcribed media")
            << "/present-transcribed.mp4" << int(First::Empty) << false << "play.fill folder globe trash"
            << "1111";
        QTest::newRow("on disk, no address")
            << "/present-noaddress.mp4" << int(First::Transcribe) << true << "play.fill folder globe trash"
            << "1101";
    }
    void slotsAndIcons() {
        QFETCH(QString, name);
        QFETCH(int, first);
        QFETCH(bool, firstOn);
        QFETCH(QString, symbols);
        QFETCH(QString, enabled);
        QJsonObject item = libraryItem(name, name.endsWith(".jpg") ? "thumbnail" : "video", "Ch");
        if (name.endsWith(".jpg"))
            item["parent"] = "/present.mp4";
        if (name.contains("noaddress"))
            item["url"] = "";
        QJsonArray items{item};
        if (name.endsWith(".jpg"))
            items.prepend(libraryItem("/present.mp4", "video"));
        Rows r(items, [&](ViewFixture& f) {
            f.script("models.list", modelsAnswer(true, true), 0);
            f.script("search.status",
                     {{"result",
                       QJsonObject{{"documents", 1},
                                   {"segments", 1},
                                   {"sizeBytes", 1},
                                   {"transcribed", QJsonArray{f.path("media/present-transcribed.mp4")}}}}},
                     0);
        });
        QVERIFY(r.show(items.size()));
        QTRY_VERIFY(r.f.model->modelsPart().modelsInfo().has_value());
        if (name.endsWith(".jpg"))
            clickCategory(*r.pane, "thumbnails");
        const LibraryRowContent c = r.content(name);
        QCOMPARE(int(c.first), first);
        if (c.first == First::Transcribe)
            QCOMPARE(c.transcribe.enabled, firstOn);
        if (c.first == First::DownloadAgain)
            QCOMPARE(c.downloadAgain.enabled, firstOn);
        QStringList shown;
        QString on;
        for (const auto& icon : c.icons) {
            shown << icon.symbol;
            on += icon.enabled ? u'1' : u'0';
        }
        QCOMPARE(shown.join(' '), symbols);
        QCOMPARE(on, enabled);
        QCOMPARE(c.missing, !name.contains("present"));
        QCOMPARE(c.transcribed, name.contains("transcribed"));
        // The painted row takes clicks only where the content says so.
        const int row = r.row(name);
        const QSignalSpy clicks(r.pane->delegate(), &LibraryRowDelegate::spotClicked);
        QVERIFY(clickRow(*r.pane, row, Spot::Web));
        QCOMPARE(clicks.size(), enabled[2] == u'1' ? 1 : 0);
    }

    // Only http and https pages are opened; the click on a refused one opens nothing.
    void webIconRefusesOtherSchemes_data() {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("opens");
        QTest::newRow("https") << "https://example.test/watch?v=1" << true;
        QTest::newRow("http") << "http://example.test/v" << true;
        QTest::newRow("javascript") << "javascript:alert(1)" << false;
        QTest::newRow("file") << "file:///etc/passwd" << false;
        QTest::newRow("custom scheme") << "vamber://download?u=x" << false;
        QTest::newRow("no scheme") << "example.test/v" << false;
    }
    void webIconRefusesOtherSchemes() {
        QFETCH(QString, url);
        QFETCH(bool, opens);
        QJsonObject item = libraryItem("/present.mp4", "video");
        item["url"] = url;
        QJsonObject safe = libraryItem("/present-safe.mp4", "video");
        safe["url"] = "https://example.test/safe";
        Rows r({item, safe});
        QVERIFY(r.show(2));
        QVERIFY(clickRow(*r.pane, r.row("/present.mp4"), Spot::Web));
        // A later click that does open shows the first one's outcome is in.
        QVERIFY(clickRow(*r.pane, r.row("/present-safe.mp4"), Spot::Web));
        QList<QUrl> expected;
        if (opens)
            expected << QUrl(url);
        expected << QUrl("https://example.test/safe");
        QCOMPARE(r.openedPages, expected);
    }

    // Play hands the player a target from the start; view opens a thumbnail in its application; a file
    // gone since the list was read opens nothing and raises the missing-file notice.
    void playAndView() {
        QJsonObject thumb = libraryItem("/present.jpg", "thumbnail");
        thumb["parent"] = "/present.mp4";
        Rows r(
            {libraryItem("/present.mp4", "video"), thumb, libraryItem("/present-later-gone.mp4", "audio")});
        QVERIFY(r.show(3));
        QVERIFY(clickRow(*r.pane, r.row("/present.mp4"), Spot::Open));
        QCOMPARE(r.opened.size(), 1);
        const PlayerTarget expected{r.path("/present.mp4"), "present", 0, 0, std::nullopt};
        QCOMPARE(r.opened.first(), expected);
        QCOMPARE(r.pane->playing(), std::optional<PlayerTarget>(expected));
        QVERIFY(r.pane->player()->isVisible());
        r.pane->player()->reject();
        QCOMPARE(r.pane->playing(), std::nullopt);

        clickCategory(*r.pane, "thumbnails");
        QVERIFY(clickRow(*r.pane, r.row("/present.jpg"), Spot::Open));
        QCOMPARE(r.openedFiles, QList<QUrl>{QUrl::fromLocalFile(r.path("/present.jpg"))});
        QCOMPARE(r.opened.size(), 1);

        clickCategory(*r.pane, "all");
        QVERIFY(QFile::remove(r.path("/present-later-gone.mp4")));
        QVERIFY(clickRow(*r.pane, r.row("/present-later-gone.mp4"), Spot::Open));
        QVERIFY(r.f.model->promptsPart().fileMissingNotice());
        QCOMPARE(r.opened.size(), 1);
        QVERIFY(!r.pane->player());
    }

    // The row's own remove alert: its texts and buttons by kind, and the request each button sends.
    void removeAlert_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("buttons");
        const QStringList all{"button_move_to_trash", "button_remove_from_list", "button_cancel"};
        const QStringList pictures{"button_move_to_trash", "button_cancel"};
        QTest::newRow("media to the trash") << "/present.mp4"
                                            << "button_move_to_trash"
                                            << "Remove this download?"
                                            << "Remove “present.mp4”?" << all;
        QTest::newRow("media off the list") << "/present.mp4"
                                            << "button_remove_from_list"
                                            << "Remove this download?"
                                            << "Remove “present.mp4”?" << all;
        QTest::newRow("thumbnail") << "/present.jpg"
                                   << "button_move_to_trash"
                                   << "Delete this thumbnail?"
                                   << "Delete the thumbnail “present.jpg”?" << pictures;
        QTest::newRow("cancel") << "/present.mp4"
                                << "button_cancel"
                                << "Remove this download?"
                                << "Remove “present.mp4”?" << all;
    }
    void removeAlert() {
        QFETCH(QString, name);
        QFETCH(QString, button);
        QFETCH(QString, title);
        QFETCH(QString, message);
        QFETCH(QStringList, buttons);
        QJsonObject thumb = libraryItem("/present.jpg", "thumbnail");
        thumb["parent"] = "/present.mp4";
        Rows r({libraryItem("/present.mp4", "video"), thumb});
        QVERIFY(r.show(2));
        if (name.endsWith(".jpg"))
            clickCategory(*r.pane, "thumbnails");
        QVERIFY(clickRow(*r.pane, r.row(name), Spot::Remove));
        QMessageBox* box = r.pane->alert();
        QVERIFY(box);
        QTRY_VERIFY(box->isVisible());
        QCOMPARE(box->text(), title);
        QCOMPARE(box->informativeText(), message);
        QStringList names;
        for (QAbstractButton* b : box->buttons())
            names << b->objectName();
        names.sort();
        QStringList sorted = buttons;
        sorted.sort();
        QCOMPARE(names, sorted);
        const qsizetype before = r.f.requests().size();
        const int statuses = r.f.requestsOf("search.status").size();
        QTest::mouseClick(box->findChild<QPushButton*>(button), Qt::LeftButton);
        if (button == "button_cancel") {
            // Proof that nothing was sent: a status refresh goes out and comes back alone.
            QCoro::waitFor(r.f.model->libraryPart().refreshSearchStatus());
            QStringList methods;
            for (const LoggedRequest& q : sentSince(r.f, before))
                methods << q.method;
            QCOMPARE(methods, QStringList{"search.status"});
            QVERIFY(QFileInfo::exists(r.path(name)));
            return;
        }
        QVERIFY(r.f.waitForRequests("search.status", statuses + 1));
        QTRY_VERIFY(r.pane->rows()->rowOf(r.path(name)) < 0);
        QStringList methods;
        QList<LoggedRequest> sent = sentSince(r.f, before);
        for (const LoggedRequest& q : sent)
            methods << q.method;
        QCOMPARE(methods.mid(0, 3), QStringList({"library.remove", "library.list", "search.status"}));
        const bool trash = button == "button_move_to_trash";
        QCOMPARE(sent[0].params, QJsonObject({{"paths", QJsonArray{r.path(name)}}, {"deleteFiles", trash}}));
        QCOMPARE(sent[1].params["offset"].toInt(), 0);
        QCOMPARE(QFileInfo::exists(r.path(name)), !trash);
        if (trash)
            QVERIFY(QFileInfo::exists(r.f.path("data/Trash/files/" + QFileInfo(name).fileName())));
    }

    // The transcribe button: not on this machine, get a model first, a model coming, or transcribe.
    void transcribeButton_data() {
        QTest::addColumn<QString>("models"); // "unsupported", "none", "downloading", "installed"
        QTest::addColumn<int>("look");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("help");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QString>("request"); // what a click sends, or "optin"
        QTest::newRow("unsupported") << "unsupported" << int(TranscribeSlot::Look::Icon)
                                     << "button_transcribe"
                                     << "transcribe_intel_pending" << false << "";
        QTest::newRow("no model") << "none" << int(TranscribeSlot::Look::Icon) << "button_download_model"
                                  << "title_model_download" << true << "optin";
        QTest::newRow("model downloading")
            << "downloading" << int(TranscribeSlot::Look::Progress) << "button_transcribe"
            << "" << false << "";
        QTest::newRow("model installed")
            << "installed" << int(TranscribeSlot::Look::Icon) << "button_transcribe"
            << "" << true << "transcribe.start";
    }
    void transcribeButton() {
        QFETCH(QString, models);
        QFETCH(int, look);
        QFETCH(QString, label);
        QFETCH(QString, help);
        QFETCH(bool, enabled);
        QFETCH(QString, request);
        Rows r({libraryItem("/present.mp4", "video")}, [&](ViewFixture& f) {
            f.script("models.list", modelsAnswer(models != "unsupported", models == "installed"), 0);
        });
        QVERIFY(r.show(1));
        QTRY_VERIFY(r.f.model->modelsPart().modelsInfo().has_value());
        if (models == "downloading") {
            r.f.emitEvent("model.progress",
                          {{"key", "base"}, {"downloaded", 40}, {"total", 100}, {"fraction", 0.4}});
            QTRY_VERIFY(r.f.model->modelsPart().modelDownloads().contains("base"));
        }
        const LibraryRowContent c = r.content("/present.mp4");
        QCOMPARE(int(c.first), int(First::Transcribe));
        QCOMPARE(int(c.transcribe.look), look);
        QCOMPARE(c.transcribe.labelKey, label);
        QCOMPARE(c.transcribe.helpKey.value_or(QString()), help);
        QCOMPARE(c.transcribe.enabled, enabled);
        if (models == "downloading")
            QCOMPARE(c.transcribe.fraction, 0.4);
        const qsizetype before = r.f.requests().size();
        QVERIFY(clickRow(*r.pane, r.row("/present.mp4"), Spot::First));
        if (request == "optin") {
            QVERIFY(r.f.model->promptsPart().modelOptIn());
            QCOMPARE(r.f.model->promptsPart().modelOptIn()->key, QString("base"));
        } else if (!request.isEmpty()) {
            QVERIFY(r.f.waitForRequests(request, 1));
            QCOMPARE(r.f.requestsOf(request).first().params["path"].toString(), r.path("/present.mp4"));
        } else {
            QCoro::waitFor(r.f.model->libraryPart().refreshSearchStatus());
            QStringList methods;
            for (const LoggedRequest& q : sentSince(r.f, before))
                methods << q.method;
            QCOMPARE(methods, QStringList{"search.status"});
            QVERIFY(!r.f.model->promptsPart().modelOptIn());
        }
    }

    // A missing file offers the download again: its address becomes a new download.
    void downloadAgain() {
        Rows r({libraryItem("/gone.mp4", "video")});
        QVERIFY(r.show(1));
        QVERIFY(clickRow(*r.pane, r.row("/gone.mp4"), Spot::First));
        QTRY_VERIFY(r.f.model->queuePart().currentDownload());
        QCOMPARE(r.f.model->queuePart().currentDownload()->url(), QString("https://example.test/gone.mp4"));
    }
};

QTEST_MAIN(TestLibraryRow)
#include "tst_libraryrow.moc"
