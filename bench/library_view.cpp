// The Library tab over a library of 10,000 items (and 1,000 thumbnails) served by the stand-in engine,
// built by library_search_data.py into a cached folder.
//
// Shown offscreen, it prints: the milliseconds from a reload of the library to all pages read and to the
// new list painted (and the fewest rows the list showed meanwhile); the median milliseconds from a category
// click to the list painted again, and from a filter keystroke to the list painted again; and the resident
// memory the pane added once every page was in and the list scrolled to its end.

#include "AppModel.h"
#include "FakeServices.h"
#include "Library.h"
#include "LibraryWait.h"
#include "Session.h"
#include "SourceDir.h"

#include "kit/Icons.h"
#include "kit/SegmentedBar.h"
#include "library/LibraryPane.h"
#include "library/LibraryPaneModel.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QProcess>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <QCoro/QCoroTask>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int items = 10'000;
constexpr int segments = 10'000;

double ms(const QElapsedTimer& t) {
    return double(t.nsecsElapsed()) / 1e6;
}

// The 1, 5 and 15 minute load averages: the machine is shared.
QString loadAverage() {
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    return QString::fromLatin1(file.readAll()).section(QLatin1Char(' '), 0, 2);
}

double residentMegabytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

// Counts the paints of the list's viewport.
class PaintCounter : public QObject {
public:
    int paints = 0;
    QEventLoop* waiting = nullptr; // quit at the next paint
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
            if (waiting)
                waiting->quit();
        }
        return false;
    }
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Icons::install();
    const QString data = QStringLiteral(VAMBER_BINARY_DIR "/bench-data/library_view");
    std::printf("building the library in %s (once)...\n", qPrintable(data));
    std::fflush(stdout);
    QProcess build;
    build.setProcessChannelMode(QProcess::ForwardedChannels);
    build.start("/usr/bin/python3",
                {VAMBER_SOURCE_DIR "/bench/library_search_data.py", VAMBER_SOURCE_DIR "/Engine", data,
                 QString::number(items), QString::number(segments)});
    if (!build.waitForFinished(-1) || build.exitCode() != 0) {
        std::fprintf(stderr, "could not build the data\n");
        return 1;
    }

    FakeServices fakes;
    EngineLocations locations;
    locations.developmentRoot = QStringLiteral(VAMBER_SOURCE_DIR);
    locations.appVersion = QStringLiteral("9.9.9");
    locations.environment = QProcessEnvironment::systemEnvironment();
    locations.environment.insert("VAMBER_PYTHON", "/usr/bin/python3");
    locations.environment.insert("VAMBER_SUPPORT_DIR", data + "/support");
    locations.environment.insert("XDG_DATA_HOME", data + "/xdg");
    locations.environment.insert("HOME", data);
    locations.environment.remove("VAMBER_ENGINE_SERVER");
    locations.environment.remove("VAMBER_ENGINE_TEST");
    AppModel model(fakes.services(), locations);
    QCoro::waitFor(model.sessionPart().boot());
    waitForLibrary(
        model, [&] { return !model.libraryPart().libraryHasMore() && !model.libraryPart().libraryLoading(); },
        600000);
    const std::size_t total = model.libraryPart().library().size();
    QTest::qWait(200);
    const double before = residentMegabytes();

    LibraryPane pane(&model, {});
    pane.resize(1020, 700);
    pane.show();
    if (!QTest::qWaitForWindowExposed(&pane))
        return 1;
    PaintCounter counter;
    pane.list()->viewport()->installEventFilter(&counter);
    QTest::qWait(100);

    // A reload: the list stays as it is while the pages are read, then the new list is painted.
    int fewestRows = pane.rows()->rowCount();
    const int rowsBefore = fewestRows;
    auto countRows = [&] { fewestRows = std::min(fewestRows, pane.rows()->rowCount()); };
    const QMetaObject::Connection removals =
        QObject::connect(pane.rows(), &QAbstractItemModel::rowsRemoved, &pane, countRows);
    const QMetaObject::Connection resets =
        QObject::connect(pane.rows(), &QAbstractItemModel::modelReset, &pane, countRows);
    QElapsedTimer t;
    t.start();
    QCoro::waitFor(model.libraryPart().reloadLibrary());
    waitForLibrary(
        model, [&] { return !model.libraryPart().libraryHasMore() && !model.libraryPart().libraryLoading(); },
        600000);
    const double allPages = ms(t);
    // The swap of the last page asked for a paint, which comes on a later turn of the event loop.
    {
        QEventLoop loop;
        counter.waiting = &loop;
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        loop.exec();
        counter.waiting = nullptr;
    }
    const double painted = ms(t);
    QObject::disconnect(removals);
    QObject::disconnect(resets);

    // Scroll through to the end once, as a user paging would.
    QScrollBar* bar = pane.list()->verticalScrollBar();
    for (int v = 0; v <= bar->maximum(); v += std::max(1, bar->maximum() / 50)) {
        bar->setValue(v);
        QCoreApplication::processEvents();
    }
    bar->setValue(bar->maximum());
    QTest::qWait(200);
    const double after = residentMegabytes();

    auto* categories = pane.findChild<SegmentedBar*>(QStringLiteral("categoryBar"));
    std::vector<double> switches;
    for (int round = 0; round < 3; ++round) {
        for (const char* raw : {"video", "playlists", "all", "channels", "thumbnails", "all"}) {
            const int paints = counter.paints;
            QElapsedTimer s;
            s.start();
            QTest::mouseClick(categories->segment(QString::fromLatin1(raw)), Qt::LeftButton);
            if (!QTest::qWaitFor([&] { return counter.paints > paints; }, 10000))
                return 1;
            switches.push_back(ms(s));
        }
    }

    auto* filter = pane.findChild<QLineEdit*>(QStringLiteral("placeholder_filter"));
    std::vector<double> keystrokes;
    for (int round = 0; round < 3; ++round) {
        for (char key : QByteArray("clip 4")) {
            const int paints = counter.paints;
            QElapsedTimer s;
            s.start();
            QTest::keyClick(filter, key);
            if (!QTest::qWaitFor([&] { return counter.paints > paints; }, 10000))
                return 1;
            keystrokes.push_back(ms(s));
        }
        filter->clear();
        model.libraryPart().setLibrarySearch(QString());
        QTest::qWait(50);
    }

    std::printf("library of %zu items (thumbnails included), shown at 1020x700 offscreen, load average %s\n",
                total, qPrintable(loadAverage()));
    std::printf("reload to all pages read:            %8.1f ms\n", allPages);
    std::printf(
        "reload to the new list painted:      %8.1f ms (rows shown meanwhile: never fewer than %d of %d)\n",
        painted, fewestRows, rowsBefore);
    std::printf("category switch to repaint (median): %8.1f ms (worst %.1f)\n", median(switches),
                *std::max_element(switches.begin(), switches.end()));
    std::printf("filter keystroke to repaint (median):%8.1f ms (worst %.1f)\n", median(keystrokes),
                *std::max_element(keystrokes.begin(), keystrokes.end()));
    std::printf("resident memory added by the pane:   %8.1f MB\n", after - before);
    QCoro::waitFor(model.engine().stop());
    return 0;
}
