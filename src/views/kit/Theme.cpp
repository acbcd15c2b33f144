#include "kit/Theme.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QWidget>

namespace Theme {

namespace {

const char* inkProperty = "vamberInk";

void paintInk(QWidget* widget) {
    const QVariant value = widget->property(inkProperty);
    if (!value.isValid())
        return;
    const QPalette app = palette();
    QPalette p = widget->palette();
    const QColor colour = ink(static_cast<Ink>(value.toInt()), app);
    // Setting the palette sends another change: stop once it holds the ink.
    if (p.color(QPalette::Active, QPalette::WindowText) == colour &&
        p.color(QPalette::Inactive, QPalette::WindowText) == colour)
        return;
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        p.setColor(QPalette::Active, role, colour);
        p.setColor(QPalette::Inactive, role, colour);
        p.setColor(QPalette::Disabled, role, withOpacity(colour, colour.alphaF() * 0.5));
    }
    widget->setPalette(p);
}

// Re-inks a widget whenever the application palette changes (appearance switched): a window hears of it
// directly, a child through its own palette change.
class InkKeeper : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::ApplicationPaletteChange || event->type() == QEvent::PaletteChange)
            paintInk(static_cast<QWidget*>(watched));
        return false;
    }
};

InkKeeper* keeper() {
    static QPointer<InkKeeper> one;
    if (!one)
        one = new InkKeeper(qApp);
    return one;
}

} // namespace

QPalette palette() {
    return QApplication::palette();
}

bool isDark(const QPalette& palette) {
    return palette.color(QPalette::Window).lightnessF() < 0.5;
}

QColor withOpacity(QColor colour, double opacity) {
    colour.setAlphaF(static_cast<float>(qBound(0.0, opacity, 1.0)));
    return colour;
}

QColor ink(Ink which, const QPalette& p) {
    const bool dark = isDark(p);
    const QColor text = p.color(QPalette::Active, QPalette::WindowText);
    switch (which) {
    case Ink::Primary:
        return text;
    case Ink::Secondary:
        return withOpacity(text, dark ? 0.62 : 0.56);
    case Ink::Tertiary:
        return withOpacity(text, dark ? 0.42 : 0.36);
    case Ink::Quaternary:
        return withOpacity(text, dark ? 0.24 : 0.2);
    case Ink::Accent:
        return p.color(QPalette::Active, QPalette::Highlight);
    case Ink::OnAccent:
        return p.color(QPalette::Active, QPalette::HighlightedText);
    case Ink::Warning:
        return dark ? QColor(0xff, 0x9f, 0x0a) : QColor(0xd9, 0x6a, 0x00);
    case Ink::Caution:
        return dark ? QColor(0xff, 0xd6, 0x0a) : QColor(0xa6, 0x7c, 0x00);
    case Ink::Success:
        return dark ? QColor(0x32, 0xd7, 0x4b) : QColor(0x1e, 0x8e, 0x3e);
    case Ink::Danger:
        return dark ? QColor(0xff, 0x45, 0x3a) : QColor(0xd7, 0x00, 0x15);
    }
    return text;
}

QColor cardFill(const QPalette& p) {
    const QColor q = ink(Ink::Quaternary, p);
    return withOpacity(q, q.alphaF() * 0.28);
}

QColor cardBorder(const QPalette& p) {
    const QColor q = ink(Ink::Quaternary, p);
    return withOpacity(q, q.alphaF() * 0.6);
}

QColor segmentTrack(const QPalette& p) {
    const QColor q = ink(Ink::Quaternary, p);
    return withOpacity(q, q.alphaF() * 0.35);
}

QColor noticeFill(Ink which, const QPalette& p) {
    return withOpacity(ink(which, p), which == Ink::Accent ? 0.1 : 0.12);
}

void setForeground(QWidget* widget, Ink which) {
    const bool first = !widget->property(inkProperty).isValid();
    widget->setProperty(inkProperty, static_cast<int>(which));
    if (first)
        widget->installEventFilter(keeper());
    paintInk(widget);
}

} // namespace Theme
