#pragma once

#include "kit/Theme.h"

#include <QPersistentModelIndex>
#include <QStyledItemDelegate>

class QAbstractItemView;
class QMouseEvent;

// The base of the painted list rows. It follows the part of a row under the pointer and the part a
// press began on, turns a press and a release on the same part of the same row into a click, shows
// the tooltip of the part hovered, and draws what the rows share: icons, pictures, the title and
// caption, a progress bar, the check box and the focus ring. Parts are numbered by each delegate;
// -1 is none (the row's blank).
class RowDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    // The box of a row's icon (as the row widgets' RowIcon) and the side of its symbol.
    static constexpr QSize iconFrame{22, 18};
    static constexpr int iconSide = 14;
    static constexpr int checkBoxSide = 16;

    // `view` is the list drawn: it tracks the mouse for hovering and is repainted when the hovered part
    // changes. A delegate without hovering may have none.
    explicit RowDelegate(QAbstractItemView* view, QObject* parent = nullptr);

    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

    // Box `i` of a strip of `count` icons ending `inset` inside the row's trailing edge.
    static QRect stripBox(const QRect& row, int inset, int count, int i);

    // Saves the painter's state (the caller restores it) and turns on smooth edges and pictures.
    static void beginRow(QPainter* painter);
    // A symbol tinted in `colour`, from the application's pixmap cache.
    static QPixmap symbol(const QString& name, int side, const QColor& colour, qreal ratio);
    // `pixmap` centred in `box` on whole pixels.
    static void drawCentred(QPainter* painter, const QRectF& box, const QPixmap& pixmap);
    // A row icon: a quiet backing while hovered, the symbol in the ink of its state.
    static void paintIcon(QPainter* painter, const QRect& box, const QString& symbol, bool enabled,
                          bool hovered);
    // A picture covering `frame` with rounded corners, on a quiet fill while it has none.
    static void paintPicture(QPainter* painter, const QRectF& frame, double radius, const QImage& image,
                             bool dim = false);

    static QFont titleFont();
    static QFont captionFont();
    // The title, an optional bar and the caption, `gap` apart, centred as one block on `centreY`.
    struct Lines {
        QRect title;
        QRectF bar;
        QRect caption;
    };
    static Lines lines(int left, int width, int centreY, int gap, int barHeight = 0);
    // One line of `text` in `rect`, cut short with an ellipsis when it does not fit.
    static void paintLine(QPainter* painter, const QRect& rect, const QString& text, const QFont& font,
                          const QColor& colour, Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter);
    // A rounded track filled to `fraction` (0…1).
    static void paintBar(QPainter* painter, const QRectF& track, double fraction);
    // Drawn here rather than by the style, so it reads in dark mode as in light.
    static void paintCheckBox(QPainter* painter, const QRect& box, bool on);
    // The ring of the current row of a focused list.
    static void paintFocus(QPainter* painter, const QStyleOptionViewItem& option, const QRect& rect,
                           double radius = 6);
    // Line breaks as spaces: a row shows one line.
    static QString oneLine(QString text);

protected:
    struct Tip {
        QString text;
        QRect area;
    };

    // The part of the row drawn in `row` under `pos`.
    virtual int partAt(const QModelIndex& index, const QRect& row, const QPoint& pos) const;
    // The tooltip at `pos`; none leaves the event to the view.
    virtual Tip tipAt(const QModelIndex& index, const QRect& row, const QPoint& pos) const;
    // A left button pressed, double-clicked or released over `part`. By default a press (and a double
    // click when doubleClicksPress) is taken when it lands on a part, and a release that ends a click on a
    // part calls clicked().
    virtual bool buttonEvent(const QMouseEvent& mouse, const QModelIndex& index, int part);
    virtual void clicked(const QModelIndex& index, int part, Qt::KeyboardModifiers modifiers);

    bool isHovered(const QModelIndex& index, int part) const;
    void press(const QModelIndex& index, int part);
    // Whether a release over `part` of `index` ends a click begun there; the press is forgotten.
    bool release(const QModelIndex& index, int part);

    // A second press of a double click presses again, as on a button.
    void setDoubleClicksPress(bool on) { m_doubleClicksPress = on; }
    // The pointer becomes a hand over a part.
    void setHandOverParts(bool on) { m_handOverParts = on; }
    QAbstractItemView* view() const { return m_view; }

private:
    void hover(const QModelIndex& index, int part);

    QAbstractItemView* m_view;
    QPersistentModelIndex m_hoverIndex;
    int m_hoverPart = -1;
    QPersistentModelIndex m_pressIndex;
    int m_pressPart = -1;
    bool m_doubleClicksPress = false;
    bool m_handOverParts = false;
};
