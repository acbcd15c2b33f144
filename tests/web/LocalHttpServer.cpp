#include "LocalHttpServer.h"

#include <QLocale>
#include <QTcpSocket>
#include <QTimeZone>
#include <QUrl>

LocalHttpServer::LocalHttpServer(QObject* parent) : QObject(parent) {
    m_expiry = QDateTime(QDateTime::currentDateTimeUtc().date().addDays(2), QTime(0, 0), QTimeZone::utc());
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
    m_server.listen(QHostAddress::LocalHost);
}

QString LocalHttpServer::url(const QString& host, const QString& path) const {
    return QStringLiteral("http://%1:%2%3").arg(host).arg(port()).arg(path);
}

QList<QByteArray> LocalHttpServer::setCookieHeaders() const {
    const QByteArray expires =
        QLocale::c().toString(m_expiry, QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'GMT'")).toLatin1();
    return {
        "host=h1; Path=/; Expires=" + expires,
        "dom=d2; Domain=site.test; Path=/; Expires=" + expires,
        "hidden=x3; HttpOnly; Path=/; Expires=" + expires,
        "sess=s4; Path=/",
    };
}

QByteArray LocalHttpServer::demoPage(const QByteArray& title, const QByteArray& newWindowLink) {
    return "<!doctype html><html><head><meta charset=\"utf-8\"><title>" + title +
           "</title><style>"
           "body{font-family:sans-serif;margin:0;background:#f3f4f7;color:#1f2430}"
           "header{background:#2b3a55;color:#fff;padding:14px 28px;font-weight:bold;letter-spacing:.5px}"
           "main{max-width:720px;margin:22px auto;padding:0 20px}"
           ".player{aspect-ratio:16/9;border-radius:10px;display:flex;align-items:center;"
           "justify-content:center;background:linear-gradient(135deg,#1d2b44,#4a6490)}"
           ".play{width:0;height:0;margin-left:10px;border-left:44px solid rgba(255,255,255,.9);"
           "border-top:27px solid transparent;border-bottom:27px solid transparent}"
           "h1{font-size:22px;margin:16px 0 6px}p{color:#555a66;line-height:1.5;margin:0}"
           ".open{position:absolute;left:24px;top:64px;width:300px;height:40px;line-height:40px;"
           "text-align:center;border-radius:8px;background:#2b5fb4;color:#fff;text-decoration:none}"
           "</style></head><body><header>Local Video Club</header>" +
           (newWindowLink.isEmpty() ? QByteArray()
                                    : "<a class=\"open\" target=\"_blank\" href=\"" + newWindowLink +
                                          "\">Watch in a new window</a><div style=\"height:56px\"></div>") +
           "<main><div class=\"player\">"
           "<div class=\"play\"></div></div><h1>" +
           title +
           "</h1><p>Twelve minutes across the city at dusk, filmed from the front window.</p>"
           "</main></body></html>";
}

void LocalHttpServer::serve(QTcpSocket* socket) {
    QByteArray data = socket->property("pending").toByteArray() + socket->readAll();
    const qsizetype end = data.indexOf("\r\n\r\n");
    if (end < 0) {
        socket->setProperty("pending", data);
        return;
    }
    socket->setProperty("pending", QByteArray());
    const QList<QByteArray> lines = data.left(end).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    Request request;
    request.path = requestLine.value(1);
    // As a proxy it is asked for whole addresses: keep only the path.
    if (request.path.startsWith("http://"))
        request.path = request.path.mid(request.path.indexOf('/', 7));
    for (const QByteArray& line : lines.mid(1)) {
        const qsizetype colon = line.indexOf(':');
        const QByteArray key = line.left(colon).trimmed().toLower();
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (key == "host")
            request.host = value;
        else if (key == "cookie")
            request.cookie = value;
    }
    m_requests.append(request);

    QByteArray headers = "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nConnection: close\r\n";
    QByteArray body = "<!doctype html><html><head><title>page</title></head><body>page</body></html>";
    const QByteArray path = request.path.split('?').value(0);
    if (path == "/set") {
        for (const QByteArray& cookie : setCookieHeaders())
            headers += "Set-Cookie: " + cookie + "\r\n";
        headers += "Cache-Control: no-store\r\n";
    } else if (path == "/cached") {
        ++m_cachedHits;
        headers += "Cache-Control: max-age=3600\r\n";
        body = "<!doctype html><html><head><title>cached-" + QByteArray::number(m_cachedHits) +
               "</title></head><body>cached</body></html>";
    } else if (path == "/held") {
        return; // the browser waits for an answer that never comes
    } else if (path.startsWith("/demo/")) {
        headers += "Cache-Control: no-store\r\n";
        body = demoPage(QUrl::fromPercentEncoding(path.mid(6)).toHtmlEscaped().toUtf8());
    } else if (path.startsWith("/demolink/")) {
        // A video page whose button opens the other page named in the query in a new window.
        headers += "Cache-Control: no-store\r\n";
        body =
            demoPage(QUrl::fromPercentEncoding(path.mid(10)).toHtmlEscaped().toUtf8(),
                     "/demo/" + QString::fromUtf8(request.path.split('?').value(1)).toHtmlEscaped().toUtf8());
    } else if (path == "/untitled") {
        headers += "Cache-Control: no-store\r\n";
        body = "<!doctype html><html><body>no title</body></html>";
    } else {
        headers += "Cache-Control: no-store\r\n";
    }
    headers += "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n";
    socket->write(headers + body);
    socket->disconnectFromHost();
}
