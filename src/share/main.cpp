// vamber-share: hands the first link of what another program shares to the running Vamber, as a deep
// link opened through the desktop (which routes vamber: links to Vamber).
#include "SharedItems.h"
#include "VamberURL.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTextStream>

#include <cstdio>

namespace {
QStringList readLines(FILE* stream) {
    QStringList lines;
    QTextStream in(stream);
    QString line;
    while (in.readLineInto(&line))
        lines << line;
    return lines;
}

int fail(const QString& message) {
    QTextStream(stderr) << "vamber-share: " << message << Qt::endl;
    return 1;
}
} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vamber-share"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VAMBER_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Sends the first link among the arguments (or, with none, the lines of standard input) "
        "to Vamber as a download."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption print(
        QStringLiteral("print"),
        QStringLiteral("Write the deep link to standard output instead of opening it."));
    parser.addOption(print);
    parser.addPositionalArgument(QStringLiteral("items"), QStringLiteral("Links, files or text."),
                                 QStringLiteral("[items...]"));
    parser.process(app);

    QStringList items = parser.positionalArguments();
    if (items.isEmpty())
        items = readLines(stdin);

    const QStringList links = SharedItems::links(items, QDir::currentPath());
    const std::optional<QUrl> link = links.isEmpty() ? std::nullopt : VamberURL::deepLink(links.first());
    if (!link)
        return fail(QStringLiteral("nothing to send: no link was shared (VamberShare error 1)"));
    const QString text = link->toString(QUrl::FullyEncoded);

    if (parser.isSet(print)) {
        QTextStream(stdout) << text << Qt::endl;
        return 0;
    }
    const QString opener = QProcessEnvironment::systemEnvironment().value(
        QStringLiteral("VAMBER_SHARE_OPENER"), QStringLiteral("xdg-open"));
    // The opener's own answer is not awaited; that it could not even start is worth saying.
    if (!QProcess::startDetached(opener, {text}))
        return fail(QStringLiteral("could not start %1 to open %2").arg(opener, text));
    return 0;
}
