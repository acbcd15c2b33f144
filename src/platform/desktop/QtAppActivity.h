#pragma once

#include "AppActivity.h"

// Active while the application has a window in front (Qt::ApplicationActive).
class QtAppActivity : public AppActivity {
    Q_OBJECT
public:
    explicit QtAppActivity(QObject* parent = nullptr);

    bool isActive() const override { return m_active; }

private:
    bool m_active;
};
