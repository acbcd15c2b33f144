#include "QtAppActivity.h"

#include <QGuiApplication>

QtAppActivity::QtAppActivity(QObject* parent)
    : AppActivity(parent), m_active(QGuiApplication::applicationState() == Qt::ApplicationActive) {
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        const bool active = state == Qt::ApplicationActive;
        if (active == m_active)
            return;
        m_active = active;
        Q_EMIT activeChanged(active);
    });
}
