#include "sheets/ReportSheet.h"

#include "kit/LinkButton.h"
#include "kit/SheetButton.h"
#include "kit/TextStyle.h"
#include "kit/TextsFollow.h"
#include "kit/Theme.h"

#include "AppModel.h"
#include "Prompts.h"
#include "Session.h"
#include "Spawn.h"
#include "Strings.h"
#include "TextTrim.h"

#include <QEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QString rgba(const QColor& c) {
    return QStringLiteral("rgba(%1,%2,%3,%4)").arg(c.red()).arg(c.green()).arg(c.blue()).arg(c.alphaF());
}

} // namespace

ReportSheet::ReportSheet(AppModel& model, QWidget* parent)
    : QDialog(parent), m_model(model), m_what(new QPlainTextEdit), m_email(new QLineEdit),
      m_preview(new QPlainTextEdit), m_outcomeLabel(new QLabel),
      m_send(sheetButton(QStringLiteral("button_send"), this)) {
    setFixedWidth(width);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(12);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    auto label = [&](const char* key, TextStyle::Role role, Theme::Ink ink) {
        auto* l = new QLabel;
        l->setObjectName(QString::fromLatin1(key));
        l->setTextFormat(Qt::PlainText);
        l->setWordWrap(true);
        l->setFixedWidth(width - 40);
        TextStyle::apply(l, role);
        if (ink != Theme::Ink::Primary)
            Theme::setForeground(l, ink);
        return l;
    };
    QLabel* title = label("dialog_title_report", TextStyle::Role::Headline, Theme::Ink::Primary);
    QLabel* intro = label("dialog_report_intro", TextStyle::Role::Callout, Theme::Ink::Secondary);
    QLabel* whatLabel = label("label_report_description", TextStyle::Role::Callout, Theme::Ink::Primary);
    QLabel* emailLabel = label("label_report_email", TextStyle::Role::Callout, Theme::Ink::Primary);
    layout->addWidget(title);
    layout->addWidget(intro);
    layout->addWidget(whatLabel);

    m_what->setObjectName(QStringLiteral("description"));
    m_what->setFixedHeight(90);
    m_what->setTabChangesFocus(true);
    m_what->setFont(TextStyle::font(TextStyle::Role::Callout));
    layout->addWidget(m_what);
    layout->addWidget(emailLabel);
    m_email->setObjectName(QStringLiteral("email"));
    layout->addWidget(m_email);

    auto* previewHeader = new QHBoxLayout;
    QLabel* previewLabel = label("label_report_preview", TextStyle::Role::Caption, Theme::Ink::Secondary);
    previewLabel->setMinimumWidth(0);
    previewLabel->setMaximumWidth(QWIDGETSIZE_MAX);
    previewLabel->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    auto* view = new LinkButton(QStringLiteral("button_view"));
    TextStyle::apply(view, TextStyle::Role::Caption);
    previewHeader->addWidget(previewLabel, 1);
    previewHeader->addWidget(view);
    layout->addLayout(previewHeader);

    m_preview->setObjectName(QStringLiteral("preview"));
    m_preview->setReadOnly(true);
    m_preview->setFixedHeight(90);
    m_preview->setFrameShape(QFrame::NoFrame);
    m_preview->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSizeF(TextStyle::font(TextStyle::Role::Caption).pointSizeF());
    m_preview->setFont(mono);
    layout->addWidget(m_preview);

    m_outcomeLabel->setObjectName(QStringLiteral("outcome"));
    m_outcomeLabel->setTextFormat(Qt::PlainText);
    m_outcomeLabel->setWordWrap(true);
    // The saved report's path can be selected and copied.
    m_outcomeLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    TextStyle::apply(m_outcomeLabel, TextStyle::Role::Callout);
    Theme::setForeground(m_outcomeLabel, Theme::Ink::Secondary);
    layout->addWidget(m_outcomeLabel);

    auto* buttons = new QHBoxLayout;
    auto* close = sheetButton(QStringLiteral("button_close"), this);
    buttons->addStretch(1);
    buttons->addWidget(close);
    buttons->addWidget(m_send);
    layout->addLayout(buttons);

    paintFields();

    connect(m_what, &QPlainTextEdit::textChanged, this, &ReportSheet::refresh);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(view, &QPushButton::clicked, this, [this] {
        reject();
        m_model.promptsPart().setShowLogSheet(true);
    });
    connect(m_send, &QPushButton::clicked, this, &ReportSheet::send);
    connect(&model.sessionPart(), &Session::logChanged, this, &ReportSheet::refreshPreview);

    followTexts(model, this, [=, this] {
        setWindowTitle(Strings::text(QStringLiteral("dialog_title_report")));
        for (QLabel* l : {title, intro, whatLabel, emailLabel, previewLabel})
            l->setText(Strings::text(l->objectName()));
        view->setText(Strings::text(QStringLiteral("button_view")));
        close->setText(Strings::text(QStringLiteral("button_close")));
        refresh();
    });
    refreshPreview();
}

void ReportSheet::paintFields() {
    const QPalette p = Theme::palette();
    const QColor q = Theme::ink(Theme::Ink::Quaternary, p);
    m_what->setStyleSheet(
        QStringLiteral(
            "QPlainTextEdit { border: 1px solid %1; border-radius: 6px; background: %2; color: %3; }")
            .arg(rgba(q), rgba(p.color(QPalette::Base)), rgba(p.color(QPalette::Text))));
    m_preview->setStyleSheet(
        QStringLiteral("QPlainTextEdit { background: %1; border-radius: 6px; color: %2; }")
            .arg(rgba(Theme::withOpacity(q, q.alphaF() * 0.25)), rgba(p.color(QPalette::Text))));
}

void ReportSheet::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    // The outline and the fill follow the appearance.
    if (event->type() == QEvent::ApplicationPaletteChange || event->type() == QEvent::PaletteChange)
        paintFields();
}

bool ReportSheet::canSend() const {
    return !m_busy && !trimSpacesAndTabs(m_what->toPlainText()).isEmpty();
}

void ReportSheet::refresh() {
    m_send->setText(Strings::text(m_busy ? QStringLiteral("button_sending") : QStringLiteral("button_send")));
    m_send->setEnabled(canSend());
    m_outcomeLabel->setVisible(m_outcome.has_value());
    m_outcomeLabel->setText(m_outcome.value_or(QString()));
}

void ReportSheet::refreshPreview() {
    const QStringList& log = m_model.sessionPart().log();
    m_preview->setPlainText(log.mid(std::max<qsizetype>(0, log.size() - previewLines)).join(u'\n'));
}

void ReportSheet::send() {
    if (!canSend())
        return;
    m_busy = true;
    refresh();
    QPointer<ReportSheet> self(this);
    // Started on the state, not the sheet: closing the sheet does not stop the request.
    spawn(&m_model,
          [self, model = &m_model, what = m_what->toPlainText(),
           email = m_email->text()]() -> QCoro::Task<void> {
              const bool sent = co_await model->sessionPart().sendReport(what, email);
              // Closed meanwhile: the outcome has nowhere to show.
              if (!self)
                  co_return;
              // Kept by the engine when not sent: say where, so it can be attached by hand.
              const std::optional<QString> savedTo = model->sessionPart().reportSavedTo();
              if (sent)
                  self->m_outcome = Strings::text(QStringLiteral("title_report_sent"));
              else if (savedTo && !savedTo->isEmpty())
                  self->m_outcome = Strings::text(QStringLiteral("msg_report_saved_to"),
                                                  {{QStringLiteral("path"), *savedTo}});
              else
                  self->m_outcome = Strings::text(QStringLiteral("title_report_failed"));
              self->m_busy = false;
              self->refresh();
              Q_EMIT self->sendFinished(sent);
              if (sent) {
                  // Tied to this sheet: a sheet opened after it closed is never closed by this timer.
                  QTimer::singleShot(closeDelayMs, self.data(), [self] {
                      if (self && self->isVisible())
                          self->accept();
                  });
              }
          });
}
