#include "alarms/Dayloom.h"

#include "clockapp/state/ClockState.h"
#include "clockapp/state/ListFiles.h"
#include "clockapp/state/WindowServices.h"
#include "timemodel/HXMessageBoxes.h"
#include "timemodel/RecordCheck.h"
#include "ui_TAddEditTrackingItem.h"
#include "ui_TF_Dayloom.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QPointer>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <memory>

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

const char* const kHeadings[] = {"Event", "Date of Event", "Event Local"};
constexpr int kColumnWidths[] = {174, 144, 222};
constexpr int kListHeight = 200;
constexpr const char* kEventDatePattern = "dddd, mmmm d, yyyy, \"at\" hh:mm:ss";

struct TEditorOf {
    QPointer<TAddEditTrackingItem> P;
    ~TEditorOf() { delete P.data(); }
};

} // namespace

// ------------------------------------------------------------ item editor

TAddEditTrackingItem::TAddEditTrackingItem(const TClockState& state, ILocationPicker& picker,
                                           QWidget* parent)
    : QDialog(parent), ui(new Ui::TAddEditTrackingItem) {
    ui->setupUi(this);
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    FollowMainFormStyle(this, state);
    PickLocation = MainWindowPick(picker);
    connect(ui->OKBtn, &QPushButton::clicked, this, [this] { OKBtnClick(); });
    connect(ui->CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->sb_Location, &QPushButton::clicked, this, [this] { ChangeZone(); });
}

TAddEditTrackingItem::~TAddEditTrackingItem() {
    delete ui;
}

// Filled once, when first shown: coming back from the pick or another window
// keeps what the user typed.
void TAddEditTrackingItem::showEvent(QShowEvent* e) {
    if (!FShown) {
        FShown = true;
        FormActivate();
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            // The form's own size, grown where its contents need more: a
            // dialog shrunk to its fields cuts its title short.
            resize(size().expandedTo(sizeHint()));
            move(screen->availableGeometry().center() - rect().center());
        }
    }
    QDialog::showEvent(e);
}

void TAddEditTrackingItem::FormActivate() {
    ui->e_Description->setText(Q(Event.Title));
    ShowDateTime(Event.EventDate, ui->tp_Date, ui->tp_Time);
    ui->me_Repeat->setText(Q(FloatToStr(Event.IntervalDays)));
    ui->sb_Location->setText(Q(Event.Location.Name));
    ui->e_Description->setFocus();
}

void TAddEditTrackingItem::ChangeZone() {
    TTimeLocation picked;
    picked.Copy(Event.Location);
    if (!PickLocation || !PickLocation(picked)) return;
    Event.Location.Copy(picked);
    ui->sb_Location->setText(Q(Event.Location.Name));
}

void TAddEditTrackingItem::OKBtnClick() {
    if (!CheckDateTime(ui->tp_Date, ui->tp_Time)) return;
    const std::optional<double> repeat = ParseDays(ui->me_Repeat->text().toStdString(), false);
    if (!repeat) {
        ReportBadDays(ui->me_Repeat, "Repeat");
        return;
    }
    if (RefuseSkippedTime(Event.Location, ui->tp_Date, ui->tp_Time)) return;
    const std::string title = ui->e_Description->text().toStdString();
    // An item the Dayloom file cannot hold is refused, not stored to be lost.
    {
        TTemperalEvent probe;
        probe.Copy(Event);
        probe.Title = title.empty() ? "- No Description -" : title;
        probe.EventDate = PickedDateTime(ui->tp_Date, ui->tp_Time);
        probe.IntervalDays = *repeat;
        if (const TRecordFault fault = CheckEventRecord(probe)) {
            THXMessageBoxes::ShowError(RecordFaultText(fault));
            if (fault.Field == "Description") ui->e_Description->setFocus();
            return;
        }
    }
    Event.Title = title.empty() ? "- No Description -" : title;
    Event.EventDate = PickedDateTime(ui->tp_Date, ui->tp_Time);
    Event.IntervalDays = *repeat;
    accept();
}

// ----------------------------------------------------------------- window

TF_Dayloom::TF_Dayloom(TClockState& state, IListSaver& lists, ILocationPicker& picker,
                       ISoundService& sound, QWidget* owner)
    : QWidget(owner), W(state), Lists(lists), Picker(picker), Sound(sound), ui(new Ui::TF_Dayloom) {
    ui->setupUi(this);
    setWindowFlags(Qt::Window);
    QTableWidget* grid = ui->sg_Items;
    for (int c = 0; c < 3; ++c)
        grid->setColumnWidth(c, kColumnWidths[c]);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    connect(ui->sb_AddItem, &QToolButton::clicked, this, [this] { sb_AddClick(); });
    connect(ui->sb_Edit, &QToolButton::clicked, this, [this] { sb_EditClick(); });
    connect(ui->SpeedButton1, &QToolButton::clicked, this, [this] { sb_DeleteClick(); });
    connect(ui->sb_detail, &QToolButton::clicked, this, [this] { sb_detailClick(); });
    // One selection, by mouse or keyboard, for the figures, Edit and Delete.
    connect(grid, &QTableWidget::currentCellChanged, this, [this] { sg_ItemsClick(); });
    connect(grid, &QTableWidget::cellDoubleClicked, this, [this] { sb_EditClick(); });
    t_Refresh = new QTimer(this);
    t_Refresh->setObjectName("t_Refresh");
    t_Refresh->setInterval(1000);
    connect(t_Refresh, &QTimer::timeout, this, [this] { t_RefreshTimer(); });
    t_Refresh->start();

    SelectedIndex = 0;
    loadItems();
    if (ItemsHidden)
        ShrinkItems();
    else
        ExpandItems();
}

TF_Dayloom::~TF_Dayloom() {
    delete ui;
}

void TF_Dayloom::loadItems() {
    QTableWidget* grid = ui->sg_Items;
    FSelecting = true;
    auto put = [grid](int r, int c, const std::string& text) {
        QTableWidgetItem* item = grid->item(r, c);
        if (!item) grid->setItem(r, c, item = new QTableWidgetItem);
        item->setText(Q(text));
    };
    const int count = int(W.TemperalEvents.size());
    grid->setRowCount(count + 1);
    QFont bold = grid->font();
    bold.setBold(true);
    for (int c = 0; c < 3; ++c) {
        put(0, c, kHeadings[c]);
        grid->item(0, c)->setFont(bold);
    }
    for (int i = 0; i < count; ++i) {
        const TTemperalEvent& e = *W.TemperalEvents[size_t(i)];
        put(i + 1, 0, e.Title);
        put(i + 1, 1, ListDateTime(e.EventDate, "- "));
        put(i + 1, 2, e.Location.Name);
    }
    FSelecting = false;
    // With no events this disables the grid; the figures keep their values.
    sg_ItemsClick();
}

void TF_Dayloom::sg_ItemsClick() {
    if (FSelecting) return;
    QTableWidget* grid = ui->sg_Items;
    const int count = int(W.TemperalEvents.size());
    if (count == 0) {
        grid->setEnabled(false);
        return;
    }
    grid->setEnabled(true);
    if (grid->currentRow() <= 0 || grid->currentRow() > count) {
        FSelecting = true;
        grid->setCurrentCell(1, 0);
        FSelecting = false;
    }
    SelectedIndex = grid->currentRow() - 1;
    TTemperalEvent& e = *W.TemperalEvents[size_t(SelectedIndex)];
    W.UpdateEventOffsets();
    ui->gb_Results->setTitle(Q(e.TitleString()));
    ui->l_Dayloom->setText(Q(e.EventDateString(kEventDatePattern)));
    t_RefreshTimer();
}

void TF_Dayloom::t_RefreshTimer() {
    if (ui->sg_Items->currentRow() <= 0) return;
    if (SelectedIndex < 0 || SelectedIndex >= int(W.TemperalEvents.size())) return;
    W.UpdateEventOffsets();
    TTemperalEvent& e = *W.TemperalEvents[size_t(SelectedIndex)];
    const std::pair<QLabel*, int> breakdown[] = {
        {ui->l_Ryears, e.IYears()}, {ui->l_RMonths, e.IMonths()}, {ui->l_RDays, e.IDays()},
        {ui->l_RHours, e.IHours()}, {ui->l_RMins, e.IMins()},     {ui->l_RSecs, e.ISecs()}};
    for (const auto& [label, value] : breakdown)
        label->setText(Q(IntToStr(value)));
    const std::pair<QLabel*, double> totals[] = {
        {ui->l_RtYears, e.TotYears()},   {ui->l_RtWeeks, e.TotWeeks()},
        {ui->l_RtMonths, e.TotMonths()}, {ui->l_RtDays, e.TotDays()},
        {ui->l_RtHours, e.TotHours()},   {ui->l_RtMinutes, e.TotMins()},
        {ui->l_RtSeconds, e.TotSecs()}};
    for (const auto& [label, value] : totals)
        label->setText(Q(FloatToStrF(value, TFloatFormat::ffFixed, 10, 2)));
}

bool TF_Dayloom::RunEditor(TAddEditTrackingItem* editor) {
    QPointer<TF_Dayloom> alive(this);
    QPointer<TAddEditTrackingItem> still(editor);
    const int result = editor->exec();
    return alive && still && result == QDialog::Accepted;
}

void TF_Dayloom::sb_AddClick() {
    QPointer<TF_Dayloom> alive(this);
    {
        TEditorOf editor{new TAddEditTrackingItem(W, Picker, this)};
        editor.P->Event.Location.Copy(W.LocalClock.Location);
        editor.P->setWindowTitle("Add New Tracking Item");
        if (RunEditor(editor.P)) {
            auto event = std::make_unique<TTemperalEvent>();
            event->Copy(editor.P->Event);
            W.TemperalEvents.push_back(std::move(event));
            Lists.SaveTemperalEvents();
        }
    }
    if (alive) loadItems();
}

void TF_Dayloom::sb_EditClick() {
    QTableWidget* grid = ui->sg_Items;
    if (W.TemperalEvents.empty()) {
        grid->setEnabled(false);
        return;
    }
    grid->setEnabled(true);
    sg_ItemsClick(); // the selection in force, the heading row meaning the first event
    const TTemperalEvent* source = W.TemperalEvents[size_t(SelectedIndex)].get();
    QPointer<TF_Dayloom> alive(this);
    {
        TEditorOf editor{new TAddEditTrackingItem(W, Picker, this)};
        editor.P->Event.Copy(*source);
        if (RunEditor(editor.P)) {
            // Back onto the event it came from.
            for (const auto& e : W.TemperalEvents)
                if (e.get() == source) e->Copy(editor.P->Event);
            Lists.SaveTemperalEvents();
        } else if (alive) {
            FSelecting = true;
            grid->setCurrentCell(1, 0);
            FSelecting = false;
        }
    }
    if (alive) loadItems();
}

void TF_Dayloom::sb_DeleteClick() {
    if (W.TemperalEvents.empty()) return;
    sg_ItemsClick();
    const TTemperalEvent* event = W.TemperalEvents[size_t(SelectedIndex)].get();
    QString title = Q(event->Title);
    // Cut, so a long title cannot fill the screen.
    if (title.size() > 40) title = title.left(40) + "...";
    QPointer<TF_Dayloom> alive(this);
    if (THXMessageBoxes::AskYesNo("Delete the event \"" + title.toStdString() + "\" of " +
                                  ListDateTime(event->EventDate, ", at ") + "?") != mrYes ||
        !alive)
        return;
    // The one asked about, wherever it is now.
    auto& list = W.TemperalEvents;
    list.erase(std::remove_if(list.begin(), list.end(),
                              [event](const auto& e) { return e.get() == event; }),
               list.end());
    Lists.SaveTemperalEvents();
    loadItems();
}

void TF_Dayloom::sb_detailClick() {
    if (ui->sb_detail->isChecked())
        ExpandItems();
    else
        ShrinkItems();
}

int TF_Dayloom::FixedHeights() const {
    // The panels' fixed heights, laid out or not yet.
    return ui->pDetailsPanel->minimumHeight() + ui->tbTools->minimumHeight() +
           ui->pEventDetails->minimumHeight() + ui->pEventListTitle->minimumHeight();
}

void TF_Dayloom::ExpandItems() {
    ui->sb_detail->setToolTip("Hide Items");
    ui->sg_Items->show();
    layout()->activate();
    resize(width(), FixedHeights() + kListHeight);
    ui->pEventListTitle->setText("Event List");
    ui->sb_detail->setChecked(true);
    ItemsHidden = false;
    Sound.PlaySound("RestoreUp");
}

void TF_Dayloom::ShrinkItems() {
    ui->sb_detail->setToolTip("Show Items");
    ui->sg_Items->hide();
    // The window may be as low as the panels before the list is gone.
    layout()->activate();
    resize(width(), FixedHeights());
    ui->pEventListTitle->setText("Event List Hidden");
    ui->sb_detail->setChecked(false);
    ItemsHidden = true;
    Sound.PlaySound("Minimize");
}

void TF_Dayloom::closeEvent(QCloseEvent* e) {
    Lists.SaveTemperalEvents();
    e->accept();
}
