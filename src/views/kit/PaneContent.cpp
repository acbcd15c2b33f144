#include "kit/PaneContent.h"

#include "kit/TextStyle.h"

#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>
#include <QWidget>

QWidget* paneContent(QWidget* column) {
    auto* frame = new QWidget;
    frame->setObjectName(QStringLiteral("paneContent"));
    frame->setSizePolicy(QSizePolicy::Expanding, column->sizePolicy().verticalPolicy());
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(PaneMetrics::sideMargin, PaneMetrics::edgeMargin, PaneMetrics::sideMargin,
                               PaneMetrics::edgeMargin);
    layout->setSpacing(0);
    QSizePolicy policy = column->sizePolicy();
    policy.setHorizontalPolicy(QSizePolicy::Expanding);
    column->setSizePolicy(policy);
    if (policy.verticalPolicy() & QSizePolicy::ExpandFlag) {
        layout->addWidget(column, 1);
    } else {
        layout->addStretch(1);
        layout->addWidget(column);
        layout->addStretch(1);
    }
    return frame;
}

QScrollArea* paneScrollArea(QWidget* parent) {
    auto* scroll = new QScrollArea(parent);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return scroll;
}

QVBoxLayout* sectionStack(QWidget* column) {
    auto* stack = new QVBoxLayout(column);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(PaneMetrics::sectionSpacing);
    return stack;
}

QVBoxLayout* captionedStack(QWidget* section, QLabel* caption) {
    auto* stack = new QVBoxLayout(section);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(10);
    TextStyle::apply(caption, TextStyle::Role::Subheadline, QFont::Medium);
    stack->addWidget(caption);
    return stack;
}
