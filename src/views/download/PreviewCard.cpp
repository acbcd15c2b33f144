#include "download/PreviewCard.h"

#include "AppModel.h"
#include "Composition.h"
#include "Job.h"
#include "Session.h"
#include "Strings.h"
#include "kit/SymbolLabel.h"
#include "kit/TextStyle.h"
#include "rows/ElidedLabel.h"
#include "rows/Thumbnail.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

PreviewCard::PreviewCard(AppModel* model, QWidget* parent) : Card(14, parent), m_model(model) {
    setObjectName(QStringLiteral("preview_card"));
    auto* content = new QWidget(this);
    auto* row = new QHBoxLayout(content);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(14);
    m_thumbnail = new Thumbnail(&model->libraryPart(), thumbnailSize, 6, content);
    row->addWidget(m_thumbnail, 0, Qt::AlignTop);

    auto* column = new QVBoxLayout;
    column->setSpacing(5);
    m_title = new ElidedLabel(content);
    m_title->setObjectName(QStringLiteral("preview_title"));
    m_title->setMaxLines(2);
    TextStyle::apply(m_title, TextStyle::Role::Headline);
    column->addWidget(m_title);

    const int iconSide = TextStyle::font(TextStyle::Role::Caption).pointSize() + 3;
    m_facts = new QWidget(content);
    auto* facts = new QHBoxLayout(m_facts);
    facts->setContentsMargins(0, 0, 0, 0);
    facts->setSpacing(4);
    auto fact = [&](const QString& symbol, SymbolLabel*& icon, QLabel*& text, const char* name) {
        icon = new SymbolLabel(symbol, iconSide, Theme::Ink::Secondary, m_facts);
        text = new QLabel(m_facts);
        text->setObjectName(QString::fromLatin1(name));
        text->setTextFormat(Qt::PlainText);
        TextStyle::apply(text, TextStyle::Role::Caption);
        Theme::setForeground(text, Theme::Ink::Secondary);
        facts->addWidget(icon);
        facts->addWidget(text);
    };
    fact(QStringLiteral("person.circle"), m_channelIcon, m_channel, "preview_channel");
    facts->addSpacing(4);
    fact(QStringLiteral("clock"), m_durationIcon, m_duration, "preview_duration");
    facts->addStretch(1);
    column->addWidget(m_facts);

    m_qualityRow = new QWidget(content);
    auto* quality = new QHBoxLayout(m_qualityRow);
    quality->setContentsMargins(0, 0, 0, 0);
    quality->setSpacing(4);
    m_qualityIcon =
        new SymbolLabel(QStringLiteral("questionmark.circle"), iconSide, Theme::Ink::Warning, m_qualityRow);
    m_quality = new QLabel(m_qualityRow);
    m_quality->setObjectName(QStringLiteral("preview_quality"));
    m_quality->setTextFormat(Qt::PlainText);
    m_quality->setWordWrap(true);
    TextStyle::apply(m_quality, TextStyle::Role::Caption);
    quality->addWidget(m_qualityIcon, 0, Qt::AlignTop);
    quality->addWidget(m_quality, 1);
    column->addWidget(m_qualityRow);
    column->addStretch(1);
    row->addLayout(column, 1);
    body()->addWidget(content);

    connect(&model->compositionPart(), &Composition::formatChanged, this, &PreviewCard::refresh);
    connect(&model->compositionPart(), &Composition::allowedOptionsChanged, this, &PreviewCard::refresh);
    connect(&model->sessionPart(), &Session::stringsGenerationChanged, this, &PreviewCard::refresh);
}

void PreviewCard::setAnalysis(const Analysis& analysis) {
    if (m_analysis == analysis)
        return;
    m_analysis = analysis;
    m_thumbnail->setSource(analysis.thumbnail.value_or(QString()), QString(), analysis.url);
    refresh();
}

void PreviewCard::refresh() {
    if (!m_analysis)
        return;
    const Analysis& a = *m_analysis;
    m_title->setFullText(a.displayTitle());
    const bool hasChannel = a.channel && !a.channel->isEmpty();
    m_channelIcon->setVisible(hasChannel);
    m_channel->setVisible(hasChannel);
    m_channel->setText(hasChannel ? *a.channel : QString());
    const bool hasDuration = a.duration && *a.duration > 0;
    m_durationIcon->setVisible(hasDuration);
    m_duration->setVisible(hasDuration);
    m_duration->setText(hasDuration ? Job::duration(*a.duration) : QString());
    m_facts->setVisible(hasChannel || hasDuration);

    const std::optional<QualityLine> line = m_model->compositionPart().format().audioOnly
                                                ? std::nullopt
                                                : qualityLine(a, m_model->compositionPart().format(),
                                                              m_model->compositionPart().allowedOptions());
    m_qualityRow->setVisible(line.has_value());
    if (line) {
        m_quality->setText(line->text);
        m_qualityIcon->setVisible(line->undetected);
        Theme::setForeground(m_quality, line->undetected ? Theme::Ink::Warning : Theme::Ink::Secondary);
    }
}

std::optional<PreviewCard::QualityLine>
PreviewCard::qualityLine(const Analysis& a, const FormatChoice& format, const AllowedOptions& options) {
    if (format.audioOnly)
        return std::nullopt;
    if (!a.probed)
        return QualityLine{Strings::text(QStringLiteral("v2_quality_undetected")), true};
    if (a.availableQualities.isEmpty())
        return std::nullopt;
    const QString source =
        a.sourceLabel && !a.sourceLabel->isEmpty() ? *a.sourceLabel : a.availableQualities.first();
    const QString saved = savedQuality(a, source, format.quality, options);
    const QMap<QString, QString> values{{QStringLiteral("source"), source}, {QStringLiteral("saved"), saved}};
    return QualityLine{Strings::text(QStringLiteral("v2_quality_effective"), values), false};
}

QString PreviewCard::savedQuality(const Analysis& a, const QString& source, const QString& chosen,
                                  const AllowedOptions& options) {
    const QStringList& offered = a.availableQualities;
    const std::optional<QString> capped = options.qualityCappedBy(chosen, offered);
    if (!capped)
        return source;
    const qsizetype i = options.allQualities.indexOf(chosen);
    const qsizetype j = options.allQualities.indexOf(*capped);
    if (!offered.isEmpty() && *capped == offered.first() && i >= 0 && j >= 0)
        return j < i ? *capped : source;
    return *capped;
}
