#pragma once

#include <QApplication>

#include <memory>

// A QApplication fit for the web engine in tests: no sandbox, since tests may run as root.
class WebTestApp {
public:
    WebTestApp(int& argc, char** argv) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
        m_app = std::make_unique<QApplication>(argc, argv);
    }

    // Sends every page request through the test's local server on 127.0.0.1 acting as a proxy, so pages
    // of made-up hosts ("www.site.test") reach it and nothing reaches any other machine. Must be called
    // before the first web profile is made; child processes inherit it.
    static void routeAllTrafficTo(quint16 port) {
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--proxy-server=127.0.0.1:" + QByteArray::number(port));
    }

private:
    std::unique_ptr<QApplication> m_app;
};
