#pragma once

#include <QAbstractListModel>

#include <memory>
#include <vector>

class AppModel;
class TranscriptionJob;

// The state's transcriptions as rows, ordered by job id as the state holds them. Rows follow the jobs
// that enter and leave one by one (no reset, so a long list keeps its scroll position), and a row is
// redrawn when its job changes.
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

private:
    void sync();
    void watch(TranscriptionJob* job);

    AppModel* m_model;
    std::vector<std::shared_ptr<TranscriptionJob>> m_rows;
};
