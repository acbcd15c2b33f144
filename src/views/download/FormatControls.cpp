#include "download/FormatControls.h"

#include "AppModel.h"
#include "Composition.h"
#include "Session.h"
#include "SettingFields.h"
#include "Spawn.h"
#include "Strings.h"
#include "download/OptionMenu.h"
#include "kit/Switch.h"
#include "kit/SymbolLabel.h"
#include "kit/TextStyle.h"

#include <QCheckBox>
#include <QGraphicsOpacityEffect>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QResizeEvent>

namespace {

struct Cell {
    const char* key;
    const char* symbol;
    bool menu;
};

const Cell cells[FormatControls::FieldCount] = {
    {"label_quality", "sparkles", true},
    {"label_codec", "cpu", true},
    {"checkbox_audio_only", "music.note", false},
    {"label_format", "film", true},
    {"label_subtitles", "captions.bubble", true},
    {"checkbox_save_thumbnail", "photo", false},
    {"transcribe_after_download", "text.quote", false},
    {"v2_checkbox_embed_cover", "photo.artframe", false},
};

// Two columns pair Quality with Format, Codec with Subtitles, the audio and thumbnail switches, and
// Transcribe with Embed cover.
constexpr std::array<std::array<int, 2>, 4> pairs{{{0, 3}, {1, 4}, {2, 5}, {6, 7}}};

constexpr int narrowControl = 120;
constexpr int wideControl = 200;
constexpr int facingPadding = 16;
constexpr int hSpacing = 12;

void setOpacity(QWidget* widget, double opacity) {
    auto* effect = qobject_cast<QGraphicsOpacityEffect*>(widget->graphicsEffect());
    if (opacity >= 1) {
        if (effect)
            widget->setGraphicsEffect(nullptr);
        return;
    }
    if (!effect) {
        effect = new QGraphicsOpacityEffect(widget);
        widget->setGraphicsEffect(effect);
    }
    effect->setOpacity(opacity);
}

} // namespace

FormatControls::FormatControls(AppModel* model, QWidget* parent)
    : QWidget(parent), m_model(model), m_composition(model->compositionPart()) {
    setObjectName(QStringLiteral("format_controls"));
    m_grid = new QGridLayout(this);
    m_grid->setContentsMargins(0, 0, 0, 0);
    m_grid->setHorizontalSpacing(hSpacing);
    m_grid->setVerticalSpacing(9);
    m_grid->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // The pane may be narrower than two columns: then the grid folds into one.
    m_grid->setSizeConstraint(QLayout::SetNoConstraint);

    const int iconSide = 16;
    for (int i = 0; i < FieldCount; ++i) {
        auto* label = new QWidget(this);
        label->setObjectName(QString::fromLatin1(cells[i].key) + QStringLiteral("_label"));
        auto* row = new QHBoxLayout(label);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(8);
        row->addWidget(
            new SymbolLabel(QString::fromLatin1(cells[i].symbol), iconSide, Theme::Ink::Secondary, label));
        m_labelTexts[i] = new QLabel(label);
        TextStyle::apply(m_labelTexts[i], TextStyle::Role::Callout);
        row->addWidget(m_labelTexts[i]);
        m_labels[i] = label;

        if (cells[i].menu) {
            auto* menu = new OptionMenu(QString::fromLatin1(cells[i].key), this);
            m_controls[i] = menu;
        } else {
            m_controls[i] = new Switch(QString::fromLatin1(cells[i].key), this);
        }
    }

    connect(menu(Quality), &OptionMenu::chosen, this, [this](const QString& entry) {
        FormatChoice f = m_composition.format();
        f.quality = entry;
        change(f);
    });
    connect(menu(Codec), &OptionMenu::chosen, this, [this](const QString& entry) {
        FormatChoice f = m_composition.format();
        f.videoCodec = entry;
        change(f);
    });
    connect(menu(Container), &OptionMenu::chosen, this, [this](const QString& entry) {
        FormatChoice f = m_composition.format();
        f.container = entry;
        change(f);
    });
    connect(menu(Subtitles), &OptionMenu::chosen, this, [this](const QString& entry) {
        FormatChoice f = m_composition.format();
        f.subtitleMode = entry;
        change(f);
    });
    connect(toggle(AudioOnly), &QCheckBox::clicked, this, [this](bool on) {
        FormatChoice f = m_composition.format();
        f.audioOnly = on;
        change(f);
    });
    connect(toggle(SaveThumbnail), &QCheckBox::clicked, this, [this](bool on) {
        FormatChoice f = m_composition.format();
        f.saveThumbnail = on;
        change(f);
    });
    connect(toggle(EmbedCover), &QCheckBox::clicked, this, [this](bool on) {
        FormatChoice f = m_composition.format();
        f.embedCover = on;
        change(f);
    });
    connect(toggle(Transcribe), &QCheckBox::clicked, this, [this](bool on) {
        m_model->sessionPart().saveSetting(Setting::transcriptionEnabled.with(on));
        // The switch shows the state's value, not the click, until the engine's answer changes it.
        refresh();
    });

    connect(&m_composition, &Composition::formatChanged, this, &FormatControls::refresh);
    connect(&m_composition, &Composition::allowedOptionsChanged, this, &FormatControls::refresh);
    connect(&m_composition, &Composition::freshAnalysisChanged, this, &FormatControls::refresh);
    connect(&model->sessionPart(), &Session::settingsChanged, this, &FormatControls::refresh);
    watchTranscribe(model, this, [this] { refresh(); });
    connect(&model->sessionPart(), &Session::stringsGenerationChanged, this, &FormatControls::retranslate);
    retranslate();
    layOut(true);
}

OptionMenu* FormatControls::menu(Field field) const {
    return qobject_cast<OptionMenu*>(m_controls[field]);
}

QCheckBox* FormatControls::toggle(Field field) const {
    return qobject_cast<QCheckBox*>(m_controls[field]);
}

std::optional<QStringList> FormatControls::sourceQualities(const Composition& composition) {
    const std::optional<Analysis> fresh = composition.freshAnalysis();
    if (!fresh || !fresh->probed || fresh->isListing)
        return std::nullopt;
    return fresh->availableQualities;
}

QString FormatControls::qualityShown(const FormatChoice& format, const AllowedOptions& options,
                                     const std::optional<QStringList>& source) {
    if (source && !source->isEmpty())
        return options.qualityCappedBy(format.quality, *source).value_or(format.quality);
    return format.quality;
}

void FormatControls::change(const FormatChoice& format) {
    m_composition.setFormat(format);
    // The choice is re-shown from the state even when it did not change (the same entry chosen again).
    refresh();
    QPointer<AppModel> model(m_model);
    spawn(m_model, [model]() -> QCoro::Task<void> {
        co_await model->compositionPart().refreshAllowedOptions();
        if (model)
            model->compositionPart().saveFormatChoices();
    });
}

void FormatControls::retranslate() {
    for (int i = 0; i < FieldCount; ++i)
        m_labelTexts[i]->setText(Strings::text(QString::fromLatin1(cells[i].key)));
    refresh();
    if (m_laidOut)
        layOut(width() >= twoColumnWidth());
}

void FormatControls::refresh() {
    const FormatChoice& f = m_composition.format();
    const AllowedOptions& o = m_composition.allowedOptions();
    const std::optional<QStringList> source = sourceQualities(m_composition);
    menu(Quality)->setEntries(o.allQualitiesOfferedBy(source), qualityShown(f, o, source));
    menu(Codec)->setEntries(o.allVideoCodecs, f.videoCodec, [](const QString& codec) {
        return codec == QLatin1String("Auto") ? Strings::text(QStringLiteral("codec_auto")) : codec;
    });
    menu(Container)->setEntries(o.allContainers, f.container);
    menu(Subtitles)->setEntries(o.allSubtitleModes, f.subtitleMode,
                                [](const QString& mode) { return FormatChoice::subtitleLabel(mode); });

    const TranscribeOption transcribe = transcribeOption(*m_model);
    const std::pair<Field, bool> switches[] = {{AudioOnly, f.audioOnly},
                                               {SaveThumbnail, f.saveThumbnail},
                                               {EmbedCover, f.embedCover},
                                               {Transcribe, transcribe.isOn}};
    for (const auto& [field, on] : switches) {
        QSignalBlocker block(toggle(field));
        toggle(field)->setChecked(on);
    }
    toggle(Transcribe)->setEnabled(transcribe.enabled);
    toggle(Transcribe)->setToolTip(transcribe.help);
    m_labels[Transcribe]->setToolTip(transcribe.help);
    setOpacity(m_labels[Transcribe], transcribe.enabled ? 1 : 0.4);

    for (Field field : {Quality, Codec, Container, Subtitles}) {
        menu(field)->setEnabled(!f.audioOnly);
        setOpacity(m_labels[field], f.audioOnly ? 0.4 : 1);
    }
}

QSize FormatControls::minimumSizeHint() const {
    int label = 0;
    for (QLabel* text : m_labelTexts)
        label = std::max(label, text->sizeHint().width());
    return {16 + 8 + label + hSpacing + wideControl, m_grid->minimumSize().height()};
}

int FormatControls::twoColumnWidth() const {
    int left = 0, right = 0;
    for (const auto& pair : pairs) {
        left = std::max(left, m_labelTexts[pair[0]]->sizeHint().width());
        right = std::max(right, m_labelTexts[pair[1]]->sizeHint().width());
    }
    const int label = 16 + 8; // the icon and its spacing
    return (label + left) + narrowControl + facingPadding + (label + right) + wideControl + 3 * hSpacing;
}

void FormatControls::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const bool two = event->size().width() >= twoColumnWidth();
    if (two != m_twoColumns) {
        layOut(two);
        updateGeometry();
    }
}

void FormatControls::layOut(bool twoColumns) {
    m_twoColumns = twoColumns;
    m_laidOut = true;
    for (int i = 0; i < FieldCount; ++i) {
        m_grid->removeWidget(m_labels[i]);
        m_grid->removeWidget(m_controls[i]);
    }
    for (int c = 0; c < 5; ++c) {
        m_grid->setColumnStretch(c, 0);
        m_grid->setColumnMinimumWidth(c, 0);
    }
    auto place = [&](int field, int row, int column, int width, int padding) {
        m_labels[field]->layout()->setContentsMargins(padding, 0, 0, 0);
        m_grid->addWidget(m_labels[field], row, column, Qt::AlignLeft | Qt::AlignVCenter);
        if (auto* menu = qobject_cast<OptionMenu*>(m_controls[field]))
            menu->setControlWidth(width);
        m_grid->setColumnMinimumWidth(column + 1, width);
        m_grid->addWidget(m_controls[field], row, column + 1, Qt::AlignLeft | Qt::AlignVCenter);
    };
    if (twoColumns) {
        for (int row = 0; row < int(pairs.size()); ++row) {
            place(pairs[row][0], row, 0, narrowControl, 0);
            place(pairs[row][1], row, 2, wideControl, facingPadding);
        }
        m_grid->setColumnStretch(4, 1);
    } else {
        for (int field = 0; field < FieldCount; ++field)
            place(field, field, 0, wideControl, 0);
        m_grid->setColumnStretch(2, 1);
    }
}
