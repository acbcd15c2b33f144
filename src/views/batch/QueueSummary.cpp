#include "batch/QueueSummary.h"

#include "DownloadQueue.h"
#include "Strings.h"
#include "kit/TextStyle.h"
#include "kit/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>

#include <array>

namespace {

const std::array<const char*, 5> groupKeys{"queue_part_waiting", "queue_part_downloading",
                                           "queue_part_paused", "queue_part_done", "queue_part_error"};

// The group of a state, -1 for one that is never counted.
int groupOf(Job::State::Kind kind) {
    switch (kind) {
    case Job::State::Waiting:
    case Job::State::Queued:
        return 0;
    case Job::State::Analyzing:
    case Job::State::Downloading:
    case Job::State::Processing:
    case Job::State::Converting:
        return 1;
    case Job::State::Paused:
        return 2;
    case Job::State::Done:
        return 3;
    case Job::State::Failed:
        return 4;
    case Job::State::Cancelled:
        return -1;
    }
    return -1;
}

} // namespace

QueueSummary::QueueSummary(DownloadQueue* queue, QWidget* parent) : QWidget(parent), m_queue(queue) {
    setObjectName(QStringLiteral("queue_summary"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(24, 10, 24, 10);
    row->setSpacing(16);
    for (const char* key : groupKeys) {
        auto* label = new QLabel(this);
        label->setObjectName(QString::fromLatin1(key));
        label->setTextFormat(Qt::PlainText);
        TextStyle::apply(label, TextStyle::Role::Caption);
        Theme::setForeground(label, Theme::Ink::Secondary);
        label->hide();
        row->addWidget(label);
        m_labels.push_back(label);
    }
    row->addStretch(1);
    // The bar keeps its height while the queue is empty.
    setFixedHeight(std::max(QFontMetrics(TextStyle::font(TextStyle::Role::Caption)).height(),
                            m_labels.front()->sizeHint().height()) +
                   20);
    connect(queue, &DownloadQueue::jobsChanged, this, &QueueSummary::schedule);
    connect(queue, &DownloadQueue::activityChanged, this, &QueueSummary::schedule);
    connect(queue, &DownloadQueue::textsChanged, this, &QueueSummary::refresh);
    refresh();
}

std::vector<QueueSummary::Part> QueueSummary::parts(const std::vector<std::shared_ptr<Job>>& jobs) {
    std::array<int, groupKeys.size()> counts{};
    for (const auto& job : jobs) {
        const int group = groupOf(job->state().kind);
        if (group >= 0)
            ++counts[size_t(group)];
    }
    std::vector<Part> out;
    for (size_t i = 0; i < groupKeys.size(); ++i) {
        if (counts[i] > 0)
            out.push_back({QString::fromLatin1(groupKeys[i]), counts[i]});
    }
    return out;
}

void QueueSummary::schedule() {
    // A burst of changes (a batch resolved, a queue cleared) counts once.
    if (m_scheduled)
        return;
    m_scheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_scheduled = false;
        refresh();
    });
}

void QueueSummary::refresh() {
    const std::vector<Part> shown = parts(m_queue->jobs());
    for (QLabel* label : m_labels) {
        const auto part = std::find_if(shown.begin(), shown.end(),
                                       [&](const Part& p) { return p.key == label->objectName(); });
        label->setVisible(part != shown.end());
        if (part != shown.end())
            label->setText(Strings::text(part->key, {{QStringLiteral("n"), QString::number(part->count)}}));
    }
}
