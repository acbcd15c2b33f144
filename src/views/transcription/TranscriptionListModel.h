#pragma once

#include <QAbstractListModel>
#include <QTimer>

#include <memory>
#include <vector>

class AppModel;
class TranscriptionJob;

// The state's transcriptions as rows, ordered by job id as the state holds them. Rows follow the jobs
// that enter and leave on the next turn of the event loop, in runs (no reset, so a long list keeps its
// scroll position), and a row is redrawn when its job changes. Until then a row that left still holds
// its job, so nothing it draws or runs dangles.
class TranscriptionListModel : public QAbstractListModel {
    Q_OBJECT

public:
    enum Role { JobRole = Qt::UserRole + 1, IdRole, StateRole, FractionRole, CaptionRole };

    explicit TranscriptionListModel(AppModel* model, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // The state's own pointer (an action may outlive the row); null outside the list.
    std::shared_ptr<TranscriptionJob> jobAt(int row) const;
    int rowOf(const TranscriptionJob* job) const;

    // Brings the rows in line with the state now rather than on the next turn.
    void sync();

private:
    void watch(TranscriptionJob* job);

    AppModel* m_model;
    std::vector<std::shared_ptr<TranscriptionJob>> m_rows;
    QTimer m_syncLater;
};
