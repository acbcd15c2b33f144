// The kit of the painted lists: row icons come from a bounded cache that follows the icon theme, every
// list draws the same check box, and alerts are built in one place.
#include "DownloadQueue.h"
#include "ViewHelpers.h"

#include "JobListModel.h"
#include "batch/ListingRowDelegate.h"
#include "batch/ListingRowsModel.h"
#include "kit/Alert.h"
#include "kit/Icons.h"
#include "kit/RowDelegate.h"
#include "rows/JobRowContent.h"
#include "rows/JobRowDelegate.h"

#include <QDir>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QPushButton>
#include <QScopeGuard>
#include <QStandardItemModel>
#include <QTemporaryDir>

using Kind = Job::State::Kind;

namespace {

// An icon theme in which every symbol of the table is a filled square.
bool writeSquareTheme(const QString& root, const QString& name) {
    QDir dir(root);
    if (!dir.mkpath(name + QStringLiteral("/64x64")))
        return false;
    QFile index(dir.filePath(name + QStringLiteral("/index.theme")));
    if (!index.open(QIODevice::WriteOnly))
        return false;
    index.write("[Icon Theme]\nName=Squares\nComment=Squares\nDirectories=64x64\n\n"
                "[64x64]\nSize=64\nType=Fixed\n");
    index.close();
    QImage square(64, 64, QImage::Format_ARGB32);
    square.fill(Qt::black);
    for (const Icons::Entry& e : Icons::table()) {
        for (const QString& icon : e.names) {
            if (!square.save(dir.filePath(QStringLiteral("%1/64x64/%2.png").arg(name, icon))))
                return false;
        }
    }
    return true;
}

// Whether every pixel of `area` of `image` is `colour`, up to rounding.
bool filledWith(const QImage& image, const QRect& area, const QColor& colour) {
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor at = image.pixelColor(x, y);
            if (qAbs(at.red() - colour.red()) > 2 || qAbs(at.green() - colour.green()) > 2 ||
                qAbs(at.blue() - colour.blue()) > 2)
                return false;
        }
    }
    return true;
}

// `ink` as it shows over the rows' background.
QColor shown(const QColor& ink) {
    QImage pixel(1, 1, QImage::Format_ARGB32_Premultiplied);
    pixel.fill(Theme::palette().color(QPalette::Window));
    QPainter(&pixel).fillRect(pixel.rect(), ink);
    return pixel.pixelColor(0, 0);
}

QImage paintRow(QStyledItemDelegate& delegate, const QModelIndex& index, QSize size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Theme::palette().color(QPalette::Window));
    QPainter painter(&image);
    QStyleOptionViewItem option;
    option.rect = QRect(QPoint(0, 0), size);
    option.state = QStyle::State_Enabled;
    delegate.paint(&painter, option, index);
    return image;
}

} // namespace

class TestRowKit : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        Icons::install();
        ViewFixture::useAppearance(false);
    }

    // A row icon is drawn from the icon theme in use: a change of theme is seen at the next painting,
    // each icon in the ink of its state.
    void rowIconsFollowTheIconTheme() {
        StateFixture f;
        f.boot();
        auto done = jobIn(Kind::Done, QStringLiteral("http://127.0.0.1:9/a.mp4"));
        f.model->queuePart().insertJobs(0, {done});
        JobListModel rows(&f.model->queuePart());
        QListView view;
        auto* delegate = new JobRowDelegate(f.model.get(), &view);
        const QSize size(640, JobRowDelegate::rowHeight);
        const QModelIndex index = rows.index(0);
        const JobRowContent content = JobRowContent::of(*done);
        auto glyph = [&](int i) {
            const QPoint centre = JobRowDelegate::iconRect(QRect(QPoint(0, 0), size), i).center();
            return QRect(centre - QPoint(5, 5), QSize(10, 10));
        };
        const QImage before = paintRow(*delegate, index, size);

        QTemporaryDir root;
        QVERIFY(writeSquareTheme(root.path(), QStringLiteral("vamber-squares")));
        const QStringList paths = QIcon::themeSearchPaths();
        const QString theme = QIcon::themeName();
        // Put back even when a check below fails, for the tests that follow in this program.
        auto restore = qScopeGuard([&] {
            QIcon::setThemeName(theme);
            QIcon::setThemeSearchPaths(paths);
        });
        QIcon::setThemeSearchPaths(paths + QStringList{root.path()});
        QIcon::setThemeName(QStringLiteral("vamber-squares"));
        const QImage squares = paintRow(*delegate, index, size);
        for (int i = 0; i < JobRowContent::actionCount; ++i) {
            const QColor ink =
                shown(Theme::ink(content.icons[i].enabled ? Theme::Ink::Secondary : Theme::Ink::Quaternary));
            QVERIFY2(filledWith(squares, glyph(i), ink), qPrintable(QString::number(i)));
            QVERIFY(!filledWith(before, glyph(i), ink));
        }

        restore.dismiss();
        QIcon::setThemeName(theme);
        QIcon::setThemeSearchPaths(paths);
        QCOMPARE(paintRow(*delegate, index, size), before);
    }

    // The listing picker's entries draw the check box the library rows draw.
    void entriesDrawTheKitsCheckBox_data() {
        QTest::addColumn<bool>("checked");
        QTest::addColumn<bool>("dark");
        QTest::newRow("off") << false << false;
        QTest::newRow("on") << true << false;
        QTest::newRow("off, dark") << false << true;
        QTest::newRow("on, dark") << true << true;
    }
    void entriesDrawTheKitsCheckBox() {
        QFETCH(bool, checked);
        QFETCH(bool, dark);
        ViewFixture::useAppearance(dark);
        QStandardItemModel rows;
        auto* entry = new QStandardItem(QStringLiteral("Episode 1"));
        entry->setData(int(ListingRowsModel::Kind::Entry), ListingRowsModel::KindRole);
        entry->setData(checked ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
        rows.appendRow(entry);
        ListingRowDelegate delegate;
        const QSize size(400, ListingRowDelegate::entryHeight());
        const QImage painted = paintRow(delegate, rows.index(0, 0), size);

        QStyle* style = QApplication::style();
        const QSize box(style->pixelMetric(QStyle::PM_IndicatorWidth),
                        style->pixelMetric(QStyle::PM_IndicatorHeight));
        const QRect at(QPoint(ListingRowDelegate::inset, (size.height() - box.height()) / 2), box);
        QImage expected(size, QImage::Format_ARGB32_Premultiplied);
        expected.fill(Theme::palette().color(QPalette::Window));
        {
            QPainter painter(&expected);
            RowDelegate::paintCheckBox(&painter, at, checked);
        }
        ViewFixture::useAppearance(false);
        QCOMPARE(painted.copy(at.adjusted(-1, -1, 1, 1)), expected.copy(at.adjusted(-1, -1, 1, 1)));
    }

    // One builder makes every alert: its names, its texts as written, the text's width, and the buttons
    // that Return and Escape press.
    void alerts_data() {
        QTest::addColumn<std::vector<Alert::Button>>("buttons");
        QTest::addColumn<QString>("defaultKey");
        QTest::addColumn<QString>("escapeKey");
        QTest::newRow("a destructive choice cancels by default")
            << std::vector<Alert::Button>{{QStringLiteral("button_delete_model"),
                                           QMessageBox::DestructiveRole},
                                          {QStringLiteral("button_cancel"), QMessageBox::RejectRole}}
            << QStringLiteral("button_cancel") << QStringLiteral("button_cancel");
        QTest::newRow("a lone button is what Escape presses")
            << std::vector<Alert::Button>{{QStringLiteral("button_close"), QMessageBox::AcceptRole}}
            << QString() << QStringLiteral("button_close");
    }
    void alerts() {
        QFETCH(std::vector<Alert::Button>, buttons);
        QFETCH(QString, defaultKey);
        QFETCH(QString, escapeKey);
        QWidget window;
        QVERIFY(showAt(&window, {900, 620}));
        const QString message = QStringLiteral("<b>Not bold</b> & a sentence long enough to be wrapped");
        auto make = [&](int width) {
            return Alert::make(
                {QStringLiteral("title_delete_model"), QMessageBox::Warning, message, buttons, width},
                &window);
        };
        QMessageBox* narrow = make(0);
        QMessageBox* box = make(480);
        box->open();
        narrow->show();
        QVERIFY(QTest::qWaitForWindowExposed(box));
        QVERIFY(QTest::qWaitForWindowExposed(narrow));
        // The width holds when the box lays itself out anew (as a change of icon or style makes it).
        box->setIcon(QMessageBox::Warning);
        narrow->setIcon(QMessageBox::Warning);

        QCOMPARE(box->objectName(), QStringLiteral("title_delete_model"));
        QCOMPARE(box->text(), Strings::text(QStringLiteral("title_delete_model")));
        QCOMPARE(box->windowTitle(), box->text());
        QCOMPARE(box->informativeText(), message);
        QCOMPARE(box->windowModality(), Qt::WindowModal);
        // The message shows its markup as written.
        int shown = 0;
        for (const QLabel* label : box->findChildren<QLabel*>()) {
            if (label->text() == message) {
                QCOMPARE(label->textFormat(), Qt::PlainText);
                QVERIFY(label->width() >= 480);
                ++shown;
            }
        }
        QCOMPARE(shown, 1);
        QVERIFY(box->width() > narrow->width());
        for (const Alert::Button& b : buttons) {
            auto* button = box->findChild<QPushButton*>(b.key);
            QVERIFY(button);
            QCOMPARE(button->text(), Strings::text(b.key));
            QCOMPARE(box->buttonRole(button), b.role);
        }
        QCOMPARE(box->defaultButton() ? box->defaultButton()->objectName() : QString(), defaultKey);
        QCOMPARE(box->escapeButton() ? box->escapeButton()->objectName() : QString(), escapeKey);
        delete narrow;
        delete box;
    }
};

QTEST_MAIN(TestRowKit)
#include "tst_rowkit.moc"
