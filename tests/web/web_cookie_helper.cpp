// A second process for the restart test: the same profile folder, used by one run after another.
//   web_cookie_helper load <root> <url> <count>        loads url, waits for <count> cookies, quits
//   web_cookie_helper export <root> <exportDir> <address> <url>
//                                                       prints the exported file's path, then loads url
#include "BrowserCookies.h"
#include "BrowserProfile.h"
#include "WebTestApp.h"

#include <QCoro/QCoroTask>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QWebEnginePage>

#include <cstdio>

namespace {

bool loadAndWait(BrowserProfile& profile, const QString& url) {
    QPointer<QWebEnginePage> page = profile.createPage();
    QSignalSpy finished(page.data(), &QWebEnginePage::loadFinished);
    page->load(QUrl(url));
    const bool ok = finished.wait(30000) && finished.first().first().toBool();
    delete page.data();
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    WebTestApp app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const QString mode = args.value(1);
    if (mode == QLatin1String("load") && args.size() >= 5) {
        BrowserProfile profile(args.at(2));
        if (!loadAndWait(profile, args.at(3)))
            return 3;
        const int count = args.at(4).toInt();
        if (!QTest::qWaitFor([&] { return profile.cookies().cookies().size() >= count; }, 10000))
            return 4;
        return 0;
    }
    if (mode == QLatin1String("export") && args.size() >= 6) {
        BrowserProfile profile(args.at(2));
        BrowserCookies cookies(&profile, args.at(3));
        const QString path = QCoro::waitFor(cookies.exportFor(args.at(4)));
        std::printf("%s\n", qPrintable(path));
        std::fflush(stdout);
        return loadAndWait(profile, args.at(5)) ? 0 : 3;
    }
    std::fprintf(stderr, "usage: web_cookie_helper load|export ...\n");
    return 2;
}
