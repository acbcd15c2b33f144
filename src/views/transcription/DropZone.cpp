#include "transcription/DropZone.h"

#include "AppModel.h"
#include "Spawn.h"
#include "Strings.h"
#include "Transcriptions.h"
#include "kit/SymbolLabel.h"
#include "kit/TextStyle.h"
#include "kit/TextsFollow.h"
#include "kit/Theme.h"
#include "shell/ChooseFiles.h"

#include <QDragEnterEvent>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

DropZone::DropZone(AppModel* model, QWidget* parent) : QWidget(parent), m_model(model) {
    setObjectName(QStringLiteral("drop_zone"));
    setAcceptDrops(true);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(16, 28, 16, 28);
    stack->setSpacing(10);
    m_symbol = new SymbolLabel(QStringLiteral("arrow.down.doc"), 34, Theme::Ink::Secondary, this);
    stack->addWidget(m_symbol, 0, Qt::AlignHCenter);
    m_title = new QLabel(this);
    m_title->setTextFormat(Qt::PlainText);
    m_title->setAlignment(Qt::AlignCenter);
    m_title->setWordWrap(true);
    TextStyle::apply(m_title, TextStyle::Role::Headline);
    stack->addWidget(m_title);
    m_formats = new QLabel(this);
    m_formats->setTextFormat(Qt::PlainText);
    m_formats->setAlignment(Qt::AlignCenter);
    m_formats->setWordWrap(true);
    TextStyle::apply(m_formats, TextStyle::Role::Caption);
    Theme::setForeground(m_formats, Theme::Ink::Secondary);
    stack->addWidget(m_formats);
    m_choose = new QPushButton(this);
    m_choose->setObjectName(QStringLiteral("button_choose_files"));
    stack->addWidget(m_choose, 0, Qt::AlignHCenter);
    connect(m_choose, &QPushButton::clicked, this, [this] {
        QPointer<AppModel> model(m_model);
        spawn(m_model, [model]() -> QCoro::Task<void> {
            if (model)
                co_await chooseFilesToTranscribe(model.data());
        });
    });
    followTexts(*model, this, [this] {
        m_title->setText(Strings::text(QStringLiteral("transcribe_drop_title")));
        m_formats->setText(Strings::text(QStringLiteral("transcribe_drop_formats")));
        m_choose->setText(Strings::text(QStringLiteral("button_choose_files")));
    });
}

QList<QUrl> DropZone::droppedFiles(const QMimeData* data) {
    QList<QUrl> files;
    if (!data || !data->hasUrls())
        return files;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile())
            files.append(url);
    }
    return files;
}

void DropZone::setTargeted(bool targeted) {
    if (m_targeted == targeted)
        return;
    m_targeted = targeted;
    update();
}

void DropZone::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette p = palette();
    const QRectF box = QRectF(rect()).adjusted(1, 1, -1, -1);
    QPainterPath path;
    path.addRoundedRect(box, 10, 10);
    const QColor quaternary = Theme::ink(Theme::Ink::Quaternary, p);
    painter.fillPath(path, Theme::withOpacity(quaternary, quaternary.alphaF() * (m_targeted ? 0.5 : 0.25)));
    if (m_targeted) {
        QPen pen(Theme::ink(Theme::Ink::Accent, p), 2, Qt::CustomDashLine, Qt::FlatCap, Qt::MiterJoin);
        pen.setDashPattern({4, 4}); // in pen widths: 8 drawn, 8 left out
        painter.setPen(pen);
        painter.drawPath(path);
    }
}

void DropZone::dragEnterEvent(QDragEnterEvent* event) {
    if (droppedFiles(event->mimeData()).isEmpty())
        return;
    event->acceptProposedAction();
    setTargeted(true);
}

void DropZone::dragMoveEvent(QDragMoveEvent* event) {
    if (droppedFiles(event->mimeData()).isEmpty())
        return;
    event->acceptProposedAction();
}

void DropZone::dragLeaveEvent(QDragLeaveEvent* event) {
    QWidget::dragLeaveEvent(event);
    setTargeted(false);
}

void DropZone::dropEvent(QDropEvent* event) {
    setTargeted(false);
    const QList<QUrl> files = droppedFiles(event->mimeData());
    if (files.isEmpty())
        return;
    event->acceptProposedAction();
    for (const QUrl& file : files)
        m_model->transcriptionsPart().transcribeFile(file);
}
