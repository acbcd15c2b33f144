#pragma once

#include <QScrollArea>
#include <QString>

class AppModel;
class QLabel;
class QLayout;
class QVBoxLayout;

// One tab of the settings: a scrolling column of grouped sections, each a card of rows, optionally headed
// by a caption. Texts are looked up again whenever a new text table comes.
class SettingsForm : public QScrollArea {
    Q_OBJECT
public:
    explicit SettingsForm(const AppModel& model, QWidget* parent = nullptr);

    // A new section at the end of the column; its rows go in the returned layout. `headerKey` is a text key.
    QVBoxLayout* addSection(const QString& headerKey = {});
    // The card of the section last added, to show or hide it whole.
    QWidget* lastSection() const { return m_lastSection; }

    // A row: the label (a text key) at the leading edge, `control` at the trailing edge.
    QLabel* addRow(QVBoxLayout* section, const QString& labelKey, QWidget* control);
    // A row holding only `content`, spanning the width.
    void addWide(QVBoxLayout* section, QWidget* content);
    // A caption-sized hint in the secondary ink, wrapping onto as many lines as it needs.
    QLabel* addHint(QVBoxLayout* section, const QString& key);

    // A label whose text is the text of `key`, kept current.
    QLabel* textLabel(const QString& key, QWidget* parent = nullptr);

private:
    const AppModel& m_model;
    QVBoxLayout* m_column;
    QWidget* m_lastSection = nullptr;
};
