// Renders the registered shots (Shots.h) into PNG files:
//     vamber_screenshots [--out DIR] [--list] [--display-shots] [filter…]
// Shots that need a display are skipped on the offscreen platform; --display-shots renders only those.
#include "Shots.h"

#include "kit/Icons.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QMenu>
#include <QPainter>
#include <QTextStream>

#include <memory>

namespace {

// The widget as shown, with the menus it opened where they pop up, and the dialogs it opened drawn over
// it on a dimmed window.
QImage render(QWidget* widget) {
    QImage image = widget->grab().toImage();
    for (QWidget* top : QApplication::topLevelWidgets()) {
        auto* menu = qobject_cast<QMenu*>(top);
        if (!menu || !menu->isVisible())
            continue;
        QPainter painter(&image);
        painter.drawPixmap(menu->mapToGlobal(QPoint()) - widget->mapToGlobal(QPoint()), menu->grab());
    }
    // The window's dialogs, then the ones they opened in turn (an alert over a sheet), each over its opener.
    QList<QWidget*> dialogs;
    QList<QWidget*> openers{widget->window()};
    for (bool found = true; found;) {
        found = false;
        for (QWidget* top : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<QDialog*>(top);
            if (dialog && dialog->isVisible() && dialog != widget && !dialogs.contains(dialog) &&
                dialog->parentWidget() && openers.contains(dialog->parentWidget()->window())) {
                dialogs << dialog;
                openers << dialog;
                found = true;
            }
        }
    }
    if (dialogs.isEmpty())
        return image;
    QPainter painter(&image);
    painter.fillRect(image.rect(), QColor(0, 0, 0, 70));
    const qreal dpr = image.devicePixelRatio();
    for (QWidget* dialog : dialogs) {
        const QImage part = dialog->grab().toImage();
        const QSizeF size = QSizeF(part.size()) / part.devicePixelRatio();
        const QPointF at((image.width() / dpr - size.width()) / 2,
                         (image.height() / dpr - size.height()) / 3);
        painter.setPen(QColor(0, 0, 0, 90));
        painter.drawRect(QRectF(at, size).adjusted(-1, -1, 0, 0));
        painter.drawImage(QRectF(at, size), part);
    }
    return image;
}

void closeDialogs() {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (qobject_cast<QDialog*>(top) && top->isVisible())
            top->close();
    }
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The web engine (browser shots) shares the application's OpenGL contexts.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    const bool offscreen = QGuiApplication::platformName() == QLatin1String("offscreen");
    Icons::install();
    QStringList filters = app.arguments().mid(1);
    QString out = QStringLiteral(VAMBER_SCREENSHOT_DIR);
    bool listOnly = false;
    bool displayOnly = false;
    for (int i = 0; i < filters.size();) {
        if (filters[i] == QLatin1String("--out") && i + 1 < filters.size()) {
            out = filters[i + 1];
            filters.remove(i, 2);
        } else if (filters[i] == QLatin1String("--list")) {
            listOnly = true;
            filters.remove(i);
        } else if (filters[i] == QLatin1String("--display-shots")) {
            displayOnly = true;
            filters.remove(i);
        } else {
            ++i;
        }
    }
    QDir().mkpath(out);
    QTextStream say(stdout);
    int written = 0;
    for (const Shot& shot : shots()) {
        const bool wanted =
            filters.isEmpty() || std::any_of(filters.begin(), filters.end(),
                                             [&](const QString& f) { return shot.name.contains(f); });
        if (!wanted || (displayOnly && !shot.options.needsDisplay))
            continue;
        if (shot.options.needsDisplay && offscreen && !listOnly) {
            say << "skipped " << shot.name << " (needs a display)\n";
            continue;
        }
        if (listOnly) {
            say << shot.name << '\n';
            continue;
        }
        for (const QString& language : {QStringLiteral("en"), QStringLiteral("fr")}) {
            ViewFixture::useAppearance(false);
            auto fixture = std::make_unique<ViewFixture>();
            if (shot.options.boot)
                fixture->bootIn(language);
            ShotContext context{*fixture, language};
            std::unique_ptr<QWidget> widget(shot.make(context));
            if (!widget) {
                say << "skipped " << shot.name << " (" << language << ")\n";
                continue;
            }
            widget->resize(shot.options.size);
            widget->show();
            ViewFixture::settle(150);
            for (const bool dark : {false, true}) {
                ViewFixture::useAppearance(dark);
                ViewFixture::settle(80);
                const QString file =
                    QStringLiteral("%1/%2-%3-%4.png")
                        .arg(out, shot.name, dark ? QStringLiteral("dark") : QStringLiteral("light"),
                             language);
                if (!render(widget.get()).save(file)) {
                    say << "could not write " << file << '\n';
                    return 1;
                }
                say << file << '\n';
                ++written;
            }
            say.flush();
            closeDialogs();
            widget.reset();
            ViewFixture::settle(20);
        }
    }
    say << written << " pictures\n";
    return 0;
}
