#include "transcription/TranscriptionFooter.h"

#include "AppModel.h"
#include "Prompts.h"
#include "Session.h"
#include "SettingFields.h"
#include "Spawn.h"
#include "SpeechModels.h"
#include "Strings.h"
#include "Transcriptions.h"
#include "kit/Icons.h"
#include "kit/LinkButton.h"
#include "kit/SymbolLabel.h"
#include "kit/TextStyle.h"
#include "kit/TextsFollow.h"
#include "kit/Theme.h"
#include "rows/ElidedLabel.h"

#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QToolButton>

namespace {

QString modelName(const QString& key) {
    const QString textKey = QStringLiteral("transcription_model_") + QString(key).replace(u'-', u'_');
    const QString name = Strings::text(textKey);
    // A model the text table does not know is named by its key rather than by a lookup key.
    return name == textKey ? key : name;
}

QString folderName(const QString& dir) {
    const QString clean = QDir::cleanPath(dir);
    const QString name = QFileInfo(clean).fileName();
    return name.isEmpty() ? clean : name;
}

// A menu entry or button text shows "&" as itself, never as a mnemonic.
QString literal(QString text) {
    return text.replace(u'&', QStringLiteral("&&"));
}

} // namespace

QString TranscriptionFooter::modelLine(const std::optional<EngineSettings>& settings,
                                       const std::optional<ModelsInfo>& models) {
    if (!models)
        return {};
    // No model chosen means the engine's default, which is what runs.
    QString key = settings ? settings->transcriptionModel : QString();
    if (key.isEmpty())
        key = models->defaultModel;
    const QString language = settings && !settings->transcriptionLanguage.isEmpty()
                                 ? settings->transcriptionLanguage
                                 : Strings::text(QStringLiteral("transcription_language_auto"));
    return Strings::text(QStringLiteral("transcribe_using"),
                         {{QStringLiteral("model"), modelName(key)}, {QStringLiteral("language"), language}});
}

QString TranscriptionFooter::destination(const std::optional<EngineSettings>& settings) {
    if (settings && !settings->transcriptDir.isEmpty())
        return Strings::text(QStringLiteral("label_saved_in"),
                             {{QStringLiteral("folder"), folderName(settings->transcriptDir)}});
    return Strings::text(QStringLiteral("v2_transcript_beside"));
}

TranscriptionFooter::TranscriptionFooter(AppModel* model, QWidget* parent) : QWidget(parent), m_model(model) {
    setObjectName(QStringLiteral("transcription_footer"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(24, 10, 24, 10);
    row->setSpacing(12);

    m_modelLine = new QLabel(this);
    m_modelLine->setObjectName(QStringLiteral("transcribe_using"));
    m_modelLine->setTextFormat(Qt::PlainText);
    TextStyle::apply(m_modelLine, TextStyle::Role::Caption);
    Theme::setForeground(m_modelLine, Theme::Ink::Secondary);
    row->addWidget(m_modelLine);

    m_folder = new QToolButton(this);
    m_folder->setObjectName(QStringLiteral("transcript_folder_menu"));
    m_folder->setAutoRaise(true);
    m_folder->setPopupMode(QToolButton::InstantPopup);
    m_folder->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_folder->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    TextStyle::apply(m_folder, TextStyle::Role::Caption);
    Theme::setForeground(m_folder, Theme::Ink::Secondary);
    m_menu = new QMenu(m_folder);
    m_beside = m_menu->addAction(QString());
    m_beside->setObjectName(QStringLiteral("v2_transcript_beside"));
    m_choose = m_menu->addAction(QString());
    m_choose->setObjectName(QStringLiteral("v2_transcript_choose"));
    m_folder->setMenu(m_menu);
    row->addWidget(m_folder);
    connect(m_beside, &QAction::triggered, this,
            [this] { m_model->sessionPart().saveSetting(Setting::transcriptDir.with(QString())); });
    connect(m_choose, &QAction::triggered, this, [this] {
        QPointer<AppModel> model(m_model);
        spawn(m_model, [model]() -> QCoro::Task<void> {
            if (model)
                co_await model->transcriptionsPart().chooseTranscriptFolder();
        });
    });

    row->addStretch(1);

    m_refusal = new QWidget(this);
    m_refusal->setObjectName(QStringLiteral("transcription_refusal"));
    auto* refusalRow = new QHBoxLayout(m_refusal);
    refusalRow->setContentsMargins(0, 0, 0, 0);
    refusalRow->setSpacing(4);
    const int side = QFontMetrics(TextStyle::font(TextStyle::Role::Caption)).height();
    refusalRow->addWidget(
        new SymbolLabel(QStringLiteral("exclamationmark.triangle"), side, Theme::Ink::Warning, m_refusal));
    m_refusalText = new ElidedLabel(m_refusal);
    TextStyle::apply(m_refusalText, TextStyle::Role::Caption);
    Theme::setForeground(m_refusalText, Theme::Ink::Warning);
    refusalRow->addWidget(m_refusalText, 1);
    m_refusal->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    row->addWidget(m_refusal, 100);

    m_manage = new LinkButton(QStringLiteral("button_manage_model"), this);
    TextStyle::apply(m_manage, TextStyle::Role::Caption);
    // A link draws its text at the top of its box: a box of one line keeps it on the labels' line.
    m_manage->setFixedHeight(QFontMetrics(m_manage->font()).height());
    row->addWidget(m_manage);
    connect(m_manage, &QPushButton::clicked, this,
            [this] { m_model->showSettings(AppModel::SettingsSection::Transcription); });

    connect(&model->sessionPart(), &Session::settingsChanged, this, &TranscriptionFooter::refresh);
    connect(&model->modelsPart(), &SpeechModels::modelsInfoChanged, this, &TranscriptionFooter::refresh);
    connect(&model->promptsPart(), &Prompts::transcriptionRefusalChanged, this,
            &TranscriptionFooter::refresh);
    followTexts(*model, this, [this] { refresh(); });
}

void TranscriptionFooter::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        refresh();
}

void TranscriptionFooter::refresh() {
    const auto& settings = m_model->sessionPart().settings();
    const auto& models = m_model->modelsPart().modelsInfo();
    m_modelLine->setVisible(models.has_value());
    m_modelLine->setText(modelLine(settings, models));

    const bool chosen = settings && !settings->transcriptDir.isEmpty();
    m_folder->setText(literal(destination(settings)));
    m_folder->setToolTip(chosen ? settings->transcriptDir
                                : Strings::text(QStringLiteral("v2_transcript_beside")));
    const QColor ink = Theme::ink(Theme::Ink::Secondary, palette());
    const int side = QFontMetrics(m_folder->font()).height();
    m_folder->setIconSize(QSize(side, side));
    m_folder->setIcon(QIcon(Icons::tinted(QStringLiteral("folder"), side, ink, devicePixelRatioF())));
    m_beside->setText(literal(Strings::text(QStringLiteral("v2_transcript_beside"))));
    m_besideMarked = !chosen;
    // A mark rather than a checkable entry: choosing it again must not take the mark away.
    m_beside->setIcon(
        chosen ? QIcon()
               : QIcon(Icons::tinted(QStringLiteral("checkmark"), side,
                                     Theme::ink(Theme::Ink::Primary, palette()), devicePixelRatioF())));
    m_choose->setText(literal(Strings::text(QStringLiteral("v2_transcript_choose"))));

    const std::optional<QString>& refusal = m_model->promptsPart().transcriptionRefusal();
    m_refusal->setVisible(refusal.has_value());
    m_refusalText->setFullText(refusal.value_or(QString()));
    m_refusalText->setToolTip(refusal.value_or(QString()));
    m_manage->setText(Strings::text(QStringLiteral("button_manage_model")));
}
