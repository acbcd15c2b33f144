#include "library/HighlightedExcerpt.h"

#include "kit/Theme.h"

namespace HighlightedExcerpt {

namespace {

QString escaped(const QString& plain) {
    return plain.toHtmlEscaped().replace(QLatin1Char('\n'), QLatin1String("<br/>"));
}

} // namespace

QString richText(const QString& text, const QColor& accent) {
    const QStringList pieces = text.split(openMark, Qt::KeepEmptyParts);
    QString html = QStringLiteral("<span style=\"white-space:pre-wrap\">");
    html += escaped(pieces.first());
    const QString colour = accent.name(QColor::HexRgb);
    for (qsizetype i = 1; i < pieces.size(); ++i) {
        QStringList parts = pieces[i].split(closeMark, Qt::KeepEmptyParts);
        html += QStringLiteral("<b><font color=\"%1\">%2</font></b>").arg(colour, escaped(parts.takeFirst()));
        // Only the first closing mark ends the run; later ones are part of the text.
        if (!parts.isEmpty())
            html += escaped(parts.join(closeMark));
    }
    html += QStringLiteral("</span>");
    return html;
}

QString richText(const QString& text) {
    return richText(text, Theme::ink(Theme::Ink::Accent));
}

QString plainText(const QString& text) {
    QString plain = text;
    plain.remove(openMark);
    plain.remove(closeMark);
    return plain;
}

} // namespace HighlightedExcerpt
