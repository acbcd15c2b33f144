#include "download/EmptyStateSteps.h"

#include "Strings.h"
#include "kit/TextStyle.h"
#include "kit/Theme.h"

#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

EmptyStateSteps::EmptyStateSteps(QWidget* parent) : Card(16, parent) {
    setObjectName(QStringLiteral("empty_steps"));
    body()->setSpacing(10);
    m_title = new QLabel(this);
    m_title->setObjectName(QStringLiteral("empty_title"));
    TextStyle::apply(m_title, TextStyle::Role::Headline);
    body()->addWidget(m_title);
    auto* steps = new QGridLayout;
    steps->setHorizontalSpacing(8);
    steps->setVerticalSpacing(10);
    for (int i = 0; i < 3; ++i) {
        auto* number = new QLabel(QString::number(i + 1) + u'.', this);
        TextStyle::apply(number, TextStyle::Role::Callout);
        Theme::setForeground(number, Theme::Ink::Secondary);
        m_steps[i] = new QLabel(this);
        m_steps[i]->setObjectName(QStringLiteral("empty_step_%1").arg(i + 1));
        m_steps[i]->setWordWrap(true);
        TextStyle::apply(m_steps[i], TextStyle::Role::Callout);
        steps->addWidget(number, i, 0, Qt::AlignTop | Qt::AlignRight);
        steps->addWidget(m_steps[i], i, 1, Qt::AlignTop);
    }
    steps->setColumnStretch(1, 1);
    body()->addLayout(steps);
    retranslate();
}

void EmptyStateSteps::retranslate() {
    m_title->setText(Strings::text(QStringLiteral("empty_title")));
    for (int i = 0; i < 3; ++i)
        m_steps[i]->setText(Strings::text(QStringLiteral("empty_step_%1").arg(i + 1)));
}
