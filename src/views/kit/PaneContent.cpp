#include "kit/PaneContent.h"

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
