#include "settings/SettingsForm.h"

#include "kit/Card.h"
#include "kit/PaneContent.h"
#include "kit/TextStyle.h"
#include "kit/TextsFollow.h"
#include "kit/Theme.h"

#include "AppModel.h"
#include "Strings.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QVBoxLayout>

namespace {
constexpr int rowSpacing = 10;
constexpr int sectionSpacing = 16;
} // namespace

SettingsForm::SettingsForm(const AppModel& model, QWidget* parent)
    : QScrollArea(parent), m_model(model), m_column(nullptr) {
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* column = new QWidget;
    column->setObjectName(QStringLiteral("settingsColumn"));
    m_column = new QVBoxLayout(column);
    m_column->setContentsMargins(0, 0, 0, 0);
    m_column->setSpacing(sectionSpacing);
    m_column->addStretch(1);
    column->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    QWidget* content = paneContent(column);
    content->setAutoFillBackground(false);
    setWidget(content);
    viewport()->setAutoFillBackground(false);
}

QLabel* SettingsForm::textLabel(const QString& key, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    followTexts(m_model, label, [label, key] { label->setText(Strings::text(key)); });
    return label;
}

QVBoxLayout* SettingsForm::addSection(const QString& headerKey) {
    auto* block = new QWidget;
    auto* blockLayout = new QVBoxLayout(block);
    blockLayout->setContentsMargins(0, 0, 0, 0);
    blockLayout->setSpacing(6);
    if (!headerKey.isEmpty()) {
        QLabel* header = textLabel(headerKey);
        header->setObjectName(QStringLiteral("header_") + headerKey);
        TextStyle::apply(header, TextStyle::Role::Subheadline, QFont::DemiBold);
        Theme::setForeground(header, Theme::Ink::Secondary);
        header->setContentsMargins(4, 0, 0, 0);
        blockLayout->addWidget(header);
    }
    auto* card = new Card(14);
    card->body()->setSpacing(rowSpacing);
    blockLayout->addWidget(card);
    // Before the stretch that keeps the sections at the top.
    m_column->insertWidget(m_column->count() - 1, block);
    m_lastSection = block;
    return card->body();
}

QLabel* SettingsForm::addRow(QVBoxLayout* section, const QString& labelKey, QWidget* control) {
    auto* row = new QHBoxLayout;
    row->setSpacing(12);
    QLabel* label = textLabel(labelKey);
    label->setWordWrap(true);
    label->setBuddy(control);
    row->addWidget(label, 1);
    row->addWidget(control, 0, Qt::AlignRight | Qt::AlignVCenter);
    section->addLayout(row);
    return label;
}

void SettingsForm::addWide(QVBoxLayout* section, QWidget* content) {
    section->addWidget(content);
}

QLabel* SettingsForm::addHint(QVBoxLayout* section, const QString& key) {
    QLabel* hint = textLabel(key);
    hint->setObjectName(key);
    hint->setWordWrap(true);
    TextStyle::apply(hint, TextStyle::Role::Caption);
    Theme::setForeground(hint, Theme::Ink::Secondary);
    section->addWidget(hint);
    return hint;
}
