#include "shell/RootView.h"

#include "DownloadQueue.h"
#include "shell/AlertTable.h"
#include "shell/Placeholder.h"
#include "shell/SidebarDelegate.h"
#include "shell/SidebarModel.h"

#include "kit/Alert.h"
#include "kit/Theme.h"

#include "Prompts.h"
#include "Session.h"
#include "Strings.h"

#include <QDialog>
#include <QItemSelectionModel>
#include <QListView>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QString placeholderKey(AppModel::Tab tab) {
    static const char* names[] = {"download", "batch", "transcription", "downloads", "browser", "settings"};
    return QStringLiteral("v2_placeholder_") + QString::fromLatin1(names[static_cast<int>(tab)]);
}

// The divider between the sidebar and the pane: a hairline in the palette's own shade, still draggable.
class Hairline : public QSplitterHandle {
public:
    using QSplitterHandle::QSplitterHandle;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), Theme::ink(Theme::Ink::Quaternary, palette()));
    }
};

class HairlineSplitter : public QSplitter {
public:
    explicit HairlineSplitter(QWidget* parent) : QSplitter(Qt::Horizontal, parent) {}

protected:
    QSplitterHandle* createHandle() override { return new Hairline(orientation(), this); }
};

} // namespace

RootView::RootView(AppModel& model, ViewFactories views, QWidget* parent)
    : QWidget(parent), m_model(model), m_views(std::move(views)), m_split(new HairlineSplitter(this)),
      m_sidebarColumn(new QWidget(m_split)), m_sidebar(new QListView(m_sidebarColumn)),
      m_sidebarModel(new SidebarModel(model, this)), m_detail(new QWidget(m_split)),
      m_detailLayout(new QVBoxLayout(m_detail)) {
    setObjectName(QStringLiteral("rootView"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_split);

    m_sidebar->setObjectName(QStringLiteral("sidebar"));
    m_sidebar->setModel(m_sidebarModel);
    m_sidebar->setItemDelegate(new SidebarDelegate(m_sidebar));
    m_sidebar->setSelectionMode(QAbstractItemView::SingleSelection);
    m_sidebar->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_sidebar->setMouseTracking(true);
    m_sidebar->setFrameShape(QFrame::NoFrame);
    m_sidebarColumn->setObjectName(QStringLiteral("sidebarColumn"));
    m_sidebarColumn->setMinimumWidth(sidebarMinimum);
    m_sidebarColumn->setMaximumWidth(sidebarMaximum);
    auto* column = new QVBoxLayout(m_sidebarColumn);
    column->setContentsMargins(4, 8, 4, 8);
    column->addWidget(m_sidebar);
    m_sidebar->setAutoFillBackground(true);
    m_sidebar->setBackgroundRole(QPalette::Window);
    m_sidebar->viewport()->setBackgroundRole(QPalette::Window);

    m_detail->setObjectName(QStringLiteral("detail"));
    m_detailLayout->setContentsMargins(0, 0, 0, 0);
    m_split->setChildrenCollapsible(false);
    // A hairline between the sidebar and the pane.
    m_split->setHandleWidth(1);
    m_split->setStretchFactor(0, 0);
    m_split->setStretchFactor(1, 1);
    m_split->setSizes({sidebarIdeal, 1000});

    connect(m_sidebar->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &RootView::userSelected);
    connect(&model, &AppModel::tabChanged, this, [this] {
        selectCurrentTab();
        showPane();
    });
    selectCurrentTab();
    showPane();

    // Every flag that drives a surface.
    for (auto signal :
         {&Prompts::showLogSheetChanged, &Prompts::showReportSheetChanged, &Prompts::modelOptInChanged})
        connect(&model.promptsPart(), signal, this, &RootView::scheduleSync);
    connect(&model.queuePart(), &DownloadQueue::pendingListingsChanged, this, &RootView::scheduleSync);
    for (const AlertEntry& alert : alertTable())
        alert.watch(model, this, [this] { scheduleSync(); });
    connect(&model.sessionPart(), &Session::stringsGenerationChanged, m_sidebar->viewport(),
            qOverload<>(&QWidget::update));
    sync();
}

// ---- sidebar and panes ----

void RootView::selectCurrentTab() {
    const QSignalBlocker quiet(m_sidebar->selectionModel());
    const QModelIndex index = m_sidebarModel->index(SidebarModel::rowOf(m_model.tab()));
    m_sidebar->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    m_sidebar->viewport()->update();
}

void RootView::userSelected() {
    const QModelIndexList chosen = m_sidebar->selectionModel()->selectedIndexes();
    // An empty selection (the selected row deselected) means the Download tab.
    const AppModel::Tab tab =
        chosen.isEmpty() ? AppModel::Tab::Download : SidebarModel::tabAt(chosen.first().row());
    if (tab != m_model.tab())
        m_model.setTab(tab);
    else
        selectCurrentTab();
}

QWidget* RootView::makePane(AppModel::Tab tab) {
    if (const PaneFactories::Make& make = m_views.panes.of(tab)) {
        if (QWidget* pane = make(m_model))
            return pane;
    }
    return new PanePlaceholder(m_model, SidebarModel::titleKey(tab), placeholderKey(tab),
                               SidebarModel::symbol(tab));
}

void RootView::showPane() {
    // Each selection builds the pane anew: what the user typed in the old one does not survive.
    if (m_pane) {
        m_pane->hide();
        m_pane->deleteLater();
    }
    m_pane = makePane(m_model.tab());
    m_pane->setParent(m_detail);
    m_detailLayout->addWidget(m_pane);
    m_pane->show();
    Q_EMIT paneShown(m_pane);
}

// ---- sheets and alerts ----

void RootView::scheduleSync() {
    if (m_syncScheduled)
        return;
    m_syncScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_syncScheduled = false;
        sync();
    });
}

bool RootView::stillWanted() const {
    switch (m_kind) {
    case Kind::None:
        return false;
    case Kind::Log:
        return m_model.promptsPart().showLogSheet();
    case Kind::Report:
        return m_model.promptsPart().showReportSheet();
    case Kind::OptIn:
        // A request for another model replaces the sheet; one for the same model leaves it as it is.
        return m_model.promptsPart().modelOptIn() && m_model.promptsPart().modelOptIn()->key == m_identity;
    case Kind::Listing:
        return !m_model.queuePart().pendingListings().empty() &&
               m_model.queuePart().pendingListings().front()->id() == m_identity;
    case Kind::Alert:
        return alertTable()[m_alert].shown(m_model);
    }
    return false;
}

void RootView::sync() {
    if (m_surface) {
        if (stillWanted())
            return;
        // The state moved on (the flag was cleared elsewhere, the pick left the list): close it quietly.
        QPointer<QDialog> gone = m_surface;
        m_surface = nullptr;
        m_kind = Kind::None;
        m_closing = true;
        gone->done(QDialog::Rejected);
        m_closing = false;
        gone->deleteLater();
    }
    if (m_model.promptsPart().showLogSheet())
        return present(Kind::Log, -1, {});
    if (m_model.promptsPart().showReportSheet())
        return present(Kind::Report, -1, {});
    if (m_model.promptsPart().modelOptIn())
        return present(Kind::OptIn, -1, m_model.promptsPart().modelOptIn()->key);
    if (!m_model.queuePart().pendingListings().empty())
        return present(Kind::Listing, -1, m_model.queuePart().pendingListings().front()->id());
    const std::vector<AlertEntry>& alerts = alertTable();
    for (int i = 0; i < static_cast<int>(alerts.size()); ++i) {
        if (alerts[i].shown(m_model))
            return present(Kind::Alert, i, {});
    }
}

void RootView::present(Kind kind, int alert, QString identity) {
    QDialog* dialog = kind == Kind::Alert ? makeAlert(alert) : makeSheet(kind);
    m_surface = dialog;
    m_kind = kind;
    m_alert = alert;
    m_identity = std::move(identity);
    dialog->setWindowModality(Qt::WindowModal);
    connect(dialog, &QDialog::finished, this, [this, dialog] { surfaceFinished(dialog); });
    dialog->open();
    Q_EMIT surfaceShown(dialog);
}

QDialog* RootView::makeSheet(Kind kind) {
    QDialog* sheet = nullptr;
    switch (kind) {
    case Kind::Log:
        if (m_views.sheets.log)
            sheet = m_views.sheets.log(m_model, this);
        if (!sheet)
            sheet =
                new SheetPlaceholder(QStringLiteral("v2_menu_show_log"), QStringLiteral("v2_placeholder_log"),
                                     QStringLiteral("button_close"), this);
        sheet->setObjectName(QStringLiteral("logSheet"));
        break;
    case Kind::Report:
        if (m_views.sheets.report)
            sheet = m_views.sheets.report(m_model, this);
        if (!sheet)
            sheet = new SheetPlaceholder(QStringLiteral("dialog_title_report"),
                                         QStringLiteral("v2_placeholder_report"),
                                         QStringLiteral("button_close"), this);
        sheet->setObjectName(QStringLiteral("reportSheet"));
        break;
    case Kind::OptIn: {
        const QString key = m_model.promptsPart().modelOptIn()->key;
        if (m_views.sheets.modelOptIn)
            sheet = m_views.sheets.modelOptIn(m_model, key, this);
        if (!sheet)
            sheet = new SheetPlaceholder(QStringLiteral("title_model_download"),
                                         QStringLiteral("v2_placeholder_model"),
                                         QStringLiteral("button_close"), this);
        sheet->setObjectName(QStringLiteral("modelOptInSheet"));
        break;
    }
    case Kind::Listing: {
        const std::shared_ptr<ListingPick> pick = m_model.queuePart().pendingListings().front();
        if (m_views.sheets.listing)
            sheet = m_views.sheets.listing(m_model, pick, this);
        if (!sheet) {
            // The placeholder's one button is the picker's cancel: it dismisses the pick.
            auto* placeholder = new SheetPlaceholder(QStringLiteral("dialog_title_playlist"),
                                                     QStringLiteral("v2_placeholder_listing"),
                                                     QStringLiteral("button_cancel"), this);
            connect(placeholder, &SheetPlaceholder::cancelled, this,
                    [this, pick] { m_model.queuePart().dismissListing(pick); });
            sheet = placeholder;
        }
        sheet->setObjectName(QStringLiteral("listingSheet"));
        break;
    }
    case Kind::Alert:
    case Kind::None:
        break;
    }
    return sheet;
}

QMessageBox* RootView::makeAlert(int alert) {
    const AlertEntry& entry = alertTable()[alert];
    Alert::Content content{entry.titleKey, entry.icon, entry.message(m_model), {}};
    for (const AlertEntry::Button& b : entry.buttons)
        content.buttons.push_back({b.key, b.role});
    return Alert::make(content, this);
}

void RootView::surfaceFinished(QDialog* dialog) {
    if (m_closing || dialog != m_surface)
        return;
    const Kind kind = m_kind;
    const int alert = m_alert;
    m_surface = nullptr;
    m_kind = Kind::None;
    dialog->deleteLater();
    switch (kind) {
    case Kind::Log:
        m_model.promptsPart().setShowLogSheet(false);
        break;
    case Kind::Report:
        m_model.promptsPart().setShowReportSheet(false);
        break;
    case Kind::OptIn:
        m_model.promptsPart().setModelOptIn(std::nullopt);
        break;
    case Kind::Alert: {
        const AlertEntry& entry = alertTable()[alert];
        auto* box = static_cast<QMessageBox*>(dialog);
        if (QAbstractButton* clicked = box->clickedButton()) {
            for (const AlertEntry::Button& b : entry.buttons) {
                if (b.key == clicked->objectName() && b.action)
                    b.action(m_model);
            }
        }
        if (entry.closed)
            entry.closed(m_model);
        break;
    }
    case Kind::Listing:
    case Kind::None:
        break;
    }
    // The keys go back to the window (a desktop without a window manager leaves them nowhere).
    if (isVisible())
        window()->activateWindow();
    // The next surface, or this one again while its state still asks for it.
    scheduleSync();
}
