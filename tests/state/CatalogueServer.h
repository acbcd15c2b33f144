#pragma once

// A plain HTTP server on 127.0.0.1 over a folder holding a model catalogue with one model, "tiny", and
// that model's file, for the engine's own model store (VAMBER_MODEL_CATALOG = address).

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

class CatalogueServer {
public:
    static constexpr qint64 modelSize = 3 << 20;

    CatalogueServer() {
        QFile model(m_dir.filePath("ggml-tiny.bin"));
        model.open(QIODevice::WriteOnly);
        model.write(QByteArray(modelSize, 'm'));
        model.close();
        const QJsonObject catalogue{{"default", "tiny"},
                                    {"models", QJsonArray{QJsonObject{{"key", "tiny"},
                                                                      {"filename", "ggml-tiny.bin"},
                                                                      {"url", "ggml-tiny.bin"},
                                                                      {"downloadBytes", modelSize},
                                                                      {"peakMemoryBytes", 0}}}}};
        QFile file(m_dir.filePath("catalogue.json"));
        file.open(QIODevice::WriteOnly);
        file.write(QJsonDocument(catalogue).toJson());
        file.close();
        m_process.setProgram("/usr/bin/python3");
        m_process.setArguments(
            {"-u", "-m", "http.server", "0", "--bind", "127.0.0.1", "--directory", m_dir.path()});
        m_process.start();
        m_process.waitForStarted();
        if (!QTest::qWaitFor([&] { return m_process.canReadLine(); }, 10000))
            return;
        const auto match = QRegularExpression("port (\\d+)").match(QString::fromUtf8(m_process.readLine()));
        if (match.hasMatch())
            address = QStringLiteral("http://127.0.0.1:%1/catalogue.json").arg(match.captured(1));
    }
    ~CatalogueServer() {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    QString address;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
};
