// The cookie export's own work for a large jar: picking one site's cookies, formatting the file, and
// writing it owner-only in a private folder.
#include "NetscapeCookieFile.h"
#include "PrivateFolder.h"

#include <QDateTime>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

QList<QNetworkCookie> jar(int count) {
    QList<QNetworkCookie> cookies;
    const QDateTime expiry = QDateTime::currentDateTimeUtc().addDays(30);
    for (int i = 0; i < count; ++i) {
        QNetworkCookie c("name" + QByteArray::number(i), QByteArray(64, 'v'));
        c.setDomain(i % 2 ? QStringLiteral(".site%1.test").arg(i % 500)
                          : QStringLiteral("www.site%1.test").arg(i % 500));
        c.setPath(QStringLiteral("/"));
        c.setExpirationDate(expiry);
        cookies.append(c);
    }
    return cookies;
}

QList<QNetworkCookie> matching(const QList<QNetworkCookie>& cookies, const QString& host) {
    QList<QNetworkCookie> out;
    for (const QNetworkCookie& c : cookies) {
        if (NetscapeCookieFile::domainMatchesHost(c.domain(), host))
            out.append(c);
    }
    return out;
}

void BM_PickAndFormat(benchmark::State& state) {
    const QList<QNetworkCookie> cookies = jar(int(state.range(0)));
    const QString host = NetscapeCookieFile::cookieHost(QStringLiteral("https://www.site7.test/watch?v=1"));
    for (auto _ : state)
        benchmark::DoNotOptimize(NetscapeCookieFile::text(matching(cookies, host)));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_PickAndFormat)->Arg(1000)->Arg(10000)->Arg(100000);

void BM_WriteOwnerOnly(benchmark::State& state) {
    QTemporaryDir tmp;
    const std::optional<PrivateFolder> folder = PrivateFolder::open(tmp.filePath(QStringLiteral("exports")));
    const QByteArray text = NetscapeCookieFile::text(jar(int(state.range(0))));
    for (auto _ : state)
        benchmark::DoNotOptimize(folder->writeFile(QStringLiteral("vamber-browser-cookies-x.txt"), text));
    state.SetBytesProcessed(state.iterations() * text.size());
}
BENCHMARK(BM_WriteOwnerOnly)->Arg(20)->Arg(1000);

} // namespace

BENCHMARK_MAIN();
