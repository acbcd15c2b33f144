#include "settings/ModelRow.h"

#include "settings/DeleteModelAlert.h"

#include "kit/Icons.h"
#include "kit/LinkButton.h"
#include "kit/SymbolLabel.h"
#include "kit/TextStyle.h"
#include "kit/TextsFollow.h"
#include "kit/Theme.h"

#include "Fraction.h"
#include "Job.h"
#include "Prompts.h"
#include "Session.h"
#include "SettingFields.h"
#include "SpeechModels.h"
#include "Strings.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
constexpr int progressSteps = 1000;
constexpr int progressWidth = 90;
} // namespace

QString ModelRow::nameKey(const QString& modelKey) {
    QString key = modelKey;
    key.replace(u'-', u'_');
    return QStringLiteral("transcription_model_") + key;
}

ModelRow::ModelRow(AppModel& model, WhisperModel whisper, QWidget* parent)
    : QWidget(parent), m_model(model), m_whisper(std::move(whisper)), m_name(new QLabel), m_size(new QLabel),
      m_notice(new QLabel), m_unavailable(new QLabel), m_downloading(new QWidget),
      m_progress(new QProgressBar), m_cancel(new QToolButton),
      m_download(new LinkButton(QStringLiteral("button_download_model"))), m_installed(new QWidget),
      m_ready(new QWidget), m_choose(new LinkButton(QStringLiteral("button_done"))),
      m_delete(new LinkButton(QStringLiteral("button_delete_model"))) {
    setObjectName(QStringLiteral("modelRow_") + m_whisper.key);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 2, 0, 2);
    auto* text = new QVBoxLayout;
    text->setSpacing(2);
    m_name->setObjectName(QStringLiteral("modelName"));
    m_name->setTextFormat(Qt::PlainText);
    m_size->setObjectName(QStringLiteral("modelSize"));
    TextStyle::apply(m_size, TextStyle::Role::Caption);
    Theme::setForeground(m_size, Theme::Ink::Secondary);
    m_notice->setObjectName(QStringLiteral("modelNotice"));
    m_notice->setTextFormat(Qt::PlainText);
    m_notice->setWordWrap(true);
    TextStyle::apply(m_notice, TextStyle::Role::Caption);
    m_unavailable->setObjectName(QStringLiteral("modelUnavailable"));
    m_unavailable->setTextFormat(Qt::PlainText);
    m_unavailable->setWordWrap(true);
    TextStyle::apply(m_unavailable, TextStyle::Role::Caption);
    Theme::setForeground(m_unavailable, Theme::Ink::Warning);
    text->addWidget(m_name);
    text->addWidget(m_size);
    text->addWidget(m_unavailable);
    text->addWidget(m_notice);
    layout->addLayout(text, 1);

    // Downloading: the bar and an icon-only cancel.
    auto* downloading = new QHBoxLayout(m_downloading);
    downloading->setContentsMargins(0, 0, 0, 0);
    downloading->setSpacing(8);
    m_progress->setObjectName(QStringLiteral("modelProgress"));
    m_progress->setRange(0, progressSteps);
    m_progress->setTextVisible(false);
    m_progress->setFixedWidth(progressWidth);
    m_cancel->setObjectName(QStringLiteral("button_cancel"));
    m_cancel->setAutoRaise(true);
    m_cancel->setCursor(Qt::PointingHandCursor);
    paintCancel();
    downloading->addWidget(m_progress);
    downloading->addWidget(m_cancel);
    layout->addWidget(m_downloading);
    connect(m_cancel, &QToolButton::clicked, this,
            [this] { m_model.modelsPart().cancelModelDownload(m_whisper.key); });

    layout->addWidget(m_download);
    connect(m_download, &QPushButton::clicked, this,
            [this] { m_model.promptsPart().setModelOptIn(Prompts::ModelOptInRequest{m_whisper.key}); });

    // Installed: the ready mark or the choose button, then delete.
    auto* installed = new QHBoxLayout(m_installed);
    installed->setContentsMargins(0, 0, 0, 0);
    installed->setSpacing(12);
    m_ready->setObjectName(QStringLiteral("status_model_ready"));
    auto* ready = new QHBoxLayout(m_ready);
    ready->setContentsMargins(0, 0, 0, 0);
    ready->setSpacing(4);
    auto* readyText = new QLabel;
    TextStyle::apply(readyText, TextStyle::Role::Caption);
    Theme::setForeground(readyText, Theme::Ink::Success);
    const int check = QFontMetrics(TextStyle::font(TextStyle::Role::Caption)).height();
    ready->addWidget(new SymbolLabel(QStringLiteral("checkmark.circle.fill"), check, Theme::Ink::Success));
    ready->addWidget(readyText);
    installed->addWidget(m_ready);
    installed->addWidget(m_choose);
    Theme::setForeground(m_delete, Theme::Ink::Danger);
    installed->addWidget(m_delete);
    layout->addWidget(m_installed);
    connect(m_choose, &QPushButton::clicked, this,
            [this] { m_model.sessionPart().saveSetting(Setting::transcriptionModel.with(m_whisper.key)); });
    connect(m_delete, &QPushButton::clicked, this, &ModelRow::confirmDelete);

    followTexts(model, this, [this, readyText] {
        m_name->setText(Strings::text(nameKey(m_whisper.key)));
        const QString cancel = Strings::text(QStringLiteral("button_cancel"));
        m_cancel->setToolTip(cancel);
        m_cancel->setAccessibleName(cancel);
        m_download->setText(Strings::text(QStringLiteral("button_download_model")));
        readyText->setText(Strings::text(QStringLiteral("status_model_ready")));
        m_choose->setText(Strings::text(QStringLiteral("button_done")));
        m_delete->setText(Strings::text(QStringLiteral("button_delete_model")));
        refresh();
    });
    for (auto signal : {&SpeechModels::modelDownloadsChanged, &SpeechModels::modelNoticesChanged,
                        &SpeechModels::modelsInfoChanged})
        connect(&model.modelsPart(), signal, this, &ModelRow::refresh);
    connect(&model.sessionPart(), &Session::settingsChanged, this, &ModelRow::refresh);
}

void ModelRow::paintCancel() {
    const int side = QFontMetrics(TextStyle::font(TextStyle::Role::Body)).height();
    m_cancel->setIconSize(QSize(side, side));
    m_cancel->setIcon(Icons::tinted(QStringLiteral("xmark.circle.fill"), side,
                                    Theme::ink(Theme::Ink::Secondary), devicePixelRatioF()));
}

void ModelRow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange)
        paintCancel();
}

void ModelRow::setWhisper(const WhisperModel& whisper) {
    if (whisper == m_whisper)
        return;
    m_whisper = whisper;
    refresh();
}

ModelRow::Actions ModelRow::actions() const {
    // A download under way wins, also over an installed copy.
    if (m_model.modelsPart().modelDownloads().contains(m_whisper.key))
        return Actions::Downloading;
    return m_whisper.installed ? Actions::Installed : Actions::NotInstalled;
}

qint64 ModelRow::shownBytes() const {
    return m_whisper.installed ? m_model.modelsPart().modelBytesOnDisk(m_whisper) : m_whisper.downloadBytes;
}

void ModelRow::refresh() {
    m_size->setText(Job::byteCount(shownBytes()));
    const auto notice = m_model.modelsPart().modelNotices().constFind(m_whisper.key);
    const bool hasNotice = notice != m_model.modelsPart().modelNotices().constEnd();
    m_notice->setVisible(hasNotice);
    if (hasNotice) {
        m_notice->setText(notice->text);
        Theme::setForeground(m_notice, notice->isFailure ? Theme::Ink::Warning : Theme::Ink::Secondary);
    }
    // What is missing is said on the row; nothing is offered that could not run.
    const bool runnable = m_whisper.runnable;
    m_unavailable->setVisible(!runnable);
    if (!runnable) {
        m_unavailable->setText(m_whisper.unavailableReason && !m_whisper.unavailableReason->isEmpty()
                                   ? *m_whisper.unavailableReason
                                   : Strings::text(QStringLiteral("status_model_unavailable")));
    }
    const Actions now = actions();
    m_downloading->setVisible(now == Actions::Downloading);
    m_download->setVisible(now == Actions::NotInstalled && runnable);
    m_installed->setVisible(now == Actions::Installed && (runnable || !m_whisper.builtIn));
    m_delete->setVisible(!m_whisper.builtIn);
    if (now == Actions::Downloading)
        m_progress->setValue(static_cast<int>(std::lround(
            unitFraction(m_model.modelsPart().modelDownloads().value(m_whisper.key)) * progressSteps)));
    const bool chosen = Setting::transcriptionModel.read(m_model.sessionPart().settings()) == m_whisper.key;
    m_ready->setVisible(chosen && runnable);
    m_choose->setVisible(!chosen && runnable);
}

void ModelRow::confirmDelete() {
    if (m_confirm)
        return;
    m_confirm = askDeleteModel(this, m_model.modelsPart().modelBytesOnDisk(m_whisper),
                               [this, key = m_whisper.key] { m_model.modelsPart().deleteModel(key); });
}
