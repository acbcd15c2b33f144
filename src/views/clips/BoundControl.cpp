#include "clips/BoundControl.h"

#include "AppModel.h"
#include "Strings.h"
#include "clips/TimecodeField.h"
#include "kit/TextStyle.h"
#include "kit/TextsFollow.h"
#include "kit/Theme.h"
#include "rows/RowIcon.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

BoundControl::BoundControl(PlayerSession* session, PlayerSession::Bound bound, QWidget* parent)
    : QWidget(parent), m_session(session), m_bound(bound) {
    const bool start = bound == PlayerSession::Bound::Start;
    setObjectName(start ? QStringLiteral("bound_start") : QStringLiteral("bound_end"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    m_title = new QLabel(this);
    TextStyle::apply(m_title, TextStyle::Role::Caption);
    Theme::setForeground(m_title, Theme::Ink::Secondary);
    column->addWidget(m_title);
    auto* row = new QHBoxLayout;
    row->setSpacing(6);
    m_field =
        new TimecodeField(start ? QStringLiteral("v2_clip_start") : QStringLiteral("v2_clip_end"), this);
    row->addWidget(m_field);
    m_take = new RowIcon(this);
    m_take->setObjectName(QStringLiteral("v2_clip_take_position"));
    m_earlier = new RowIcon(this);
    m_earlier->setObjectName(QStringLiteral("v2_clip_step_earlier"));
    m_later = new RowIcon(this);
    m_later->setObjectName(QStringLiteral("v2_clip_step_later"));
    m_take->setAction([this] { m_session->takePosition(m_bound); });
    m_earlier->setAction([this] { m_session->stepBound(m_bound, -1); });
    m_later->setAction([this] { m_session->stepBound(m_bound, +1); });
    row->addWidget(m_take);
    row->addWidget(m_earlier);
    row->addWidget(m_later);
    column->addLayout(row);

    connect(m_field, &TimecodeField::committed, this,
            [this](qint64 ms) { m_session->commitBound(m_bound, ms); });
    connect(session, &PlayerSession::boundsChanged, this, &BoundControl::sync);
    connect(session, &PlayerSession::timesChanged, this, &BoundControl::sync);
    followTexts(*session->model(), this, [this] { retranslate(); });
    sync();
}

void BoundControl::retranslate() {
    const bool start = m_bound == PlayerSession::Bound::Start;
    m_title->setText(Strings::text(start ? QStringLiteral("v2_clip_start") : QStringLiteral("v2_clip_end")));
    m_take->set(QStringLiteral("smallcircle.filled.circle"),
                Strings::text(QStringLiteral("v2_clip_take_position")), std::nullopt, true);
    m_earlier->set(QStringLiteral("minus"), Strings::text(QStringLiteral("v2_clip_step_earlier")),
                   std::nullopt, true);
    m_later->set(QStringLiteral("plus"), Strings::text(QStringLiteral("v2_clip_step_later")), std::nullopt,
                 true);
}

// The limit follows the other bound and the duration, so it is set again whenever they move.
void BoundControl::sync() {
    m_field->setLimit(m_session->limit(m_bound));
    const qint64 value = m_session->value(m_bound);
    if (value != m_field->value() || !m_field->hasFocus())
        m_field->setValue(value);
}
