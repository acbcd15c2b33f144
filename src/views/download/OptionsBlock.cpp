#include "download/OptionsBlock.h"

#include "AppModel.h"
#include "Composition.h"
#include "Session.h"
#include "Strings.h"
#include "download/FormatControls.h"
#include "kit/LinkButton.h"
#include "kit/TextStyle.h"
#include "rows/ElidedLabel.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

OptionsBlock::OptionsBlock(AppModel* model, QWidget* parent) : Card(14, parent), m_model(model) {
    setObjectName(QStringLiteral("options_block"));
    body()->setSpacing(10);
    auto* header = new QHBoxLayout;
    header->setSpacing(8);
    auto* summary = new ElidedLabel(this);
    summary->setObjectName(QStringLiteral("format_summary"));
    TextStyle::apply(summary, TextStyle::Role::Callout, QFont::Medium);
    m_summary = summary;
    header->addWidget(summary, 1);
    // Keeps the link at the trailing end while the summary is hidden.
    header->addStretch(0);
    header->addSpacing(8);
    m_toggle = new LinkButton(QStringLiteral("button_edit_options"), this);
    connect(m_toggle, &QPushButton::clicked, this, [this] { m_model->compositionPart().toggleOptions(); });
    header->addWidget(m_toggle);
    body()->addLayout(header);
    m_controls = new FormatControls(model, this);
    body()->addWidget(m_controls);

    connect(&model->compositionPart(), &Composition::optionsExpandedChanged, this, &OptionsBlock::refresh);
    connect(&model->compositionPart(), &Composition::formatChanged, this, &OptionsBlock::refresh);
    connect(&model->sessionPart(), &Session::stringsGenerationChanged, this, &OptionsBlock::refresh);
    refresh();
}

void OptionsBlock::refresh() {
    const bool expanded = m_model->compositionPart().optionsExpanded();
    static_cast<ElidedLabel*>(m_summary)->setFullText(m_model->compositionPart().format().summary());
    m_summary->setVisible(!expanded);
    // The object name follows the title, as the key a test or an accessibility tool finds it by.
    const QString key =
        expanded ? QStringLiteral("button_fewer_options") : QStringLiteral("button_edit_options");
    m_toggle->setObjectName(key);
    m_toggle->setText(Strings::text(key));
    m_controls->setVisible(expanded);
}
