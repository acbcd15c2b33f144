#include "Tray.h"

#include "FunnelIcon.h"
#include "TrayPanel.h"

#include "kit/Icons.h"
#include "kit/TextsFollow.h"

#include "AppModel.h"
#include "Fraction.h"
#include "Job.h"
#include "Strings.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QSystemTrayIcon>

namespace {

QString escapedForMenu(QString text) {
    // An "&" in a title is shown, never taken for a mnemonic.
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace

Tray::Tray(AppModel& model, QObject* parent)
    : QObject(parent), m_model(model), m_panel(std::make_unique<TrayPanel>(model)),
      m_menu(std::make_unique<QMenu>()), m_tray(new QSystemTrayIcon(this)) {
    m_menu->setObjectName(QStringLiteral("trayMenu"));
    m_tray->setContextMenu(m_menu.get());
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason != QSystemTrayIcon::Trigger)
            return;
        if (m_panel->isVisible()) {
            m_panel->hide();
            return;
        }
        const QRect where = m_tray->geometry();
        m_panel->popUpAt(where.isValid() ? QPoint(where.center().x(), where.bottom()) : QCursor::pos());
    });
    connect(m_panel.get(), &TrayPanel::openWindowRequested, this, &Tray::openWindowRequested);
    connect(m_panel.get(), &TrayPanel::quitRequested, this, &Tray::quitRequested);
    connect(m_menu.get(), &QMenu::aboutToShow, this, &Tray::rebuildMenu);
    connect(&m_model, &AppModel::activityChanged, this, &Tray::refresh);
    // Redrawn in the new text colour when the palette (light or dark) changes.
    qApp->installEventFilter(this);
    followTexts(m_model, this, [this] {
        refresh();
        rebuildMenu();
    });
}

Tray::~Tray() = default;

bool Tray::available() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void Tray::show() {
    m_tray->show();
}

bool Tray::eventFilter(QObject* watched, QEvent* event) {
    if (watched == qApp && event->type() == QEvent::ApplicationPaletteChange) {
        m_drawn = false;
        refresh();
    }
    return QObject::eventFilter(watched, event);
}

QIcon Tray::drawIcon(std::optional<double> progress) {
    const QColor ink = QApplication::palette().color(QPalette::Active, QPalette::WindowText);
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64}) {
        for (const qreal ratio : {1.0, 2.0})
            icon.addPixmap(QPixmap::fromImage(FunnelIcon::image(size, ratio, ink, progress)));
    }
    return icon;
}

QString Tray::toolTipFor(std::optional<double> progress) {
    const QString name = QStringLiteral("Vamber");
    return progress ? name + QStringLiteral(" — ") + FunnelIcon::label(progress) : name;
}

void Tray::refresh() {
    const std::optional<double> progress = m_model.overallProgress();
    // Drawn again only when the whole percentage (or its absence) changes.
    const std::optional<int> percent = progress ? std::optional<int>(percentOf(*progress)) : std::nullopt;
    if (!m_drawn || percent != m_shownPercent) {
        m_drawn = true;
        m_shownPercent = percent;
        m_icon = drawIcon(progress ? std::optional<double>(*percent / 100.0) : std::nullopt);
        m_tray->setIcon(m_icon);
    }
    m_toolTip = toolTipFor(progress);
    m_tray->setToolTip(m_toolTip);
    if (m_menu->isVisible())
        rebuildMenu();
}

void Tray::rebuildMenu() {
    m_menu->clear();
    QAction* open = m_menu->addAction(Strings::text(QStringLiteral("button_open_group")));
    open->setObjectName(QStringLiteral("button_open_group"));
    connect(open, &QAction::triggered, this, &Tray::openWindowRequested);
    QAction* paste = m_menu->addAction(Icons::icon(QStringLiteral("doc.on.clipboard")),
                                       Strings::text(QStringLiteral("menu_paste")));
    paste->setObjectName(QStringLiteral("menu_paste"));
    connect(paste, &QAction::triggered, m_panel.get(), &TrayPanel::pasteAndSend);

    const std::vector<std::shared_ptr<Job>> jobs = m_model.allActiveJobs();
    if (!jobs.empty())
        m_menu->addSeparator();
    for (size_t i = 0; i < jobs.size() && i < size_t(TrayPanel::maxJobs); ++i) {
        const QString label = QStringLiteral("%1 — %2%")
                                  .arg(escapedForMenu(jobs[i]->title()))
                                  .arg(percentOf(jobs[i]->fraction()));
        QAction* entry = m_menu->addAction(label);
        entry->setObjectName(QStringLiteral("trayJob"));
        entry->setEnabled(false);
    }
    m_menu->addSeparator();
    QAction* quit = m_menu->addAction(
        Strings::text(QStringLiteral("menu_quit"), {{QStringLiteral("app"), QStringLiteral("Vamber")}}));
    quit->setObjectName(QStringLiteral("menu_quit"));
    connect(quit, &QAction::triggered, this, &Tray::quitRequested);
}
