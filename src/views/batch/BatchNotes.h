#pragma once

#include "EngineTypesDownload.h"

#include <QWidget>

#include <vector>

class AppModel;
class QLabel;
class QVBoxLayout;

// The notes of the last resolved batch (and of the listings accepted since): warnings first, then the
// notes that only inform. Hidden while there are none.
class BatchNotes : public QWidget {
    Q_OBJECT

public:
    explicit BatchNotes(AppModel* model, QWidget* parent = nullptr);

    // The notes in display order: a stable partition that puts the informing ones last.
    static std::vector<BatchNote> ordered(const std::vector<BatchNote>& notes);
    // A note that only informs (drawn in the secondary ink with an information symbol).
    static bool informs(const BatchNote& note);

    QLabel* titleLabel() const { return m_title; }
    // One widget per note in display order; each holds a SymbolLabel "note.symbol" and a QLabel "note.text".
    const std::vector<QWidget*>& rows() const { return m_rows; }

private:
    void rebuild();

    AppModel* m_model;
    QVBoxLayout* m_layout;
    QLabel* m_title;
    std::vector<QWidget*> m_rows;
};
