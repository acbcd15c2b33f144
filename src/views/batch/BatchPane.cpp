#include "batch/BatchPane.h"

#include "AppModel.h"
#include "DownloadQueue.h"
#include "JobListModel.h"
#include "Prompts.h"
#include "Spawn.h"
#include "Strings.h"
#include "batch/BatchNotes.h"
#include "batch/PasteField.h"
#include "batch/QueueListView.h"
#include "batch/QueueSummary.h"
#include "download/AnalysingCard.h"
#include "download/Banners.h"
#include "kit/Divider.h"
#include "kit/EmptyNotice.h"
#include "kit/LinkButton.h"
#include "kit/PaneContent.h"
#include "kit/ProminentButton.h"
#include "kit/TextStyle.h"
#include "kit/TextsFollow.h"
#include "kit/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

BatchPane::BatchPane(AppModel* model, QWidget* parent) : QWidget(parent), m_model(model) {
    setObjectName(QStringLiteral("batch_pane"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    m_scroll = paneScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("batch_scroll"));
    outer->addWidget(m_scroll, 1);
    outer->addWidget(new Divider(this));
    m_summary = new QueueSummary(&model->queuePart(), this);
    outer->addWidget(m_summary);

    auto* column = new QWidget;
    auto* stack = sectionStack(column);

    m_banners = new Banners(model, column);
    stack->addWidget(m_banners);

    // The paste field and its buttons.
    auto* input = new QWidget(column);
    m_label = new QLabel(input);
    auto* inputStack = captionedStack(input, m_label);
    m_field = new PasteField(input);
    m_field->setObjectName(QStringLiteral("batch_urls"));
    m_field->setPlainText(model->queuePart().batchURLs());
    inputStack->addWidget(m_field);
    m_hint = new QLabel(input);
    m_hint->setWordWrap(true);
    TextStyle::apply(m_hint, TextStyle::Role::Caption);
    Theme::setForeground(m_hint, Theme::Ink::Secondary);
    inputStack->addWidget(m_hint);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(12);
    m_add = new ProminentButton(QString(), input);
    m_add->setObjectName(QStringLiteral("button_add_to_queue"));
    TextStyle::apply(m_add, TextStyle::Role::Body, QFont::Medium);
    buttons->addWidget(m_add);
    m_spinner = new Spinner(16, input);
    m_spinner->setObjectName(QStringLiteral("resolving"));
    m_spinner->hide();
    buttons->addWidget(m_spinner);
    buttons->addStretch(1);
    m_resumeAll = new LinkButton(QStringLiteral("button_resume_all"), input);
    buttons->addWidget(m_resumeAll);
    m_clear = new LinkButton(QStringLiteral("button_clear_queue"), input);
    buttons->addWidget(m_clear);
    inputStack->addLayout(buttons);
    stack->addWidget(input);

    m_notes = new BatchNotes(&model->queuePart(), column);
    stack->addWidget(m_notes);
    stack->addWidget(new Divider(column));

    m_empty = new EmptyNotice(Strings::text(QStringLiteral("queue_empty")), QStringLiteral("list.bullet"),
                              std::nullopt, column);
    m_empty->setFixedHeight(emptyHeight);
    stack->addWidget(m_empty);
    m_list = new QueueListView(model, column);
    stack->addWidget(m_list);
    stack->addStretch(1);
    column->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    m_scroll->setWidget(paneContent(column));

    connect(m_field, &QPlainTextEdit::textChanged, this, [this] {
        // Only the user's edits go to the state; the field's own copy of the state's text does not.
        if (!m_syncing)
            m_model->queuePart().setBatchURLs(m_field->toPlainText());
        refreshButtons();
    });
    connect(m_add, &QPushButton::clicked, this, &BatchPane::add);
    connect(m_resumeAll, &QPushButton::clicked, this, [this] { m_model->queuePart().startWaiting(); });
    connect(m_clear, &QPushButton::clicked, this,
            [this] { m_model->promptsPart().setConfirmClearQueue(true); });

    connect(&model->queuePart(), &DownloadQueue::batchURLsChanged, this, &BatchPane::refreshField);
    connect(&model->queuePart(), &DownloadQueue::isResolvingChanged, this, &BatchPane::refreshButtons);
    connect(&model->queuePart(), &DownloadQueue::jobsChanged, this, &BatchPane::scheduleButtons);
    connect(&model->queuePart(), &DownloadQueue::activityChanged, this, &BatchPane::scheduleButtons);
    connect(&model->queuePart(), &DownloadQueue::jobsChanged, this, &BatchPane::refreshQueue);
    followTexts(*model, this, [this] { retranslate(); });
    refreshQueue();
}

void BatchPane::retranslate() {
    m_label->setText(Strings::text(QStringLiteral("label_batch_urls")));
    m_hint->setText(Strings::text(QStringLiteral("hint_batch")));
    m_resumeAll->setText(Strings::text(QStringLiteral("button_resume_all")));
    m_clear->setText(Strings::text(QStringLiteral("button_clear_queue")));
    m_empty->setTexts(Strings::text(QStringLiteral("queue_empty")), std::nullopt);
    refreshButtons();
}

void BatchPane::add() {
    if (!m_add->isEnabled())
        return;
    const QString text = m_model->queuePart().batchURLs();
    m_model->queuePart().setBatchURLs(QString());
    QPointer<AppModel> model(m_model);
    spawn(m_model, [model, text]() -> QCoro::Task<void> {
        if (model)
            co_await model->queuePart().enqueuePasted(text);
    });
}

void BatchPane::refreshField() {
    if (m_field->toPlainText() != m_model->queuePart().batchURLs()) {
        m_syncing = true;
        m_field->setPlainText(m_model->queuePart().batchURLs());
        m_syncing = false;
    }
    refreshButtons();
}

void BatchPane::scheduleButtons() {
    if (m_buttonsScheduled)
        return;
    m_buttonsScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_buttonsScheduled = false;
        refreshButtons();
    });
}

void BatchPane::refreshButtons() {
    const bool resolving = m_model->queuePart().isResolving();
    m_add->setText(
        Strings::text(resolving ? QStringLiteral("button_loading") : QStringLiteral("button_add_to_queue")));
    m_add->setEnabled(!resolving && !m_model->queuePart().batchURLs().trimmed().isEmpty());
    m_spinner->setVisible(resolving);
    const auto& jobs = m_model->queuePart().jobs();
    // Only waiting jobs count: paused ones are resumed from their rows.
    m_resumeAll->setEnabled(std::any_of(jobs.begin(), jobs.end(), [](const std::shared_ptr<Job>& job) {
        return job->state().kind == Job::State::Waiting;
    }));
    m_clear->setEnabled(!jobs.empty());
}

void BatchPane::refreshQueue() {
    const bool empty = m_model->queuePart().jobs().empty();
    m_empty->setVisible(empty);
    m_list->setVisible(!empty);
}

void BatchPane::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    m_field->setFocus(Qt::OtherFocusReason);
}
