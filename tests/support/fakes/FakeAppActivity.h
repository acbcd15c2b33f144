#pragma once

#include "AppActivity.h"

class FakeAppActivity : public AppActivity {
    Q_OBJECT
public:
    using AppActivity::AppActivity;

    bool isActive() const override { return m_active; }
    void setActive(bool active) {
        if (m_active == active)
            return;
        m_active = active;
        Q_EMIT activeChanged(active);
    }

private:
    bool m_active = true;
};
