#include "library/IndexFooter.h"

#include "AppModel.h"
#include "Library.h"
#include "Spawn.h"
#include "Strings.h"
#include "Transcriptions.h"
#include "kit/LinkButton.h"
#include "kit/SymbolLabel.h"
#include "kit/TextStyle.h"
#include "kit/TextsFollow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>

IndexFooter::IndexFooter(AppModel* model, QWidget* parent) : QWidget(parent), m_model(model) {
    setObjectName(QStringLiteral("indexFooter"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);
    row->addWidget(new SymbolLabel(QStringLiteral("text.magnifyingglass"), 14, Theme::Ink::Secondary, this));
    m_index = new QLabel(this);
    m_index->setObjectName(QStringLiteral("indexLine"));
    row->addWidget(m_index);
    row->addStretch(1);
    m_spinner = new QProgressBar(this);
    m_spinner->setObjectName(QStringLiteral("transcriptionsSpinner"));
    m_spinner->setRange(0, 0);
    m_spinner->setTextVisible(false);
    m_spinner->setFixedSize(48, 6);
    row->addWidget(m_spinner);
    m_working = new QLabel(this);
    m_working->setObjectName(QStringLiteral("transcribe_part_working"));
    row->addWidget(m_working);
    m_reindex = new LinkButton(QStringLiteral("button_reindex"), this);
    row->addWidget(m_reindex);
    for (QWidget* w : std::initializer_list<QWidget*>{m_index, m_working, m_reindex}) {
        TextStyle::apply(w, TextStyle::Role::Caption);
    }
    for (QLabel* label : {m_index, m_working})
        Theme::setForeground(label, Theme::Ink::Secondary);

    connect(m_reindex, &QPushButton::clicked, this, &IndexFooter::reindex);
    connect(&model->libraryPart(), &Library::searchStatusChanged, this, &IndexFooter::refresh);
    connect(&model->transcriptionsPart(), &Transcriptions::transcriptionsChanged, this,
            &IndexFooter::refresh);
    followTexts(*model, this, [this] { refresh(); });
}

void IndexFooter::refresh() {
    const std::optional<SearchStatus>& status = m_model->libraryPart().searchStatus();
    m_index->setText(status && status->documents >= 1
                         ? Strings::text(QStringLiteral("label_index_transcriptions"),
                                         {{QStringLiteral("n"), QString::number(status->documents)}})
                         : Strings::text(QStringLiteral("label_index_empty")));
    const std::size_t active = m_model->transcriptionsPart().activeTranscriptions().size();
    m_spinner->setVisible(active > 0);
    m_working->setVisible(active > 0);
    m_working->setText(Strings::text(QStringLiteral("transcribe_part_working"),
                                     {{QStringLiteral("n"), QString::number(active)}}));
    m_reindex->setText(
        Strings::text(m_reindexing ? QStringLiteral("button_loading") : QStringLiteral("button_reindex")));
    m_reindex->setEnabled(!m_reindexing);
}

void IndexFooter::reindex() {
    if (m_reindexing)
        return;
    m_reindexing = true;
    refresh();
    QPointer<IndexFooter> self(this);
    spawn(this, [self, library = &m_model->libraryPart()]() -> QCoro::Task<void> {
        co_await library->reindexSearch();
        if (!self)
            co_return;
        self->m_reindexing = false;
        self->refresh();
    });
}
