#include "sheets/ModelOptInSheet.h"

#include "settings/DeleteModelAlert.h"
#include "settings/ModelRow.h"

#include "kit/SheetButton.h"
#include "kit/TextStyle.h"
#include "kit/TextsFollow.h"
#include "kit/Theme.h"

#include "Fraction.h"
#include "Job.h"
#include "Session.h"
#include "SettingFields.h"
#include "Spawn.h"
#include "SpeechModels.h"
#include "Strings.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
constexpr int progressSteps = 1000;

} // namespace

ModelOptInSheet::ModelOptInSheet(AppModel& model, QString modelKey, QWidget* parent)
    : QDialog(parent), m_model(model), m_key(std::move(modelKey)), m_title(new QLabel(this)),
      m_name(new QLabel(this)), m_detail(new QLabel(this)), m_progress(new QProgressBar(this)),
      m_caption(new QLabel(this)), m_delete(sheetButton(QStringLiteral("button_delete_model"), this)),
      m_close(sheetButton(QStringLiteral("button_close"), this)),
      m_done(sheetButton(QStringLiteral("button_done"), this)),
      m_dismiss(sheetButton(QStringLiteral("button_cancel"), this)),
      m_cancelDownload(sheetButton(QStringLiteral("cancelDownload"), this)),
      m_download(sheetButton(QStringLiteral("button_download_model"), this)) {
    setFixedSize(size);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(14);
    for (QLabel* label : {m_title, m_name, m_detail, m_caption})
        label->setTextFormat(Qt::PlainText);
    m_title->setObjectName(QStringLiteral("title_model_download"));
    TextStyle::apply(m_title, TextStyle::Role::Headline);
    m_name->setObjectName(QStringLiteral("modelName"));
    TextStyle::apply(m_name, TextStyle::Role::Title3, QFont::DemiBold);
    m_detail->setObjectName(QStringLiteral("detail"));
    m_detail->setWordWrap(true);
    TextStyle::apply(m_detail, TextStyle::Role::Callout);
    m_progress->setObjectName(QStringLiteral("progress"));
    m_progress->setRange(0, progressSteps);
    m_progress->setTextVisible(false);
    m_caption->setObjectName(QStringLiteral("progressCaption"));
    m_caption->setWordWrap(true);
    TextStyle::apply(m_caption, TextStyle::Role::Caption);
    layout->addWidget(m_title);
    layout->addWidget(m_name);
    layout->addWidget(m_detail);
    auto* block = new QVBoxLayout;
    block->setSpacing(4);
    block->addWidget(m_progress);
    block->addWidget(m_caption);
    layout->addLayout(block);
    layout->addSpacing(8);
    layout->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_delete);
    buttons->addStretch(1);
    for (QPushButton* b : {m_close, m_dismiss, m_done, m_cancelDownload, m_download})
        buttons->addWidget(b);
    layout->addLayout(buttons);

    connect(m_delete, &QPushButton::clicked, this, &ModelOptInSheet::confirmDelete);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_done, &QPushButton::clicked, this, &ModelOptInSheet::use);
    connect(m_dismiss, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_cancelDownload, &QPushButton::clicked, this,
            [this] { m_model.modelsPart().cancelModelDownload(m_key); });
    connect(m_download, &QPushButton::clicked, this, [this] { m_model.modelsPart().downloadModel(m_key); });

    followTexts(model, this, [this] {
        setWindowTitle(Strings::text(QStringLiteral("title_model_download")));
        m_title->setText(Strings::text(QStringLiteral("title_model_download")));
        m_name->setText(Strings::text(ModelRow::nameKey(m_key)));
        m_delete->setText(Strings::text(QStringLiteral("button_delete_model")));
        m_close->setText(Strings::text(QStringLiteral("button_close")));
        m_done->setText(Strings::text(QStringLiteral("button_done")));
        m_dismiss->setText(Strings::text(QStringLiteral("button_cancel")));
        m_cancelDownload->setText(Strings::text(QStringLiteral("button_cancel")));
        m_download->setText(Strings::text(QStringLiteral("button_download_model")));
        refresh();
    });
    SpeechModels& models = model.modelsPart();
    connect(&models, &SpeechModels::modelsInfoChanged, this, &ModelOptInSheet::modelsChanged);
    connect(&models, &SpeechModels::modelDownloadsChanged, this, &ModelOptInSheet::refresh);
    connect(&models, &SpeechModels::modelNoticesChanged, this, &ModelOptInSheet::refresh);
    m_anyInstalled = anyInstalled();
    fetchOffer();
}

std::optional<bool> ModelOptInSheet::anyInstalled() const {
    if (!m_model.modelsPart().modelsInfo())
        return std::nullopt;
    return !m_model.modelsPart().modelsInfo()->installed().empty();
}

bool ModelOptInSheet::installed() const {
    if (m_offer && m_offer->installed)
        return true;
    if (!m_model.modelsPart().modelsInfo())
        return false;
    for (const WhisperModel& whisper : m_model.modelsPart().modelsInfo()->models) {
        if (whisper.key == m_key && whisper.installed)
            return true;
    }
    return false;
}

ModelOptInSheet::Stage ModelOptInSheet::stage() const {
    if (installed())
        return Stage::Installed;
    return m_model.modelsPart().modelDownloads().contains(m_key) ? Stage::Downloading : Stage::Offer;
}

QString ModelOptInSheet::detail() const {
    if (installed()) {
        qint64 onDisk = 0;
        if (m_offer)
            onDisk = m_offer->diskBytes;
        else if (m_model.modelsPart().modelsInfo())
            onDisk = m_model.modelsPart().modelsInfo()->diskUsage.value(m_key, 0);
        return Strings::text(QStringLiteral("msg_model_installed"),
                             {{QStringLiteral("size"), Job::byteCount(onDisk)}});
    }
    const qint64 bytes = m_offer ? m_offer->downloadBytes : 0;
    const QString host = m_offer ? m_offer->host : Strings::text(QStringLiteral("model_host_unknown"));
    return Strings::text(QStringLiteral("msg_model_offer"),
                         {{QStringLiteral("size"), Job::byteCount(bytes)}, {QStringLiteral("host"), host}});
}

// "Use" means this model transcribes from now on, so a model fetched here is the one used next.
void ModelOptInSheet::use() {
    if (Setting::transcriptionModel.read(m_model.sessionPart().settings()) != m_key)
        m_model.sessionPart().saveSetting(Setting::transcriptionModel.with(m_key));
    accept();
}

qint64 ModelOptInSheet::bytesOnDisk() const {
    if (m_offer && m_offer->installed)
        return m_offer->diskBytes;
    if (m_model.modelsPart().modelsInfo()) {
        for (const WhisperModel& whisper : m_model.modelsPart().modelsInfo()->models) {
            if (whisper.key == m_key)
                return m_model.modelsPart().modelBytesOnDisk(whisper);
        }
    }
    return m_offer ? m_offer->diskBytes : 0;
}

// The sheet stays open either way; a model deleted in the meantime makes the sheet an offer again.
void ModelOptInSheet::confirmDelete() {
    if (m_confirm)
        return;
    m_confirm = askDeleteModel(this, bytesOnDisk(), [this] { m_model.modelsPart().deleteModel(m_key); });
}

void ModelOptInSheet::fetchOffer() {
    // Fetches are not ordered: the one that finishes last decides the offer.
    QPointer<ModelOptInSheet> self(this);
    spawn(this, [self, model = &m_model, key = m_key]() -> QCoro::Task<void> {
        std::optional<ModelOffer> offer = co_await model->modelsPart().fetchModelOffer(key);
        if (!self)
            co_return;
        self->m_offer = std::move(offer);
        self->refresh();
        Q_EMIT self->offerFetched();
    });
}

void ModelOptInSheet::modelsChanged() {
    const std::optional<bool> now = anyInstalled();
    const bool becameInstalled = now != m_anyInstalled && now == true;
    m_anyInstalled = now;
    // A held offer that still says installed after the engine listed the model as not installed (it was
    // deleted) would keep the sheet in the installed stage: ask again.
    bool listedMissing = false;
    if (m_offer && m_offer->installed && m_model.modelsPart().modelsInfo()) {
        for (const WhisperModel& whisper : m_model.modelsPart().modelsInfo()->models) {
            if (whisper.key == m_key)
                listedMissing = !whisper.installed;
        }
    }
    if (becameInstalled || listedMissing)
        fetchOffer();
    refresh();
}

void ModelOptInSheet::refresh() {
    // A model this machine cannot run is neither downloaded nor used from here: the sheet says why instead
    // of offering it.
    const WhisperModel* listed = nullptr;
    if (m_model.modelsPart().modelsInfo()) {
        for (const WhisperModel& whisper : m_model.modelsPart().modelsInfo()->models) {
            if (whisper.key == m_key)
                listed = &whisper;
        }
    }
    const bool runnable = !listed || listed->runnable;
    if (runnable || installed())
        m_detail->setText(detail());
    else
        m_detail->setText(listed->unavailableReason && !listed->unavailableReason->isEmpty()
                              ? *listed->unavailableReason
                              : Strings::text(QStringLiteral("status_model_unavailable")));
    const auto download = m_model.modelsPart().modelDownloads().constFind(m_key);
    const bool downloading = download != m_model.modelsPart().modelDownloads().constEnd();
    const auto notice = m_model.modelsPart().modelNotices().constFind(m_key);
    const bool hasNotice = notice != m_model.modelsPart().modelNotices().constEnd();
    m_progress->setVisible(downloading);
    if (downloading)
        m_progress->setValue(static_cast<int>(std::lround(unitFraction(*download) * progressSteps)));
    m_caption->setVisible(downloading || hasNotice);
    if (hasNotice) {
        m_caption->setText(notice->text);
        Theme::setForeground(m_caption, notice->isFailure ? Theme::Ink::Warning : Theme::Ink::Secondary);
    } else if (downloading) {
        m_caption->setText(Strings::text(QStringLiteral("status_model_starting")));
        Theme::setForeground(m_caption, Theme::Ink::Secondary);
    }

    const Stage now = stage();
    m_delete->setVisible(now == Stage::Installed);
    m_close->setVisible(now == Stage::Installed);
    m_done->setVisible(now == Stage::Installed && runnable);
    m_dismiss->setVisible(now != Stage::Installed);
    m_cancelDownload->setVisible(now == Stage::Downloading);
    m_download->setVisible(now == Stage::Offer && runnable);
    m_done->setDefault(now == Stage::Installed && runnable);
    m_download->setDefault(now == Stage::Offer && runnable);
    // A question about a model that is no longer installed has no answer left.
    if (m_confirm && now != Stage::Installed)
        m_confirm->reject();
}
