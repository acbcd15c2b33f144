#include "settings/TranscriptionForm.h"

#include "settings/ModelRow.h"
#include "settings/SettingBindings.h"
#include "settings/SlowNotice.h"

#include "kit/Switch.h"
#include "kit/SymbolLabel.h"
#include "kit/TextStyle.h"
#include "kit/TextsFollow.h"
#include "kit/Theme.h"

#include "AppModel.h"
#include "SpeechModels.h"
#include "Strings.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

// A symbol before a wrapping caption, both in `ink`.
QWidget* symbolNote(const QString& symbol, Theme::Ink ink, QLabel* text, TextStyle::Role role) {
    auto* note = new QWidget;
    auto* layout = new QHBoxLayout(note);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    text->setWordWrap(true);
    text->setTextFormat(Qt::PlainText);
    TextStyle::apply(text, role);
    Theme::setForeground(text, ink);
    const int side = QFontMetrics(TextStyle::font(role)).height();
    layout->addWidget(new SymbolLabel(symbol, side, ink), 0, Qt::AlignTop);
    layout->addWidget(text, 1);
    return note;
}

} // namespace

TranscriptionForm::TranscriptionForm(AppModel& model, QWidget* parent)
    : SettingsForm(model, parent), m_model(model), m_unsupported(nullptr), m_models(nullptr), m_slow(nullptr),
      m_slowText(new QLabel) {
    setObjectName(QStringLiteral("transcriptionForm"));

    QVBoxLayout* unsupported = addSection();
    m_unsupported = lastSection();
    m_unsupported->setObjectName(QStringLiteral("transcribe_intel_pending"));
    QLabel* pending = textLabel(QStringLiteral("transcribe_intel_pending"));
    unsupported->addWidget(
        symbolNote(QStringLiteral("cpu"), Theme::Ink::Warning, pending, TextStyle::Role::Body));

    QVBoxLayout* subtitles = addSection();
    addHint(subtitles, QStringLiteral("hint_transcription_switch"));
    auto* over = new Switch(QStringLiteral("transcribe_over_subtitles"));
    addRow(subtitles, QStringLiteral("transcribe_over_subtitles"), over);
    SettingBindings::bindFlag(model, over, Setting::transcribeOverSubtitles);
    addHint(subtitles, QStringLiteral("transcribe_over_subtitles_help"));
    auto enable = [this, over] { over->setEnabled(m_model.modelsPart().canTranscribe()); };
    connect(&model.modelsPart(), &SpeechModels::modelsInfoChanged, over, enable);
    enable();

    QVBoxLayout* models = addSection(QStringLiteral("label_transcription_model"));
    auto* rows = new QWidget;
    rows->setObjectName(QStringLiteral("modelRows"));
    m_models = new QVBoxLayout(rows);
    m_models->setContentsMargins(0, 0, 0, 0);
    m_models->setSpacing(8);
    models->addWidget(rows);
    m_slow =
        symbolNote(QStringLiteral("tortoise"), Theme::Ink::Warning, m_slowText, TextStyle::Role::Caption);
    m_slow->setObjectName(QStringLiteral("slowNotice"));
    models->addWidget(m_slow);

    connect(&model.modelsPart(), &SpeechModels::modelsInfoChanged, this, &TranscriptionForm::refresh);
    followTexts(model, this, [this] { refresh(); });
}

QList<ModelRow*> TranscriptionForm::rows() const {
    QList<ModelRow*> out;
    for (int i = 0; i < m_models->count(); ++i) {
        if (auto* row = qobject_cast<ModelRow*>(m_models->itemAt(i)->widget()))
            out << row;
    }
    return out;
}

void TranscriptionForm::refresh() {
    const std::optional<ModelsInfo>& info = m_model.modelsPart().modelsInfo();
    m_unsupported->setVisible(info && !info->supported);
    syncRows();
    const std::optional<double> slow = SlowNotice::shownFor(info);
    m_slow->setVisible(slow.has_value());
    if (slow)
        m_slowText->setText(SlowNotice::message(*slow));
}

void TranscriptionForm::syncRows() {
    // Rows are kept by key, so a row's open delete confirmation survives a reloaded list.
    std::map<QString, ModelRow*> kept;
    QList<ModelRow*> order;
    if (m_model.modelsPart().modelsInfo()) {
        for (const WhisperModel& whisper : m_model.modelsPart().modelsInfo()->models) {
            if (kept.count(whisper.key))
                continue;
            ModelRow* row = nullptr;
            if (auto it = m_rows.find(whisper.key); it != m_rows.end()) {
                row = it->second;
                m_rows.erase(it);
                row->setWhisper(whisper);
            } else {
                row = new ModelRow(m_model, whisper);
            }
            kept[whisper.key] = row;
            order << row;
        }
    }
    for (auto& [key, row] : m_rows)
        delete row;
    m_rows = std::move(kept);
    for (int i = 0; i < order.size(); ++i) {
        if (m_models->indexOf(order[i]) != i) {
            m_models->removeWidget(order[i]);
            m_models->insertWidget(i, order[i]);
        }
    }
}
