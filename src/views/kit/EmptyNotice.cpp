#include "kit/EmptyNotice.h"

#include "kit/Icons.h"
#include "kit/TextStyle.h"
#include "kit/Theme.h"

#include <QEvent>
#include <QLabel>
#include <QVBoxLayout>

EmptyNotice::EmptyNotice(QString title, QString icon, std::optional<QString> detail, QWidget* parent)
    : QWidget(parent), m_symbol(std::move(icon)), m_icon(new QLabel(this)), m_title(new QLabel(this)) {
    setObjectName(QStringLiteral("emptyNotice"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(10);
    layout->addStretch(1);

    m_icon->setObjectName(QStringLiteral("emptyNotice.icon"));
    m_icon->setFixedSize(iconSize, iconSize);
    layout->addWidget(m_icon, 0, Qt::AlignHCenter);

    m_title->setObjectName(QStringLiteral("emptyNotice.title"));
    m_title->setTextFormat(Qt::PlainText);
    m_title->setAlignment(Qt::AlignHCenter);
    TextStyle::apply(m_title, TextStyle::Role::Title3, QFont::DemiBold);
    Theme::setForeground(m_title, Theme::Ink::Secondary);
    layout->addWidget(m_title, 0, Qt::AlignHCenter);

    if (detail) {
        m_detail = new QLabel(this);
        m_detail->setObjectName(QStringLiteral("emptyNotice.detail"));
        m_detail->setTextFormat(Qt::PlainText);
        m_detail->setWordWrap(true);
        m_detail->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        m_detail->setMaximumWidth(detailWidth);
        // Wraps onto as many lines as it needs; the height is never cut.
        m_detail->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Minimum);
        TextStyle::apply(m_detail, TextStyle::Role::Callout);
        Theme::setForeground(m_detail, Theme::Ink::Tertiary);
        // As wide as it may be (up to 380), centred: the stretches share what is left.
        auto* row = new QHBoxLayout;
        row->addStretch(1);
        row->addWidget(m_detail, 1000);
        row->addStretch(1);
        layout->addLayout(row);
    }
    layout->addStretch(1);
    setTexts(title, detail);
    paintIcon();
}

void EmptyNotice::setTexts(const QString& title, const std::optional<QString>& detail) {
    m_title->setText(title);
    if (m_detail)
        m_detail->setText(detail.value_or(QString()));
}

void EmptyNotice::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange)
        paintIcon();
    QWidget::changeEvent(event);
}

void EmptyNotice::paintIcon() {
    m_icon->setPixmap(Icons::tinted(m_symbol, iconSize, Theme::ink(Theme::Ink::Tertiary, Theme::palette()),
                                    devicePixelRatioF()));
}
