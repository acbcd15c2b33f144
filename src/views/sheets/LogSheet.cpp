#include "sheets/LogSheet.h"

#include "kit/Icons.h"
#include "kit/NoticeFrame.h"
#include "kit/SheetButton.h"
#include "kit/SymbolLabel.h"
#include "kit/TextStyle.h"
#include "kit/TextsFollow.h"
#include "kit/Theme.h"

#include "AppModel.h"
#include "Prompts.h"
#include "Session.h"
#include "Strings.h"

#include <QClipboard>
#include <QEvent>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace {

// The log lines' background: the quaternary ink at 0.25 in a rounded rectangle.
class LinesBackground : public QWidget {
public:
    explicit LinesBackground(qreal radius, QWidget* parent = nullptr) : QWidget(parent), m_radius(radius) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()), m_radius, m_radius);
        const QColor q = Theme::ink(Theme::Ink::Quaternary, palette());
        painter.fillPath(shape, Theme::withOpacity(q, q.alphaF() * 0.25));
    }

private:
    qreal m_radius;
};

} // namespace

LogSheet::LogSheet(AppModel& model, QWidget* parent)
    : QDialog(parent), m_model(model), m_errorBox(new NoticeFrame(Theme::Ink::Warning, 8, this)),
      m_errorMessage(new QLabel), m_lines(new QPlainTextEdit),
      m_clear(sheetButton(QStringLiteral("button_clear_log"), this)),
      m_copy(sheetButton(QStringLiteral("menu_copy"), this)) {
    setFixedSize(size);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 18, 18, 18);
    layout->setSpacing(10);

    auto* title = new QLabel;
    title->setObjectName(QStringLiteral("v2_menu_show_log"));
    TextStyle::apply(title, TextStyle::Role::Headline);
    layout->addWidget(title);

    m_errorBox->setObjectName(QStringLiteral("errorBox"));
    auto* box = new QVBoxLayout(m_errorBox);
    box->setContentsMargins(12, 12, 12, 12);
    box->setSpacing(4);
    auto* heading = new QHBoxLayout;
    heading->setSpacing(6);
    auto* errorTitle = new QLabel;
    TextStyle::apply(errorTitle, TextStyle::Role::Headline);
    Theme::setForeground(errorTitle, Theme::Ink::Warning);
    const int side = QFontMetrics(TextStyle::font(TextStyle::Role::Headline)).height();
    heading->addWidget(
        new SymbolLabel(QStringLiteral("exclamationmark.triangle.fill"), side, Theme::Ink::Warning));
    heading->addWidget(errorTitle, 1);
    box->addLayout(heading);
    m_errorMessage->setObjectName(QStringLiteral("errorMessage"));
    m_errorMessage->setTextFormat(Qt::PlainText);
    m_errorMessage->setWordWrap(true);
    m_errorMessage->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    TextStyle::apply(m_errorMessage, TextStyle::Role::Callout);
    box->addWidget(m_errorMessage);
    layout->addWidget(m_errorBox);

    auto* background = new LinesBackground(8);
    auto* inside = new QVBoxLayout(background);
    inside->setContentsMargins(10, 10, 10, 10);
    m_lines->setObjectName(QStringLiteral("logLines"));
    m_lines->setReadOnly(true);
    m_lines->setFrameShape(QFrame::NoFrame);
    m_lines->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_lines->viewport()->setAutoFillBackground(false);
    m_lines->setStyleSheet(QStringLiteral("QPlainTextEdit { background: transparent; }"));
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSizeF(TextStyle::font(TextStyle::Role::Caption).pointSizeF());
    m_lines->setFont(mono);
    inside->addWidget(m_lines);
    layout->addWidget(background, 1);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(12);
    auto* report = sheetButton(QStringLiteral("menu_report_problem"), this);
    auto* close = sheetButton(QStringLiteral("button_close"), this);
    m_copy->setIcon(Icons::icon(QStringLiteral("doc.on.doc")));
    buttons->addWidget(m_clear);
    buttons->addWidget(m_copy);
    buttons->addStretch(1);
    buttons->addWidget(report);
    buttons->addWidget(close);
    layout->addLayout(buttons);

    connect(m_clear, &QPushButton::clicked, this, [this] { m_model.sessionPart().clearLog(); });
    connect(m_copy, &QPushButton::clicked, this, [this] {
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->clear();
        clipboard->setText(m_model.sessionPart().log().join(u'\n'));
    });
    // This sheet goes first, so the two are never up together.
    connect(report, &QPushButton::clicked, this, [this] {
        reject();
        m_model.promptsPart().setShowReportSheet(true);
    });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    // The engine sends the report: it waits for a running one.
    report->setEnabled(model.sessionPart().sessionLive());
    connect(&model.sessionPart(), &Session::sessionLiveChanged, report,
            [report, &model] { report->setEnabled(model.sessionPart().sessionLive()); });

    followTexts(model, this, [=, this] {
        setWindowTitle(Strings::text(QStringLiteral("v2_menu_show_log")));
        title->setText(Strings::text(QStringLiteral("v2_menu_show_log")));
        errorTitle->setText(Strings::text(QStringLiteral("title_error")));
        m_clear->setText(Strings::text(QStringLiteral("button_clear_log")));
        m_copy->setText(Strings::text(QStringLiteral("menu_copy")));
        report->setText(Strings::text(QStringLiteral("menu_report_problem")));
        close->setText(Strings::text(QStringLiteral("button_close")));
    });
    connect(&model.sessionPart(), &Session::logChanged, this, &LogSheet::refreshLines);
    connect(&model.sessionPart(), &Session::lastErrorChanged, this, &LogSheet::refreshError);
    refreshLines();
    refreshError();
}

void LogSheet::refreshLines() {
    const QStringList& log = m_model.sessionPart().log();
    m_clear->setEnabled(!log.isEmpty());
    m_copy->setEnabled(!log.isEmpty());
    // New lines do not move the view: it stays where the reader left it.
    QScrollBar* bar = m_lines->verticalScrollBar();
    const int at = bar->value();
    m_lines->setPlainText(log.join(u'\n'));
    bar->setValue(at);
}

void LogSheet::refreshError() {
    const std::optional<Session::AppError>& error = m_model.sessionPart().lastError();
    m_errorBox->setVisible(error.has_value());
    m_errorMessage->setText(error ? error->message : QString());
}

void LogSheet::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_scrolledOnOpen)
        return;
    m_scrolledOnOpen = true;
    // The newest line at the bottom, once the lines are laid out at the sheet's width.
    QScrollBar* bar = m_lines->verticalScrollBar();
    bar->setValue(bar->maximum());
}
