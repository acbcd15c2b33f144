#include "transcription/TranscriptionListModel.h"

#include "AppModel.h"
#include "Session.h"
#include "TranscriptionJob.h"
#include "Transcriptions.h"
#include "transcription/TranscriptionRowContent.h"

#include <algorithm>

TranscriptionListModel::TranscriptionListModel(AppModel* model, QObject* parent)
    : QAbstractListModel(parent), m_model(model) {
    for (const auto& [id, job] : model->transcriptionsPart().jobs()) {
        m_rows.push_back(job);
        watch(job.get());
    }
    // Many jobs can come or go in one turn (files chosen or dropped together, Clear list): the rows
    // follow once, on the next turn, in one walk.
    m_syncLater.setSingleShot(true);
    m_syncLater.setInterval(0);
    connect(&m_syncLater, &QTimer::timeout, this, &TranscriptionListModel::sync);
    connect(&model->transcriptionsPart(), &Transcriptions::transcriptionsChanged, this, [this] {
        if (!m_syncLater.isActive())
            m_syncLater.start();
    });
    // Captions are texts of the current language.
    connect(&model->sessionPart(), &Session::stringsGenerationChanged, this, [this] {
        if (!m_rows.empty())
            Q_EMIT dataChanged(index(0), index(rowCount() - 1),
                               {CaptionRole, Qt::DisplayRole, Qt::AccessibleDescriptionRole});
    });
}

int TranscriptionListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

std::shared_ptr<TranscriptionJob> TranscriptionListModel::jobAt(int row) const {
    return row >= 0 && row < int(m_rows.size()) ? m_rows[size_t(row)] : nullptr;
}

int TranscriptionListModel::rowOf(const TranscriptionJob* job) const {
    if (!job)
        return -1;
    const auto it = std::lower_bound(m_rows.begin(), m_rows.end(), job->id(),
                                     [](const auto& row, const QString& id) { return row->id() < id; });
    return it != m_rows.end() && it->get() == job ? int(it - m_rows.begin()) : -1;
}

QVariant TranscriptionListModel::data(const QModelIndex& index, int role) const {
    const std::shared_ptr<TranscriptionJob> job = index.parent().isValid() ? nullptr : jobAt(index.row());
    if (!job)
        return {};
    switch (role) {
    case JobRole:
        return QVariant::fromValue(job.get());
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return job->title();
    case Qt::AccessibleDescriptionRole:
        return TranscriptionRowContent::captionOf(*job);
    case IdRole:
        return job->id();
    case StateRole:
        return QVariant::fromValue(job->state());
    case FractionRole:
        return job->fraction();
    case CaptionRole:
        return TranscriptionRowContent::captionOf(*job);
    default:
        return {};
    }
}

void TranscriptionListModel::watch(TranscriptionJob* job) {
    auto changed = [this, job] {
        const int row = rowOf(job);
        if (row >= 0)
            Q_EMIT dataChanged(index(row), index(row));
    };
    connect(job, &TranscriptionJob::changed, this, changed);
    connect(job, &TranscriptionJob::stateChanged, this, changed);
}

void TranscriptionListModel::sync() {
    // Both lists are ordered by id: one walk finds the rows that left and the jobs that came.
    const auto& jobs = m_model->transcriptionsPart().jobs();
    auto next = jobs.begin();
    int row = 0;
    while (row < int(m_rows.size()) || next != jobs.end()) {
        // The common case, a row still there, costs a pointer comparison.
        if (row < int(m_rows.size()) && next != jobs.end() && m_rows[size_t(row)] == next->second) {
            ++row;
            ++next;
            continue;
        }
        const bool rowLeft =
            row < int(m_rows.size()) &&
            (next == jobs.end() || m_rows[size_t(row)]->id() < next->first ||
             (m_rows[size_t(row)]->id() == next->first && m_rows[size_t(row)] != next->second));
        if (rowLeft) {
            int last = row;
            while (last + 1 < int(m_rows.size()) &&
                   (next == jobs.end() || m_rows[size_t(last + 1)]->id() < next->first))
                ++last;
            beginRemoveRows({}, row, last);
            for (int r = row; r <= last; ++r)
                disconnect(m_rows[size_t(r)].get(), nullptr, this, nullptr);
            m_rows.erase(m_rows.begin() + row, m_rows.begin() + last + 1);
            endRemoveRows();
            continue;
        }
        // Jobs that came before the next kept row (or at the end).
        std::vector<std::shared_ptr<TranscriptionJob>> added;
        while (next != jobs.end() && (row == int(m_rows.size()) || next->first < m_rows[size_t(row)]->id())) {
            added.push_back(next->second);
            ++next;
        }
        beginInsertRows({}, row, row + int(added.size()) - 1);
        m_rows.insert(m_rows.begin() + row, added.begin(), added.end());
        endInsertRows();
        for (const auto& job : added)
            watch(job.get());
        row += int(added.size());
    }
}
