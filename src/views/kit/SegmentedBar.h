#pragma once

#include <QAbstractButton>
#include <QList>
#include <QVariant>
#include <QWidget>

#include <functional>

class QHBoxLayout;

// A compact segmented chooser over a list of distinct values: one equal-width segment per value, the
// selected one filled with the accent. It holds no state of the model: the owner sets the selection from
// the model and writes the model on `picked`, which fires on every click, also on the selected segment.
// A selection that is not among the values marks no segment.
class SegmentedBar : public QWidget {
    Q_OBJECT
public:
    using Label = std::function<QString(const QVariant&)>;

    explicit SegmentedBar(QWidget* parent = nullptr);

    // Rebuilds the segments. Each segment's objectName is "segment_" + value.toString().
    void setValues(const QList<QVariant>& values, Label label);
    // Relabels the segments (a new language) without touching the selection.
    void relabel();
    const QList<QVariant>& values() const { return m_values; }

    void setSelection(const QVariant& value);
    const QVariant& selection() const { return m_selection; }

    // The segment of `value`, null when there is none.
    QAbstractButton* segment(const QVariant& value) const;

Q_SIGNALS:
    // The user clicked the segment of `value`; the bar has already marked it.
    void picked(const QVariant& value);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void mark();

    QHBoxLayout* m_layout;
    QList<QVariant> m_values;
    QList<QAbstractButton*> m_segments;
    Label m_label;
    QVariant m_selection;
};

// One segment: its whole padded area takes the click; text elided to one line.
class SegmentButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit SegmentButton(QWidget* parent = nullptr);

    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_selected = false;
};
