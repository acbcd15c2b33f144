#include "batch/PasteField.h"

#include "kit/TextStyle.h"
#include "kit/Theme.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QEvent>
#include <QFontDatabase>
#include <QTextBlock>

PasteField::PasteField(QWidget* parent) : QPlainTextEdit(parent) {
    QFont font = TextStyle::font(TextStyle::Role::Callout);
    font.setFamily(QFontDatabase::systemFont(QFontDatabase::FixedFont).family());
    font.setStyleHint(QFont::Monospace);
    setFont(font);
    document()->setDocumentMargin(0);
    setTabChangesFocus(true);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    restyle();
    // A widget with a style sheet keeps the palette of its sheet: inside a window it hears of no new
    // appearance, so the application's own event is watched.
    qApp->installEventFilter(this);
    connect(this, &QPlainTextEdit::textChanged, this, &PasteField::fit);
    connect(document()->documentLayout(), &QAbstractTextDocumentLayout::documentSizeChanged, this,
            &PasteField::fit);
    fit();
}

bool PasteField::event(QEvent* e) {
    if (e->type() == QEvent::ApplicationPaletteChange)
        restyle();
    return QPlainTextEdit::event(e);
}

bool PasteField::eventFilter(QObject* watched, QEvent* e) {
    if (watched == qApp && e->type() == QEvent::ApplicationPaletteChange)
        restyle();
    return QPlainTextEdit::eventFilter(watched, e);
}

void PasteField::resizeEvent(QResizeEvent* e) {
    QPlainTextEdit::resizeEvent(e);
    fit();
}

void PasteField::restyle() {
    const QPalette p = Theme::palette();
    const QColor quaternary = Theme::ink(Theme::Ink::Quaternary, p);
    // The text colour is named too: the sheet's palette would keep the text of the first appearance.
    const QString sheet =
        QStringLiteral("QPlainTextEdit { background: %1; border: 1px solid %2; border-radius: 6px;"
                       " padding: %3px; color: %4; }")
            .arg(Theme::withOpacity(quaternary, quaternary.alphaF() * 0.25).name(QColor::HexArgb),
                 quaternary.name(QColor::HexArgb))
            .arg(padding - 1)
            .arg(Theme::ink(Theme::Ink::Primary, p).name(QColor::HexArgb));
    if (sheet != styleSheet())
        setStyleSheet(sheet);
}

void PasteField::fit() {
    // Wrapped lines count: the plain-text layout measures its document in lines.
    int lines = 0;
    for (QTextBlock block = document()->begin(); block.isValid() && lines <= maxLines; block = block.next())
        lines += std::max(1, block.layout() ? block.layout()->lineCount() : 1);
    m_lines = std::clamp(lines, minLines, maxLines);
    const int height = m_lines * fontMetrics().lineSpacing() + 2 * padding + 2;
    if (height != this->height())
        setFixedHeight(height);
}
