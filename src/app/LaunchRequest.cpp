#include "LaunchRequest.h"

#include <QCommandLineParser>

namespace {

struct Parser {
    QCommandLineParser parser;
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help.")};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("Show the version.")};
    QCommandLineOption downloadText{QStringLiteral("download-text"),
                                    QStringLiteral("Download TEXT, as handed over by another program "
                                                   "(any text but blank; the address is checked later)."),
                                    QStringLiteral("TEXT")};
    QCommandLineOption download{QStringLiteral("download"),
                                QStringLiteral("Download URL without asking where to save it; prints the "
                                               "download's title."),
                                QStringLiteral("URL")};
    QCommandLineOption downloadClipboard{
        QStringLiteral("download-clipboard"),
        QStringLiteral("Download the link on the clipboard without asking where to save it.")};
    QCommandLineOption quality{
        QStringLiteral("quality"),
        QStringLiteral("The quality for --download and --download-clipboard: %1 "
                       "(default %2).")
            .arg(LaunchRequest::qualities().join(QStringLiteral(", ")), LaunchRequest::defaultQuality()),
        QStringLiteral("Q"), LaunchRequest::defaultQuality()};

    Parser() {
        parser.setApplicationDescription(
            QStringLiteral("Vamber downloads video and audio, keeps a searchable library and transcribes "
                           "media. A launch while Vamber runs hands its request to the running copy."));
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        parser.addOptions({help, version, download, downloadClipboard, downloadText, quality});
        parser.addPositionalArgument(
            QStringLiteral("links"),
            QStringLiteral("vamber://download?url=…[&quality=…] links or web addresses to download, in "
                           "order; others are skipped."),
            QStringLiteral("[links…]"));
    }
};

LaunchRequest only(LaunchRequest::Verb verb, const QString& error = {}) {
    LaunchRequest r;
    r.verb = verb;
    r.error = error;
    return r;
}
LaunchRequest invalid(const QString& error) {
    return only(LaunchRequest::Verb::Invalid, error);
}

} // namespace

QStringList LaunchRequest::qualities() {
    return {QStringLiteral("8K"),   QStringLiteral("4K"),   QStringLiteral("1440p"), QStringLiteral("1080p"),
            QStringLiteral("720p"), QStringLiteral("480p"), QStringLiteral("360p"),  QStringLiteral("audio")};
}

QString LaunchRequest::helpText(const QString& program) {
    Parser p;
    QString text = p.parser.helpText();
    // The usage line names whatever started us (or nothing without an application object).
    const qsizetype end = text.indexOf(QLatin1Char('\n'));
    const QString usage = QStringLiteral("Usage: %1 [options] [links…]").arg(program);
    return end < 0 ? usage : usage + text.mid(end);
}

LaunchRequest LaunchRequest::parse(const QStringList& arguments) {
    Parser p;
    if (!p.parser.parse(QStringList{QStringLiteral("vamber")} + arguments))
        return invalid(p.parser.errorText());

    if (p.parser.isSet(p.help))
        return only(Verb::Help);
    if (p.parser.isSet(p.version))
        return only(Verb::Version);

    // Every option given, repeats included.
    const QStringList names = p.parser.optionNames();
    const qsizetype given = names.count(QStringLiteral("download")) +
                            names.count(QStringLiteral("download-clipboard")) +
                            names.count(QStringLiteral("download-text"));
    if (given > 1)
        return invalid(QStringLiteral("Give one of --download, --download-clipboard and --download-text, "
                                      "once."));
    const QStringList links = p.parser.positionalArguments();
    if (given == 1 && !links.isEmpty())
        return invalid(QStringLiteral("Links cannot follow --download, --download-clipboard or "
                                      "--download-text: %1")
                           .arg(links.join(QLatin1Char(' '))));
    const bool takesQuality = p.parser.isSet(p.download) || p.parser.isSet(p.downloadClipboard);
    if (p.parser.isSet(p.quality)) {
        if (!takesQuality)
            return invalid(QStringLiteral("--quality goes with --download or --download-clipboard."));
        if (names.count(QStringLiteral("quality")) > 1)
            return invalid(QStringLiteral("Give --quality once."));
    }
    const QString quality = p.parser.value(p.quality);
    if (takesQuality && !qualities().contains(quality))
        return invalid(QStringLiteral("Unknown quality \"%1\": use one of %2.")
                           .arg(quality, qualities().join(QStringLiteral(", "))));

    LaunchRequest r;
    if (p.parser.isSet(p.download)) {
        r.verb = Verb::Download;
        r.text = p.parser.value(p.download);
        r.quality = quality;
    } else if (p.parser.isSet(p.downloadClipboard)) {
        r.verb = Verb::DownloadClipboard;
        r.quality = quality;
    } else if (p.parser.isSet(p.downloadText)) {
        r.verb = Verb::DownloadText;
        r.text = p.parser.value(p.downloadText);
    } else if (!links.isEmpty()) {
        r.verb = Verb::Open;
        r.links = links;
    }
    return r;
}
