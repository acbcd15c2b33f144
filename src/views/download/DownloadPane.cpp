#include "download/DownloadPane.h"

#include "AppModel.h"
#include "Composition.h"
#include "DownloadQueue.h"
#include "Session.h"
#include "Spawn.h"
#include "Strings.h"
#include "TextTrim.h"
#include "download/ActionRow.h"
#include "download/AnalysingCard.h"
#include "download/Banners.h"
#include "download/DownloadCard.h"
#include "download/EmptyStateSteps.h"
#include "download/ListingNotice.h"
#include "download/OptionsBlock.h"
#include "download/PreviewCard.h"
#include "kit/NoticeFrame.h"
#include "kit/PaneContent.h"
#include "kit/SymbolLabel.h"
#include "kit/TextStyle.h"

#include <QDragEnterEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QVBoxLayout>

#include <limits>

namespace {

// The dashed outline over the pane while a drag that it accepts hovers; clicks go through it.
class DropOverlay : public QWidget {
public:
    explicit DropOverlay(QWidget* parent) : QWidget(parent) {
        setObjectName(QStringLiteral("drop_overlay"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPen pen(Theme::ink(Theme::Ink::Accent, palette()), 2);
        pen.setDashPattern({4, 4}); // in pen widths: 8 drawn, 8 left out
        painter.setPen(pen);
        QPainterPath path;
        path.addRoundedRect(QRectF(rect()).adjusted(9, 9, -9, -9), 12, 12);
        painter.drawPath(path);
    }
};

} // namespace

DownloadPane::DownloadPane(AppModel* model, QWidget* parent)
    : QWidget(parent), m_model(model), m_composition(model->compositionPart()) {
    setObjectName(QStringLiteral("download_pane"));
    setAcceptDrops(true);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    m_scroll = paneScrollArea(this);
    outer->addWidget(m_scroll);

    auto* column = new QWidget;
    auto* stack = sectionStack(column);

    m_banners = new Banners(model, column);
    stack->addWidget(m_banners);

    // The address row.
    auto* urlRow = new QWidget(column);
    m_urlLabel = new QLabel(urlRow);
    auto* urlStack = captionedStack(urlRow, m_urlLabel);
    auto* fieldRow = new QHBoxLayout;
    fieldRow->setSpacing(8);
    m_field = new QLineEdit(urlRow);
    m_field->setObjectName(QStringLiteral("url_field"));
    // A long pasted address is kept whole; the default limit would cut it without a word.
    m_field->setMaxLength(std::numeric_limits<int>::max());
    m_field->setClearButtonEnabled(true);
    // Drops go to the pane, which fills the field the same way wherever the drop lands.
    m_field->setAcceptDrops(false);
    m_field->setText(m_composition.pastedText());
    fieldRow->addWidget(m_field, 1);
    m_scan = new QPushButton(urlRow);
    m_scan->setObjectName(QStringLiteral("button_scan"));
    fieldRow->addWidget(m_scan);
    urlStack->addLayout(fieldRow);
    m_hint = new QLabel(urlRow);
    m_hint->setWordWrap(true);
    TextStyle::apply(m_hint, TextStyle::Role::Caption);
    Theme::setForeground(m_hint, Theme::Ink::Secondary);
    urlStack->addWidget(m_hint);
    stack->addWidget(urlRow);

    // The stage: one of these is shown at a time.
    m_downloadCard = new DownloadCard(model, column);
    m_analysing = new AnalysingCard(column);
    m_listing = new ListingNotice(model, column);
    m_preview = new PreviewCard(model, column);
    m_failure = new NoticeFrame(Theme::Ink::Warning, 10, column);
    m_failure->setObjectName(QStringLiteral("analysis_failure"));
    auto* failureRow = new QHBoxLayout(m_failure);
    failureRow->setContentsMargins(14, 14, 14, 14);
    failureRow->setSpacing(8);
    failureRow->addWidget(new SymbolLabel(QStringLiteral("exclamationmark.triangle"),
                                          TextStyle::font(TextStyle::Role::Callout).pointSize() + 5,
                                          Theme::Ink::Warning, m_failure),
                          0, Qt::AlignTop);
    m_failureText = new QLabel(m_failure);
    m_failureText->setObjectName(QStringLiteral("analysis_failure_text"));
    m_failureText->setTextFormat(Qt::PlainText);
    m_failureText->setWordWrap(true);
    m_failureText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    TextStyle::apply(m_failureText, TextStyle::Role::Callout);
    Theme::setForeground(m_failureText, Theme::Ink::Warning);
    failureRow->addWidget(m_failureText, 1);
    m_empty = new EmptyStateSteps(column);
    for (QWidget* w : std::initializer_list<QWidget*>{m_downloadCard, m_analysing, m_listing, m_preview,
                                                      m_failure, m_empty}) {
        w->hide();
        stack->addWidget(w);
    }

    m_options = new OptionsBlock(model, column);
    stack->addWidget(m_options);
    m_actions = new ActionRow(model, column);
    stack->addWidget(m_actions);
    stack->addStretch(1);

    // The column fills the height (its stretch at the bottom) instead of floating in the middle.
    column->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    QWidget* content = paneContent(column);
    m_scroll->setWidget(content);

    m_overlay = new DropOverlay(this);
    m_overlay->hide();

    connect(m_field, &QLineEdit::textEdited, this,
            [this](const QString& text) { m_composition.setPastedText(text); });
    connect(m_field, &QLineEdit::returnPressed, this, &DownloadPane::analyze);
    connect(m_scan, &QPushButton::clicked, this, &DownloadPane::analyze);
    for (QKeySequence keys :
         {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)}) {
        auto* shortcut = new QShortcut(keys, this, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, m_actions, &ActionRow::triggerDownload);
    }

    connect(&m_composition, &Composition::pastedTextChanged, this, &DownloadPane::refreshField);
    connect(&m_composition, &Composition::isAnalyzingChanged, this, &DownloadPane::refreshStage);
    connect(&m_composition, &Composition::freshAnalysisChanged, this, &DownloadPane::refreshStage);
    connect(&m_composition, &Composition::freshFailureChanged, this, &DownloadPane::refreshStage);
    connect(&model->queuePart(), &DownloadQueue::currentDownloadChanged, this,
            &DownloadPane::watchCurrentDownload);
    connect(&model->sessionPart(), &Session::stringsGenerationChanged, this, &DownloadPane::retranslate);
    retranslate();
    watchCurrentDownload();
}

void DownloadPane::retranslate() {
    m_urlLabel->setText(Strings::text(QStringLiteral("label_url")));
    m_field->setPlaceholderText(Strings::text(QStringLiteral("placeholder_url")));
    m_scan->setText(Strings::text(QStringLiteral("button_scan")));
    m_scan->setToolTip(Strings::text(QStringLiteral("tooltip_scan")));
    m_hint->setText(Strings::text(QStringLiteral("hint_web_video")));
    m_analysing->retranslate();
    m_empty->retranslate();
}

void DownloadPane::watchCurrentDownload() {
    disconnect(m_jobState);
    const std::shared_ptr<Job>& job = m_model->queuePart().currentDownload();
    if (job)
        m_jobState = connect(job.get(), &Job::stateChanged, this, &DownloadPane::refreshStage);
    m_downloadCard->setJob(job);
    refreshStage();
}

void DownloadPane::refreshField() {
    if (m_field->text() != m_composition.pastedText())
        m_field->setText(m_composition.pastedText());
    refreshStage();
}

void DownloadPane::refreshStage() {
    m_scan->setEnabled(!trimSpacesAndTabs(m_composition.pastedText()).isEmpty() &&
                       !m_composition.isAnalyzing());
    m_stage = downloadStageOf(*m_model);
    QWidget* shown = m_empty;
    switch (m_stage) {
    case DownloadStage::RunningDownload:
    case DownloadStage::FinishedDownload:
        shown = m_downloadCard;
        break;
    case DownloadStage::Analysing:
        shown = m_analysing;
        break;
    case DownloadStage::Listing:
        m_listing->setKind(m_composition.freshAnalysis()->listingKind);
        shown = m_listing;
        break;
    case DownloadStage::Preview:
        m_preview->setAnalysis(*m_composition.freshAnalysis());
        shown = m_preview;
        break;
    case DownloadStage::Failure:
        m_failureText->setText(m_composition.freshFailure().value_or(QString()));
        shown = m_failure;
        break;
    case DownloadStage::Empty:
        break;
    }
    for (QWidget* w : std::initializer_list<QWidget*>{m_downloadCard, m_analysing, m_listing, m_preview,
                                                      m_failure, m_empty}) {
        if (w != shown)
            w->hide();
    }
    shown->show();
}

void DownloadPane::analyze() {
    QPointer<AppModel> model(m_model);
    spawn(m_model, [model]() -> QCoro::Task<void> { co_await model->compositionPart().analyzeCurrent(); });
}

std::optional<QString> DownloadPane::droppedAddress(const QMimeData* data) {
    if (!data)
        return std::nullopt;
    QUrl url;
    if (data->hasUrls() && !data->urls().isEmpty()) {
        url = data->urls().first();
    } else if (data->hasText()) {
        // A dragged text counts when it reads as one address with a scheme.
        const QString text = data->text().trimmed();
        if (text.isEmpty() || text.contains(u'\n') || text.contains(u' '))
            return std::nullopt;
        url = QUrl(text, QUrl::StrictMode);
        if (url.scheme().isEmpty() || (!url.isLocalFile() && url.host().isEmpty()))
            return std::nullopt;
    }
    if (!url.isValid() || url.isEmpty())
        return std::nullopt;
    if (url.isLocalFile())
        return url.toLocalFile();
    return url.toString(QUrl::FullyEncoded);
}

void DownloadPane::dragEnterEvent(QDragEnterEvent* event) {
    const QMimeData* data = event->mimeData();
    if (data && (data->hasUrls() || data->hasText())) {
        event->acceptProposedAction();
        setDropTargeted(true);
    }
}

void DownloadPane::dragMoveEvent(QDragMoveEvent* event) {
    event->acceptProposedAction();
}

void DownloadPane::dragLeaveEvent(QDragLeaveEvent* event) {
    QWidget::dragLeaveEvent(event);
    setDropTargeted(false);
}

void DownloadPane::dropEvent(QDropEvent* event) {
    setDropTargeted(false);
    const QMimeData* data = event->mimeData();
    if (!data || (!data->hasUrls() && !data->hasText()))
        return;
    event->acceptProposedAction();
    if (const std::optional<QString> address = droppedAddress(data))
        m_composition.setPastedText(*address);
}

void DownloadPane::setDropTargeted(bool targeted) {
    m_overlay->setVisible(targeted);
    if (targeted)
        m_overlay->raise();
}

void DownloadPane::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_overlay->setGeometry(rect());
}

void DownloadPane::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    m_field->setFocus(Qt::OtherFocusReason);
}
