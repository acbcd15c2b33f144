#include "transcription/TranscriptionPane.h"

#include "AppModel.h"
#include "SpeechModels.h"
#include "Strings.h"
#include "TranscriptionJob.h"
#include "Transcriptions.h"
#include "kit/Divider.h"
#include "kit/EmptyNotice.h"
#include "kit/LinkButton.h"
#include "kit/PaneContent.h"
#include "kit/RowListView.h"
#include "kit/TextsFollow.h"
#include "kit/Theme.h"
#include "transcription/DropZone.h"
#include "transcription/TranscriptionFooter.h"
#include "transcription/TranscriptionListModel.h"
#include "transcription/TranscriptionRowContent.h"
#include "transcription/TranscriptionRowDelegate.h"

#include <QHBoxLayout>
#include <QMenu>
#include <QStackedLayout>
#include <QVBoxLayout>

TranscriptionPane::TranscriptionPane(AppModel* model, QWidget* parent) : QWidget(parent), m_model(model) {
    setObjectName(QStringLiteral("transcription_pane"));
    m_stack = new QStackedLayout(this);
    m_stack->setContentsMargins(0, 0, 0, 0);

    m_unsupported = new EmptyNotice(QString(), QStringLiteral("cpu"), std::nullopt, this);
    m_unsupported->setObjectName(QStringLiteral("transcribe_intel_pending"));
    m_stack->addWidget(m_unsupported);

    m_content = new QWidget(this);
    auto* outer = new QVBoxLayout(m_content);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    // The pane proper: the list scrolls by itself, so 10,000 jobs cost what 20 do.
    auto* column = new QWidget;
    column->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    auto* stack = sectionStack(column);
    m_dropZone = new DropZone(model, column);
    stack->addWidget(m_dropZone);
    stack->addWidget(new Divider(column));

    m_clearRow = new QWidget(column);
    auto* clearRow = new QHBoxLayout(m_clearRow);
    clearRow->setContentsMargins(0, 0, 0, 0);
    clearRow->addStretch(1);
    m_clear = new LinkButton(QStringLiteral("button_clear_list"), m_clearRow);
    clearRow->addWidget(m_clear);
    stack->addWidget(m_clearRow);
    connect(m_clear, &QPushButton::clicked, this,
            [this] { m_model->transcriptionsPart().clearTranscriptions(); });

    m_rows = new TranscriptionListModel(model, this);
    m_list = new RowListView(column);
    m_list->setObjectName(QStringLiteral("transcription_list"));
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setUniformItemSizes(true);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_list->viewport()->setAutoFillBackground(false);
    m_list->setStyleSheet(QStringLiteral("QListView { background: transparent; }"));
    m_list->setModel(m_rows);
    m_list->setItemDelegate(new TranscriptionRowDelegate(model, m_rows, m_list));
    stack->addWidget(m_list, 1);
    using Control = TranscriptionRowContent::Control;
    m_list->setActions({
        {},
        [this](const QModelIndex& index) { return runControl(index.row(), int(Control::Reveal)); },
        [this](const QModelIndex& index) { return runControl(index.row(), int(Control::Remove)); },
        [this](const QModelIndex& index, QMenu& menu) {
            const std::shared_ptr<TranscriptionJob> job = m_rows->jobAt(index.row());
            if (!job)
                return;
            for (Control control : TranscriptionRowContent::of(*job).controls) {
                if (control == Control::Remove)
                    menu.addSeparator();
                const QString key = TranscriptionRowContent::labelKey(control);
                QAction* action = menu.addAction(Strings::text(key));
                action->setObjectName(key);
                // The job itself: its row may have moved when the entry is chosen.
                connect(action, &QAction::triggered, this, [this, job, control] {
                    const int row = m_rows->rowOf(job.get());
                    if (row >= 0)
                        runControl(row, int(control));
                });
            }
        },
    });

    m_empty = new EmptyNotice(QString(), QStringLiteral("text.quote"), QString(), column);
    m_empty->setObjectName(QStringLiteral("transcribe_list_empty"));
    m_empty->setFixedHeight(200);
    stack->addWidget(m_empty);
    stack->addStretch(0);

    outer->addWidget(paneContent(column), 1);
    outer->addWidget(new Divider(m_content));
    m_footer = new TranscriptionFooter(model, m_content);
    outer->addWidget(m_footer);
    m_stack->addWidget(m_content);

    connect(&model->modelsPart(), &SpeechModels::modelsInfoChanged, this, &TranscriptionPane::refresh);
    connect(m_rows, &QAbstractItemModel::rowsInserted, this, &TranscriptionPane::refresh);
    connect(m_rows, &QAbstractItemModel::rowsRemoved, this, &TranscriptionPane::refresh);
    connect(m_rows, &QAbstractItemModel::rowsRemoved, m_list->viewport(), qOverload<>(&QWidget::update));
    followTexts(*model, this, [this] {
        setWindowTitle(Strings::text(QStringLiteral("tab_transcription")));
        m_unsupported->setTexts(Strings::text(QStringLiteral("transcribe_intel_pending")), std::nullopt);
        m_empty->setTexts(Strings::text(QStringLiteral("transcribe_list_empty")),
                          Strings::text(QStringLiteral("transcribe_help")));
        m_clear->setText(Strings::text(QStringLiteral("button_clear_list")));
    });
    refresh();
}

bool TranscriptionPane::runControl(int row, int control) {
    const std::shared_ptr<TranscriptionJob> job = m_rows->jobAt(row);
    if (!job)
        return false;
    const auto controls = TranscriptionRowContent::of(*job).controls;
    const auto wanted = static_cast<TranscriptionRowContent::Control>(control);
    if (std::find(controls.begin(), controls.end(), wanted) == controls.end())
        return false;
    TranscriptionRowContent::trigger(*m_model, job, wanted);
    return true;
}

bool TranscriptionPane::showsUnsupported() const {
    return m_stack->currentWidget() == m_unsupported;
}

void TranscriptionPane::refresh() {
    const auto& models = m_model->modelsPart().modelsInfo();
    m_stack->setCurrentWidget(models && !models->supported ? static_cast<QWidget*>(m_unsupported)
                                                           : m_content);
    const bool any = m_rows->rowCount() > 0;
    m_clearRow->setVisible(any);
    m_list->setVisible(any);
    m_empty->setVisible(!any);
}
