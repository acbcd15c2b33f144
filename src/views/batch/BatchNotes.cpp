#include "batch/BatchNotes.h"

#include "AppModel.h"
#include "Strings.h"
#include "kit/SymbolLabel.h"
#include "kit/TextStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>

BatchNotes::BatchNotes(AppModel* model, QWidget* parent)
    : QWidget(parent), m_model(model), m_layout(new QVBoxLayout(this)), m_title(new QLabel(this)) {
    setObjectName(QStringLiteral("batch_notes"));
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(6);
    m_title->setObjectName(QStringLiteral("dialog_title_batch_notes"));
    TextStyle::apply(m_title, TextStyle::Role::Subheadline, QFont::Medium);
    m_layout->addWidget(m_title);
    connect(model, &AppModel::resolveNotesChanged, this, &BatchNotes::rebuild);
    // The notes' messages are texts of the current language too.
    connect(model, &AppModel::stringsGenerationChanged, this, &BatchNotes::rebuild);
    rebuild();
}

bool BatchNotes::informs(const BatchNote& note) {
    return note.reason == u"subreddit-expanded" || note.reason == u"listing-truncated";
}

std::vector<BatchNote> BatchNotes::ordered(const std::vector<BatchNote>& notes) {
    std::vector<BatchNote> out = notes;
    std::stable_partition(out.begin(), out.end(), [](const BatchNote& n) { return !informs(n); });
    return out;
}

void BatchNotes::rebuild() {
    m_title->setText(Strings::text(QStringLiteral("dialog_title_batch_notes")));
    for (QWidget* row : m_rows)
        delete row;
    m_rows.clear();
    const std::vector<BatchNote> notes = ordered(m_model->resolveNotes());
    const int symbolSize = QFontMetrics(TextStyle::font(TextStyle::Role::Caption)).height();
    for (const BatchNote& note : notes) {
        const bool info = informs(note);
        const Theme::Ink ink = info ? Theme::Ink::Secondary : Theme::Ink::Warning;
        auto* row = new QWidget(this);
        row->setObjectName(QStringLiteral("note"));
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(0, 0, 0, 0);
        line->setSpacing(6);
        auto* symbol =
            new SymbolLabel(info ? QStringLiteral("info.circle") : QStringLiteral("exclamationmark.triangle"),
                            symbolSize, ink, row);
        symbol->setObjectName(QStringLiteral("note.symbol"));
        line->addWidget(symbol, 0, Qt::AlignTop);
        auto* text = new QLabel(row);
        text->setObjectName(QStringLiteral("note.text"));
        // Engine text is shown as it is, never as markup.
        text->setTextFormat(Qt::PlainText);
        text->setWordWrap(true);
        text->setText(note.message());
        TextStyle::apply(text, TextStyle::Role::Caption);
        Theme::setForeground(text, ink);
        line->addWidget(text, 1);
        m_layout->addWidget(row);
        m_rows.push_back(row);
    }
    setVisible(!notes.empty());
}
