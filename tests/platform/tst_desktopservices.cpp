#include "FusionAppearance.h"
#include "QtClipboardSource.h"
#include "QtFileDialogs.h"
#include "SettingsLanguageStore.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>

using Answer = std::optional<std::optional<QString>>; // outer: finished at all

class TestDesktopServices : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    static QFileDialog* openDialog() {
        QDeadlineTimer deadline(5000);
        while (!deadline.hasExpired()) {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* d = qobject_cast<QFileDialog*>(w); d && d->isVisible())
                    return d;
            QTest::qWait(10);
        }
        return nullptr;
    }
    static void accept(QFileDialog* dialog) { static_cast<QDialog*>(dialog)->accept(); }

    template <typename TaskT> static void collect(TaskT&& task, QObject* context, Answer* answer) {
        QCoro::connect(std::move(task), context, [answer](std::optional<QString> path) { *answer = path; });
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(dir.isValid()); }

    void folderChooserAnswersTheChosenFolder() {
        QDir(dir.path()).mkpath(QStringLiteral("downloads/clips"));
        const QString start = dir.filePath(QStringLiteral("downloads"));
        QtFileDialogs dialogs(nullptr, QFileDialog::DontUseNativeDialog);
        Answer answer;
        collect(dialogs.chooseFolder(QStringLiteral("Download folder"), start), this, &answer);
        QVERIFY(!answer); // returned at once, before the user answered

        QFileDialog* dialog = openDialog();
        QVERIFY(dialog);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Download folder"));
        QCOMPARE(QDir(dialog->directory()).canonicalPath(), QDir(start).canonicalPath());
        QCOMPARE(dialog->fileMode(), QFileDialog::Directory);
        dialog->selectFile(dir.filePath(QStringLiteral("downloads/clips")));
        accept(dialog);
        QTRY_VERIFY(answer.has_value());
        QCOMPARE(QDir(answer->value_or(QString())).canonicalPath(),
                 QDir(dir.filePath(QStringLiteral("downloads/clips"))).canonicalPath());
    }

    void cancelledChooserAnswersNothing() {
        QtFileDialogs dialogs(nullptr, QFileDialog::DontUseNativeDialog);
        Answer answer;
        collect(dialogs.chooseFolder(QStringLiteral("Pick"), dir.path()), this, &answer);
        QFileDialog* dialog = openDialog();
        QVERIFY(dialog);
        dialog->reject();
        QTRY_VERIFY(answer.has_value());
        QVERIFY(!answer->has_value());
    }

    void dialogDestroyedUnderneathAnswersNothing() {
        auto* window = new QWidget;
        QtFileDialogs dialogs(window, QFileDialog::DontUseNativeDialog);
        Answer answer;
        collect(dialogs.saveFile(QStringLiteral("Save"), dir.path(), QStringLiteral("a.mp4")), this, &answer);
        delete window; // takes its dialog along
        QTRY_VERIFY(answer.has_value());
        QVERIFY(!answer->has_value());
    }

    void filesChooserAnswersEveryChosenFile() {
        QDir(dir.path()).mkpath(QStringLiteral("media"));
        const QStringList names{QStringLiteral("one.mp4"), QStringLiteral("two.mp4")};
        for (const QString& name : names) {
            QFile file(dir.filePath(QStringLiteral("media/") + name));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QtFileDialogs dialogs(nullptr, QFileDialog::DontUseNativeDialog);
        std::optional<std::optional<QStringList>> answer;
        const QStringList filters{QStringLiteral("Audio and video (*.mp4 *.mp3)"),
                                  QStringLiteral("Audio (*.mp3)"), QStringLiteral("Video (*.mp4)")};
        QCoro::connect(
            dialogs.chooseFiles(QStringLiteral("Pick media"), QStringLiteral("Transcribe"), filters), this,
            [&answer](std::optional<QStringList> files) { answer = files; });
        QFileDialog* dialog = openDialog();
        QVERIFY(dialog);
        QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFiles);
        QCOMPARE(dialog->labelText(QFileDialog::Accept), QStringLiteral("Transcribe"));
        // The filters as given, in their order, and it starts on the first.
        QCOMPARE(dialog->nameFilters(), filters);
        QCOMPARE(dialog->selectedNameFilter(), filters.first());
        dialog->setDirectory(dir.filePath(QStringLiteral("media")));
        dialog->selectFile(QStringLiteral("\"one.mp4\" \"two.mp4\""));
        accept(dialog);
        QTRY_VERIFY(answer.has_value());
        QVERIFY(answer->has_value());
        QStringList chosen;
        for (const QString& path : **answer)
            chosen << QFileInfo(path).fileName();
        chosen.sort();
        QCOMPARE(chosen, names);
    }

    void filesChooserWithoutTypesTakesAnyFile() {
        QtFileDialogs dialogs(nullptr, QFileDialog::DontUseNativeDialog);
        std::optional<std::optional<QStringList>> answer;
        QCoro::connect(dialogs.chooseFiles(QStringLiteral("Pick"), QStringLiteral("Go"), {}), this,
                       [&answer](std::optional<QStringList> files) { answer = files; });
        QFileDialog* dialog = openDialog();
        QVERIFY(dialog);
        QCOMPARE(dialog->nameFilters(), QStringList{QStringLiteral("All Files (*)")});
        dialog->reject();
        QTRY_VERIFY(answer.has_value());
        QVERIFY(!answer->has_value());
    }

    void saveDialogProposesTheName() {
        QtFileDialogs dialogs(nullptr, QFileDialog::DontUseNativeDialog);
        Answer answer;
        collect(dialogs.saveFile(QStringLiteral("Save the video"), dir.path(), QStringLiteral("My clip.mp4")),
                this, &answer);
        QFileDialog* dialog = openDialog();
        QVERIFY(dialog);
        QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
        QVERIFY(!dialog->testOption(QFileDialog::ReadOnly)); // folders may be created
        accept(dialog);
        QTRY_VERIFY(answer.has_value());
        QCOMPARE(answer->value_or(QString()), QDir(dir.path()).filePath(QStringLiteral("My clip.mp4")));
    }

    void appearanceSwitchesPalettesAndBack() {
        const QString styleBefore = QApplication::style()->name();
        const QPalette paletteBefore = QApplication::palette();
        FusionAppearance appearance;

        appearance.apply(QStringLiteral("dark"));
        QCOMPARE(QApplication::style()->name(), QStringLiteral("fusion"));
        QVERIFY(QApplication::palette().color(QPalette::Window).lightness() < 80);
        QVERIFY(QApplication::palette().color(QPalette::WindowText).lightness() > 180);
        QCOMPARE(appearance.current(), QStringLiteral("dark"));

        appearance.apply(QStringLiteral("light"));
        QVERIFY(QApplication::palette().color(QPalette::Window).lightness() > 180);
        QVERIFY(QApplication::palette().color(QPalette::WindowText).lightness() < 80);

        appearance.apply(QStringLiteral("auto"));
        QCOMPARE(QApplication::style()->name(), styleBefore);
        QCOMPARE(QApplication::palette().color(QPalette::Window), paletteBefore.color(QPalette::Window));
        QCOMPARE(appearance.current(), QStringLiteral("auto"));

        appearance.apply(QStringLiteral("dark"));
        appearance.apply(QStringLiteral("system")); // any other value: back to the default
        QCOMPARE(QApplication::palette().color(QPalette::Window), paletteBefore.color(QPalette::Window));
    }

    void languagesAreStoredAndApplied() {
        const QString ini = dir.filePath(QStringLiteral("languages.ini"));
        const QLocale before;
        {
            SettingsLanguageStore store(ini);
            QVERIFY(!store.languages().has_value());
            store.apply(); // nothing stored: the locale stays
            QCOMPARE(QLocale(), before);
            store.setLanguages({QStringLiteral("fr"), QStringLiteral("en")});
        }
        SettingsLanguageStore store(ini);
        QCOMPARE(store.languages(), std::optional<QStringList>({QStringLiteral("fr"), QStringLiteral("en")}));
        QVERIFY(!store.systemLanguages().isEmpty());
        store.apply();
        QCOMPARE(QLocale().language(), QLocale::French);
        // The text lookup stores a single language; an INI file must give back a list of one, not a text.
        store.setLanguages({QStringLiteral("de")});
        QCOMPARE(SettingsLanguageStore(ini).languages(), std::optional<QStringList>(QStringList{QStringLiteral("de")}));
        if (QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) +
                          QStringLiteral("/qtbase_fr.qm")))
            QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Annuler"));
        QLocale::setDefault(before);
    }

    void clipboardCountsChanges() {
        QtClipboardSource source;
        const qint64 start = source.changeCount();
        QApplication::clipboard()->setText(QStringLiteral("https://a.example/x"));
        QTRY_VERIFY(source.changeCount() > start);
        QCOMPARE(source.text(), std::optional<QString>(QStringLiteral("https://a.example/x")));
        const qint64 afterCopy = source.changeCount();
        QCOMPARE(source.text(), std::optional<QString>(QStringLiteral("https://a.example/x")));
        QCOMPARE(source.changeCount(), afterCopy); // reading changes nothing
        QApplication::clipboard()->clear();
        QTRY_VERIFY(source.changeCount() > afterCopy);
        QVERIFY(!source.text().has_value() || source.text()->isEmpty());
    }
};

QTEST_MAIN(TestDesktopServices)
#include "tst_desktopservices.moc"
