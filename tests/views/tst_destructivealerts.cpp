// Every alert that asks before something is lost (the queue, the browser's data, a model, library files):
// Cancel is its default button, so Return cancels as Escape does; only a click on the destructive button
// goes ahead.
#include "Composition.h"
#include "DownloadQueue.h"
#include "LibraryPaneHelpers.h"
#include "SettingsHelpers.h"

#include "library/LibraryPane.h"
#include "settings/ModelRow.h"
#include "settings/TranscriptionForm.h"
#include "shell/RootView.h"

#include "Job.h"
#include "Library.h"
#include "Prompts.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

#include <functional>

namespace {

// One alert: how to raise it, and whether what it guards has happened (asked after a round trip to the
// engine, so a request the alert would have sent has arrived by then).
struct Case {
    const char* name;
    std::function<QMessageBox*(ViewFixture& f, std::vector<std::unique_ptr<QWidget>>& views)> open;
    std::function<bool(ViewFixture& f)> happened;
};

QMessageBox* rootAlert(ViewFixture& f, std::vector<std::unique_ptr<QWidget>>& views,
                       const std::function<void(AppModel&)>& raise) {
    auto* root = new RootView(*f.model, ViewFactories{});
    views.emplace_back(root);
    if (!showAt(root, QSize(1020, 700)))
        return nullptr;
    raise(*f.model);
    (void)QTest::qWaitFor([root] { return root->surface() && root->surface()->isVisible(); });
    return qobject_cast<QMessageBox*>(root->surface());
}

// A library of one video and its thumbnail, shown in the library pane.
LibraryPane* libraryPane(ViewFixture& f, std::vector<std::unique_ptr<QWidget>>& views) {
    QJsonArray items;
    for (const QString& name : {QStringLiteral("a.mp4"), QStringLiteral("a.jpg")}) {
        const QString path = f.path(QStringLiteral("media/") + name);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write("x") != 1)
            return nullptr;
        QJsonObject item =
            libraryItem(path, name.endsWith(QLatin1String(".jpg")) ? QStringLiteral("thumbnail")
                                                                   : QStringLiteral("video"));
        if (name.endsWith(QLatin1String(".jpg")))
            item[QStringLiteral("parent")] = f.path(QStringLiteral("media/a.mp4"));
        items << item;
    }
    if (!seedLibrary(f.path(QStringLiteral("support")), items))
        return nullptr;
    f.boot();
    auto* pane = new LibraryPane(f.model.get(), {});
    views.emplace_back(pane);
    if (!showAt(pane, QSize(1000, 700)))
        return nullptr;
    if (!QTest::qWaitFor([&f] { return f.model->libraryPart().library().size() == 2; }))
        return nullptr;
    return pane;
}

std::optional<LibraryItem> itemOf(ViewFixture& f, const QString& name) {
    for (const LibraryItem& item : f.model->libraryPart().library()) {
        if (QFileInfo(item.path).fileName() == name)
            return item;
    }
    return std::nullopt;
}

QMessageBox* removeItem(ViewFixture& f, std::vector<std::unique_ptr<QWidget>>& views, const QString& name) {
    LibraryPane* pane = libraryPane(f, views);
    const std::optional<LibraryItem> item = pane ? itemOf(f, name) : std::nullopt;
    if (!item)
        return nullptr;
    pane->confirmRemoveItem(*item);
    return pane->alert();
}

bool sent(ViewFixture& f, const char* method) {
    QCoro::waitFor(f.model->sessionPart().reloadSettings());
    return !f.requestsOf(QString::fromLatin1(method)).isEmpty();
}

const std::vector<Case>& cases() {
    static const std::vector<Case> table{
        {"clear the queue",
         [](ViewFixture& f, auto& views) {
             f.boot();
             auto job =
                 std::make_shared<Job>(QStringLiteral("http://127.0.0.1:9/a.mp4"),
                                       f.model->compositionPart().format(), QStringLiteral("A"), false);
             f.model->queuePart().insertJobs(0, {job});
             return rootAlert(f, views, [](AppModel& m) { m.promptsPart().setConfirmClearQueue(true); });
         },
         [](ViewFixture& f) { return f.model->queuePart().jobs().empty(); }},
        {"clear the browser data",
         [](ViewFixture& f, auto& views) {
             f.boot();
             return rootAlert(f, views,
                              [](AppModel& m) { m.promptsPart().setConfirmClearBrowserData(true); });
         },
         [](ViewFixture& f) {
             QCoro::waitFor(f.model->sessionPart().reloadSettings());
             ViewFixture::settle();
             return f.fakes.browserCookies.clears > 0 || f.model->promptsPart().browserDataCleared();
         }},
        {"delete a model",
         [](ViewFixture& f, auto& views) -> QMessageBox* {
             f.startEngine();
             const QJsonObject models = modelsAnswer({{QStringLiteral("base"), 148'000'000, true}});
             f.script(QStringLiteral("models.list"), QJsonObject{{QStringLiteral("result"), models}}, 0);
             f.boot();
             auto* form = new TranscriptionForm(*f.model);
             views.emplace_back(form);
             if (!showAt(form, QSize(900, 620)))
                 return nullptr;
             auto* row = form->findChild<ModelRow*>(QStringLiteral("modelRow_base"));
             auto* remove =
                 row ? row->findChild<QPushButton*>(QStringLiteral("button_delete_model")) : nullptr;
             if (!remove)
                 return nullptr;
             remove->click();
             return row->deleteConfirmation();
         },
         [](ViewFixture& f) { return sent(f, "models.delete"); }},
        {"remove a download",
         [](ViewFixture& f, auto& views) { return removeItem(f, views, QStringLiteral("a.mp4")); },
         [](ViewFixture& f) { return sent(f, "library.remove"); }},
        {"remove a thumbnail",
         [](ViewFixture& f, auto& views) { return removeItem(f, views, QStringLiteral("a.jpg")); },
         [](ViewFixture& f) { return sent(f, "library.remove"); }},
        {"remove the selection",
         [](ViewFixture& f, auto& views) -> QMessageBox* {
             LibraryPane* pane = libraryPane(f, views);
             if (!pane || !clickRow(*pane, pane->rows()->rowOf(f.path(QStringLiteral("media/a.mp4"))),
                                    LibraryRowDelegate::Spot::Checkbox))
                 return nullptr;
             QTest::mouseClick(pane->findChild<QWidget*>(QStringLiteral("deleteSelected")), Qt::LeftButton);
             return pane->alert();
         },
         [](ViewFixture& f) { return sent(f, "library.remove"); }},
    };
    return table;
}

} // namespace

class TestDestructiveAlerts : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { ViewFixture::useAppearance(false); }

    void keysCancel_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("key");
        for (int i = 0; i < int(cases().size()); ++i) {
            for (const auto& [keyName, key] :
                 {std::pair{"Return", Qt::Key_Return}, {"Enter", Qt::Key_Enter}, {"Escape", Qt::Key_Escape}})
                QTest::newRow(qPrintable(QStringLiteral("%1, %2").arg(QString::fromLatin1(cases()[i].name),
                                                                      QString::fromLatin1(keyName))))
                    << i << int(key);
        }
    }
    void keysCancel() {
        QFETCH(int, index);
        QFETCH(int, key);
        const Case& c = cases()[index];
        ViewFixture f;
        std::vector<std::unique_ptr<QWidget>> views;
        QPointer<QMessageBox> box = c.open(f, views);
        QVERIFY(box);
        QTRY_VERIFY(box->isVisible());
        box->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(box));
        QAbstractButton* cancel = box->findChild<QPushButton*>(QStringLiteral("button_cancel"));
        QVERIFY(cancel);
        QCOMPARE(box->defaultButton(), cancel);
        QCOMPARE(box->escapeButton(), cancel);
        // The key goes where the alert's keyboard focus is: the focused button, else the alert itself.
        QWidget* target = box->focusWidget() ? box->focusWidget() : box.data();
        QTest::keyClick(target, Qt::Key(key));
        QTRY_VERIFY(!box || !box->isVisible());
        QVERIFY2(!c.happened(f), c.name);
    }
};

QTEST_MAIN(TestDestructiveAlerts)
#include "tst_destructivealerts.moc"
