// vamber-share: hands the first link of what another program shares to the running Vamber, as a deep
// link opened through the desktop (which routes vamber: links to Vamber).
#include "SharedItems.h"
#include "VamberURL.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringDecoder>
#include <QTextStream>

#include <cstdio>
#include <optional>

namespace {
// Far more than any list of links another program hands over; an endless stream is never read whole.
constexpr qsizetype inputLimit = 1024 * 1024;

// The lines of standard input, or nothing when it is not text (a NUL byte, not UTF-8) or too long.
std::optional<QStringList> readLines(FILE* stream, QString* why) {
    QByteArray bytes;
    char buffer[65536];
    size_t n = 0;
    while ((n = fread(buffer, 1, sizeof buffer, stream)) > 0) {
        bytes.append(buffer, qsizetype(n));
        if (bytes.size() > inputLimit) {
            *why =
                QStringLiteral("standard input is longer than %1 bytes: not a shared link").arg(inputLimit);
            return std::nullopt;
        }
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(bytes);
    if (utf8.hasError() || bytes.contains('\0')) {
        *why = QStringLiteral("standard input is not text: not a shared link");
        return std::nullopt;
    }
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    }
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
    if (items.isEmpty()) {
        QString why;
        const std::optional<QStringList> lines = readLines(stdin, &why);
        if (!lines)
            return fail(why);
        items = *lines;
    }

    const SharedItems::Pick pick = SharedItems::pick(items, QDir::currentPath());
    if (pick.kind == SharedItems::Pick::Kind::Refused)
        return fail(pick.reason);
    const std::optional<QUrl> link =
        pick.kind == SharedItems::Pick::Kind::Link ? VamberURL::deepLink(pick.link) : std::nullopt;
    if (!link)
        return fail(QStringLiteral("nothing to send: no web address was shared (VamberShare error 1)"));
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
