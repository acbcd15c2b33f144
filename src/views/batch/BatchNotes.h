#pragma once

#include "EngineTypesDownload.h"

#include <QAbstractListModel>
#include <QListView>
#include <QWidget>

#include <vector>

class DownloadQueue;
class QLabel;

// The notes of the last resolved batch in display order, one row each. A row's text is looked up only
// when it is first shown or measured, so a batch of 10,000 notes is not 10,000 lookups at once.
class BatchNotesModel : public QAbstractListModel {
    Q_OBJECT

public:
    enum Role { InformsRole = Qt::UserRole + 1 };

    explicit BatchNotesModel(DownloadQueue* queue, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    // DisplayRole: the note's message (a very long one cut short); InformsRole: whether it only informs.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    const std::vector<BatchNote>& notes() const { return m_notes; }

    // Longest message shown; a pasted megabyte that is no address must not become one row's text.
    static constexpr int messageLimit = 1000;

private:
    void reload();

    DownloadQueue* m_queue;
    std::vector<BatchNote> m_notes;
    mutable std::vector<QString> m_messages; // null until looked up
};

// The notes drawn by one painting delegate, each message wrapped to the width: as tall as its notes up
// to `maxHeight`, scrolling beyond it.
class BatchNotesList : public QListView {
    Q_OBJECT

public:
    explicit BatchNotesList(BatchNotesModel* notes, QWidget* parent = nullptr);

    static int maxHeight();
    // Lays out the notes at once when a layout is due (a reset leaves it for the next turn).
    void layOutNow();

    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void updateGeometries() override;

private:
    void fitHeight();

    int m_laidOutWidth = -1;
};

// The notes block of the Batch tab: its title and the list of the notes of the last resolved batch (and
// of the listings accepted since), warnings first, then the notes that only inform. Hidden while there
// are none.
class BatchNotes : public QWidget {
    Q_OBJECT

public:
    explicit BatchNotes(DownloadQueue* queue, QWidget* parent = nullptr);

    // The notes in display order: a stable partition that puts the informing ones last.
    static std::vector<BatchNote> ordered(const std::vector<BatchNote>& notes);
    // A note that only informs (drawn in the secondary ink with an information symbol).
    static bool informs(const BatchNote& note);
    // The symbol a note is drawn with.
    static QString symbolOf(bool informs);

    QLabel* titleLabel() const { return m_title; }
    BatchNotesModel* rows() const { return m_rows; }
    BatchNotesList* list() const { return m_list; }

private:
    void refresh();

    QLabel* m_title;
    BatchNotesModel* m_rows;
    BatchNotesList* m_list;
};
