#pragma once

// Drives the library pane as a user would: category segments, clicks on the parts of painted rows, and a
// library seeded into the stand-in engine.

#include "LibrarySeed.h"
#include "ViewHelpers.h"

#include "kit/SegmentedBar.h"
#include "library/LibraryPane.h"
#include "library/LibraryPaneModel.h"
#include "library/LibraryRowDelegate.h"

#include <QAbstractButton>
#include <QJsonArray>
#include <QJsonObject>
#include <QListView>
#include <QScrollBar>

inline QJsonObject libraryItem(const QString& path, const QString& kind, const QString& channel = {},
                               const QString& playlist = {}, qint64 size = 1000) {
    return {{"path", path},
            {"title", QFileInfo(path).completeBaseName()},
            {"url", "https://example.test" + path},
            {"kind", kind},
            {"sizeBytes", size},
            {"channel", channel},
            {"playlist", playlist}};
}

inline void clickCategory(LibraryPane& pane, const QString& raw) {
    auto* bar = pane.findChild<SegmentedBar*>(QStringLiteral("categoryBar"));
    QVERIFY(bar);
    QAbstractButton* segment = bar->segment(raw);
    QVERIFY(segment);
    QTest::mouseClick(segment, Qt::LeftButton);
}

// Scrolls `row` into view and clicks the middle of `spot` (or of the row's blank middle for Spot::None).
inline bool clickRow(LibraryPane& pane, int row, LibraryRowDelegate::Spot spot,
                     Qt::KeyboardModifiers modifiers = Qt::NoModifier, bool twice = false) {
    if (row < 0)
        return false;
    QListView* list = pane.list();
    const QModelIndex index = pane.rows()->index(row);
    list->scrollTo(index);
    QCoreApplication::processEvents();
    const QRect rect = list->visualRect(index);
    if (!rect.isValid())
        return false;
    QPoint at;
    if (spot == LibraryRowDelegate::Spot::None) {
        // Between the text and the icons is blank in every kind of row; the text is left of the middle.
        at = QPoint(rect.left() + rect.width() / 2, rect.center().y());
    } else {
        const QRect box = pane.delegate()->spotRect(row, rect, spot);
        if (box.isEmpty())
            return false;
        at = box.center();
    }
    if (twice)
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, modifiers, at);
    else
        QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, at);
    return true;
}

// The tags of the listed rows of one kind, in order.
inline QStringList tagsOf(const LibraryPaneModel& rows, LibraryPaneModel::Kind kind) {
    QStringList tags;
    for (int r = 0; r < rows.rowCount(); ++r) {
        if (rows.kindAt(r) == kind)
            tags << rows.tagAt(r);
    }
    return tags;
}

inline QString headerText(const LibraryPaneModel& rows, LibraryPaneModel::Kind kind) {
    for (int r = 0; r < rows.rowCount(); ++r) {
        if (rows.kindAt(r) == kind)
            return rows.index(r).data().toString();
    }
    return {};
}
