#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QObject>
#include <QTcpServer>

// A tiny HTTP/1.1 server on 127.0.0.1 for the browser tests, also spoken to as a proxy. Routes:
//   /set     sets the cookies listed in setCookieHeaders()
//   /cached  a response the browser may keep for an hour; its body counts the requests that reached us
//   /untitled a document without a title
//   /demo/<title> a video page titled <title> (percent-decoded), for pictures of the browser
//   /demolink/<title>?<other> the same with a button that opens /demo/<other> in a new window
//   /held    never answers, so the page stays loading
//   anything else: a small HTML page titled "page"
// Every request is recorded with its Host and Cookie headers.
class LocalHttpServer : public QObject {
    Q_OBJECT
public:
    struct Request {
        QByteArray path;
        QByteArray host;
        QByteArray cookie;
    };

    explicit LocalHttpServer(QObject* parent = nullptr);
    quint16 port() const { return m_server.serverPort(); }
    // http://<host>:<port><path>
    QString url(const QString& host, const QString& path) const;

    // The expiry the persistent cookies get: midnight UTC after tomorrow, in whole seconds.
    QDateTime cookieExpiry() const { return m_expiry; }
    QList<QByteArray> setCookieHeaders() const;

    const QList<Request>& requests() const { return m_requests; }
    int cachedHits() const { return m_cachedHits; }

private:
    void serve(QTcpSocket* socket);
    static QByteArray demoPage(const QByteArray& title, const QByteArray& newWindowLink = {});

    QTcpServer m_server;
    QDateTime m_expiry;
    QList<Request> m_requests;
    int m_cachedHits = 0;
};
