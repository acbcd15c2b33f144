// A big batch run to the end: 500 links to a small file served on 127.0.0.1, pasted at once into the
// state object and downloaded by the stand-in engine (three at a time), with the library reloaded after
// every finished download as the application does. Nothing is scripted or held.
#include "DownloadQueue.h"
#include "StateFixture.h"

#include <QDir>
#include <QProcess>

#include <algorithm>

namespace {

constexpr int linkCount = 500;

// python3's own web server over a folder, on a free port of 127.0.0.1.
class FolderServer {
public:
    explicit FolderServer(const QString& folder) {
        m_process.setProgram(QStringLiteral("/usr/bin/python3"));
        m_process.setArguments({QStringLiteral("-u"), QStringLiteral("-m"), QStringLiteral("http.server"),
                                QStringLiteral("--bind"), QStringLiteral("127.0.0.1"), QStringLiteral("0"),
                                QStringLiteral("--directory"), folder});
        m_process.setProcessChannelMode(QProcess::MergedChannels);
    }
    ~FolderServer() {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    // The server's address, empty when it did not start.
    QString start() {
        m_process.start();
        QString seen;
        const bool up = QTest::qWaitFor(
            [&] {
                seen += QString::fromUtf8(m_process.readAll());
                return seen.contains(QLatin1String("port "));
            },
            30000);
        if (!up)
            return {};
        const QString port = seen.section(QStringLiteral("port "), 1).section(u' ', 0, 0);
        // Its log of every request is read and dropped.
        QObject::connect(&m_process, &QProcess::readyRead, [this] { m_process.readAll(); });
        return QStringLiteral("http://127.0.0.1:") + port;
    }

private:
    QProcess m_process;
};

} // namespace

class TestSoak : public QObject {
    Q_OBJECT
private slots:
    void fiveHundredDownloadsToTheEnd() {
        QTemporaryDir www;
        QVERIFY(www.isValid());
        const QByteArray body(16 * 1024, 'v');
        for (int i = 0; i < linkCount; ++i) {
            QFile file(www.filePath(QStringLiteral("clip%1.mp4").arg(i, 3, 10, QChar(u'0'))));
            QVERIFY(file.open(QIODevice::WriteOnly));
            QCOMPARE(file.write(body), body.size());
        }
        FolderServer server(www.path());
        const QString address = server.start();
        QVERIFY(!address.isEmpty());
        QStringList links;
        for (int i = 0; i < linkCount; ++i)
            links << QStringLiteral("%1/clip%2.mp4").arg(address).arg(i, 3, 10, QChar(u'0'));

        StateFixture f;
        f.startEngine();
        const QString out = f.path(QStringLiteral("out"));
        f.scriptSettings({{"outputDir", out}});
        f.boot();
        QCoro::waitFor(f.model->queuePart().enqueuePasted(links.join(u'\n')));
        QCOMPARE(f.model->queuePart().jobs().size(), size_t(linkCount));

        const auto finished = [&] {
            return std::all_of(f.model->queuePart().jobs().begin(), f.model->queuePart().jobs().end(),
                               [](const auto& job) { return job->state().isFinished(); });
        };
        QVERIFY(QTest::qWaitFor(finished, 240000));
        QStringList failures;
        for (const auto& job : f.model->queuePart().jobs()) {
            if (job->state().kind != Job::State::Done)
                failures << job->url() + QStringLiteral(": ") + job->state().message;
        }
        QVERIFY2(failures.isEmpty(), qPrintable(failures.mid(0, 5).join(u'\n')));
        const QStringList files = QDir(out).entryList(QDir::Files);
        QCOMPARE(files.size(), linkCount);
        for (const QString& name : files)
            QCOMPARE(QFileInfo(QDir(out).filePath(name)).size(), qint64(body.size()));
    }
};

QTEST_GUILESS_MAIN(TestSoak)
#include "tst_soak.moc"
