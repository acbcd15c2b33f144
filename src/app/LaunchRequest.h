#pragma once

#include <QString>
#include <QStringList>

// What one launch of the program asks for, read from its command line (without the program's name):
//     vamber [LINK…]                                  open links (vamber: deep links or web addresses)
//     vamber --download-text TEXT                     download the text handed over by another program
//     vamber --download URL [--quality Q]             download an address at a quality
//     vamber --download-clipboard [--quality Q]       download the link on the clipboard
// plus --help and --version. No arguments at all bring the window back.
struct LaunchRequest {
    enum class Verb { Reopen, Open, DownloadText, Download, DownloadClipboard, Help, Version, Invalid };

    Verb verb = Verb::Reopen;
    QStringList links; // Open: in the order given
    QString text;      // DownloadText: the text as given; Download: the address
    QString quality;   // Download, DownloadClipboard: one of qualities()
    QString error;     // Invalid: what is wrong, for standard error

    static LaunchRequest parse(const QStringList& arguments);

    // The verbs whose launching process prints the running copy's answer and exits with its status
    // (the download verbs), whether or not a copy was running when it was launched.
    bool awaitsAnswer() const {
        return verb == Verb::Download || verb == Verb::DownloadClipboard || verb == Verb::DownloadText;
    }

    // The raw values a quality may take, best first, and the one used when none is given.
    static QStringList qualities();
    static QString defaultQuality() { return QStringLiteral("1080p"); }

    // The --help text, headed by a usage line naming `program`.
    static QString helpText(const QString& program = QStringLiteral("vamber"));
};
