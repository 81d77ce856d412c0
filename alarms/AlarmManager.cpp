#include "alarms/AlarmManager.h"

#include "clockapp/state/AlarmFiring.h"
#include "clockapp/state/ClockState.h"
#include "clockapp/state/ListFiles.h"
#include "clockapp/state/WindowServices.h"
#include "platform/media/HXSound.h"
#include "timemodel/HXMessageBoxes.h"
#include "timemodel/RecordCheck.h"
#include "ui_TFHXalarms.h"
#include "ui_TF_AddEditAlarm.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHeaderView>
#include <QPointer>
#include <QScreen>
#include <QStyle>
#include <QTimer>

#include <algorithm>
#include <memory>

namespace {

// The payload's label by alarm type.
constexpr const char* kPayloadLabels[] = {"Message:", "Notes:", "Full path, file and parameters:"};

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}
std::string S(const QString& s) {
    return s.toStdString();
}

constexpr int kAlarmTypes = 8;
// Case-sensitive, as the record files store them; -1 for any other text.
int AlarmTypeOf(const std::string& text) {
    for (int t = 0; t < kAlarmTypes; ++t)
        if (text == AlarmTypeName(t)) return t;
    return -1;
}

const char* const kHeadings[] = {"A", "Date and Time", "Payload", "Type", "Rpt"};
constexpr int kColumnWidths[] = {16, 143, 253, 110, 30};

// The editor lives for one command. It goes with its owner, should the owner
// go while the editor runs (the program ends meanwhile).
struct TEditorOf {
    QPointer<TF_AddEditAlarm> P;
    ~TEditorOf() { delete P.data(); }
};

} // namespace

// ----------------------------------------------------------------- editor

TF_AddEditAlarm::TF_AddEditAlarm(TClockState& state, ILocationPicker& picker, ISoundService& sound,
                                 QWidget* parent)
    : QDialog(parent), W(state), Sound(sound), ui(new Ui::TF_AddEditAlarm) {
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    FollowMainFormStyle(this, W);
    // The payload's label and buttons keep one size for every type, so the
    // dialog keeps its size and place when the type changes.
    int widest = 0;
    for (const char* text : kPayloadLabels) {
        ui->l_Description->setText(text);
        widest = std::max(widest, ui->l_Description->sizeHint().width());
    }
    ui->l_Description->setMinimumWidth(widest);
    for (QWidget* part : {static_cast<QWidget*>(ui->l_Description),
                          static_cast<QWidget*>(ui->e_Description),
                          static_cast<QWidget*>(ui->sb_PickPayload),
                          static_cast<QWidget*>(ui->sbTestPayload)}) {
        QSizePolicy keep = part->sizePolicy();
        keep.setRetainSizeWhenHidden(true);
        part->setSizePolicy(keep);
    }
    PickLocation = MainWindowPick(picker);
    ChoosePayload = [](const std::string& title, const std::string& dir,
                       const std::string& filter, QWidget* parent) -> std::optional<std::string> {
        const QString file = QFileDialog::getOpenFileName(parent, Q(title), Q(dir), Q(filter));
        if (file.isEmpty()) return std::nullopt;
        return S(file);
    };
    connect(ui->OkBtn, &QPushButton::clicked, this, [this] { OKBtnClick(); });
    // Cancel takes nothing from the fields.
    connect(ui->CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->lb_AlarmType, &QComboBox::currentTextChanged, this, [this] { UpdateForm(); });
    connect(ui->sb_AlarmLocation, &QPushButton::clicked, this, [this] { ChangeZone(); });
    connect(ui->sb_PickPayload, &QToolButton::clicked, this, [this] { sb_PickPayloadClick(); });
    connect(ui->sbTestPayload, &QToolButton::clicked, this, [this] { sbTestPayloadClick(); });
}

TF_AddEditAlarm::~TF_AddEditAlarm() {
    delete ui;
}

// The fields are filled once: coming back from the pick or another window
// keeps what the user typed.
void TF_AddEditAlarm::showEvent(QShowEvent* e) {
    if (!FShown) {
        FShown = true;
        FormShow();
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            adjustSize();
            move(screen->availableGeometry().center() - rect().center());
        }
    }
    QDialog::showEvent(e);
}

void TF_AddEditAlarm::FormShow() {
    ui->e_Description->setText(Q(Alarm.Text));
    ShowDateTime(Alarm.AlarmTime, ui->tp_Date, ui->tp_Time);
    ui->me_RepeatInterval->setText(Q(FloatToStr(Alarm.RepeatDays)));
    ui->lb_AlarmType->setEditText(Q(Alarm.TypeString()));
    ui->cb_Active->setChecked(Alarm.Enabled);
    ui->sb_AlarmLocation->setText(Q(Alarm.Location.Name));
    ui->l_Ack->setVisible(Alarm.Acknowledged);
    UpdateForm();
    if (ui->e_Description->isVisibleTo(this)) ui->e_Description->setFocus();
}

void TF_AddEditAlarm::OKBtnClick() {
    // Read before anything is taken, so a bad entry leaves no half-read alarm.
    if (!CheckDateTime(ui->tp_Date, ui->tp_Time)) return;
    const std::optional<double> repeat = ParseDays(S(ui->me_RepeatInterval->text()), true);
    if (!repeat) {
        ReportBadDays(ui->me_RepeatInterval, "Repeat Interval (Days)");
        return;
    }
    if (RefuseSkippedTime(Alarm.Location, ui->tp_Date, ui->tp_Time)) return;
    // An alarm the alarm file cannot hold is refused, not stored to be lost.
    {
        TAlarm probe;
        probe.Copy(Alarm);
        probe.AlarmTime = PickedDateTime(ui->tp_Date, ui->tp_Time);
        probe.Text = S(ui->e_Description->text());
        probe.RepeatDays = *repeat;
        probe.Acknowledged = false;
        TRecordFault fault = CheckAlarmRecord(probe);
        if (fault) {
            const bool text = fault.Field == "Text";
            if (text) fault.Field = S(ui->l_Description->text().remove(':'));
            THXMessageBoxes::ShowError(RecordFaultText(fault));
            if (text) ui->e_Description->setFocus();
            return;
        }
    }
    Alarm.AlarmTime = PickedDateTime(ui->tp_Date, ui->tp_Time);
    Alarm.Text = S(ui->e_Description->text());
    Alarm.RepeatDays = *repeat;
    Alarm.Enabled = ui->cb_Active->isChecked();
    Alarm.Acknowledged = false; // an edited alarm is armed again
    if (const int type = AlarmTypeOf(S(ui->lb_AlarmType->currentText())); type >= 0)
        Alarm.AlarmType = uint8_t(type);
    accept();
}

// A type change reads the type only; a text that names no type keeps the
// type it had.
void TF_AddEditAlarm::UpdateForm() {
    if (const int type = AlarmTypeOf(S(ui->lb_AlarmType->currentText())); type >= 0)
        Alarm.AlarmType = uint8_t(type);
    bool payload = true, pick = false, test = false;
    const char* label = kPayloadLabels[0];
    switch (Alarm.AlarmType) {
    case 3:
    case 4:
        payload = false;
        ui->e_Description->setText(Alarm.AlarmType == 3 ? "<connect>" : "<disconnect>");
        break;
    case 5:
        label = kPayloadLabels[1];
        break;
    case 6:
        label = kPayloadLabels[2];
        pick = true;
        break;
    case 7:
        label = kPayloadLabels[2];
        pick = test = true;
        break;
    default: // the sound alarms
        test = true;
        break;
    }
    ui->l_Description->setVisible(payload);
    ui->e_Description->setVisible(payload);
    ui->l_Description->setText(label);
    ui->sb_PickPayload->setVisible(pick);
    ui->sbTestPayload->setVisible(test);
}

void TF_AddEditAlarm::ChangeZone() {
    TTimeLocation picked;
    picked.Copy(Alarm.Location);
    if (!PickLocation || !PickLocation(picked)) return;
    Alarm.Location.Copy(picked);
    ui->sb_AlarmLocation->setText(Q(Alarm.Location.Name));
}

void TF_AddEditAlarm::sb_PickPayloadClick() {
    if (!ChoosePayload) return;
    std::optional<std::string> file = ChoosePayload("", "", "", this);
    if (!file) return;
    // A sound file that is not there would ring as silence.
    if (S(ui->lb_AlarmType->currentText()) == "Sound File" &&
        ReportMissingSoundFile(*file, W.DataDir))
        return;
    ui->e_Description->setText(Q(*file));
}

void TF_AddEditAlarm::sbTestPayloadClick() {
    const std::string type = S(ui->lb_AlarmType->currentText());
    std::string sound;
    if (type == "Sound File")
        sound = S(ui->e_Description->text());
    else if (type == "Alarm - Major")
        sound = W.MajorAlarmSound;
    else if (type == "Alarm - Normal")
        sound = W.NormalAlarmSound;
    else
        sound = W.MinorAlarmSound;
    if (ReportMissingSoundFile(sound, W.DataDir)) return;
    Sound.PlaySound(sound);
}

// ---------------------------------------------------------------- manager

TFHXalarms::TFHXalarms(TClockState& state, IListSaver& lists, ILocationPicker& picker,
                       ISoundService& sound, QWidget* owner)
    : QWidget(owner), W(state), Lists(lists), Picker(picker), Sound(sound), ui(new Ui::TFHXalarms) {
    ui->setupUi(this);
    setWindowFlags(Qt::Window);
    resize(560, 230);
    QTableWidget* grid = ui->sg_Alarms;
    grid->horizontalHeader()->setMinimumSectionSize(8);
    // The widths were made for a smaller font: the date and the last heading
    // get what they need, taken from the payload's room.
    const QFontMetrics fm = grid->fontMetrics();
    int widths[5];
    std::copy(std::begin(kColumnWidths), std::end(kColumnWidths), widths);
    const int pad = 2 * grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 8;
    widths[1] = std::max(widths[1], fm.horizontalAdvance("00/00/0000, at 00:00:00") + pad);
    widths[4] = std::max(widths[4], fm.horizontalAdvance(kHeadings[4]) + pad);
    widths[2] = std::max(110, widths[2] - (widths[1] - kColumnWidths[1]) -
                                  (widths[4] - kColumnWidths[4]));
    for (int c = 0; c < 5; ++c)
        grid->setColumnWidth(c, widths[c]);
    grid->horizontalHeader()->setSectionsMovable(true);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    connect(ui->sb_Add, &QToolButton::clicked, this, [this] { AddAlarm(); });
    connect(ui->sb_Edit, &QToolButton::clicked, this, [this] { EditAlarm(); });
    connect(ui->sb_DupAlarm, &QToolButton::clicked, this, [this] { DupAlarm(); });
    connect(ui->SpeedButton1, &QToolButton::clicked, this, [this] { DeleteAlarm(); });
    connect(grid, &QTableWidget::cellDoubleClicked, this, [this] { EditAlarm(); });
    // The tick and the late-alarm window change the list too.
    auto* follow = new QTimer(this);
    follow->setObjectName("t_FollowList");
    follow->setInterval(500);
    connect(follow, &QTimer::timeout, this, [this] { FollowList(); });
    follow->start();
    LoadAlarms();
}

TFHXalarms::~TFHXalarms() {
    delete ui;
}

bool TFHXalarms::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate) FormActivate();
    return QWidget::event(e);
}

void TFHXalarms::FormActivate() {
    LoadAlarms();
}

std::vector<std::string> TFHXalarms::RowTexts(const TAlarm& a) const {
    return {a.EnabledString(), ListDateTime(a.AlarmTime, ", at "), a.Text, a.TypeString(),
            a.RepeatString()};
}

void TFHXalarms::LoadAlarms() {
    if (FBusy) return;
    FBusy = true;
    QTableWidget* grid = ui->sg_Alarms;
    // The selection stays with its alarm, else on its row.
    const int row = grid->currentRow();
    const uint64_t selected =
        row >= 1 && row <= int(RowAlarms.size()) ? RowAlarms[size_t(row - 1)] : 0;
    AlarmCount = int(W.Alarms.size());
    grid->setRowCount(AlarmCount + 1);
    auto put = [grid](int r, int c, const std::string& text) {
        QTableWidgetItem* item = grid->item(r, c);
        if (!item) grid->setItem(r, c, item = new QTableWidgetItem);
        item->setText(Q(text));
    };
    RowAlarms.clear();
    FShown.clear();
    for (int i = 0; i < AlarmCount; ++i) {
        const TAlarm& a = *W.Alarms[size_t(i)];
        std::vector<std::string> texts = RowTexts(a);
        for (int c = 0; c < 5; ++c)
            put(i + 1, c, texts[size_t(c)]);
        RowAlarms.push_back(a.Id.Value());
        FShown.push_back(std::move(texts));
    }
    for (int c = 0; c < 5; ++c) {
        put(0, c, kHeadings[c]);
        QFont bold = grid->font();
        bold.setBold(true);
        grid->item(0, c)->setFont(bold);
    }
    int target = -1;
    for (size_t i = 0; selected && i < RowAlarms.size(); ++i)
        if (RowAlarms[i] == selected) target = int(i) + 1;
    // A first fill starts on the first alarm.
    if (target < 0) target = row < 0 ? std::min(1, AlarmCount) : std::min(row, AlarmCount);
    grid->setCurrentCell(target, 0);
    FBusy = false;
}

void TFHXalarms::FollowList() {
    bool same = W.Alarms.size() == RowAlarms.size();
    for (size_t i = 0; same && i < RowAlarms.size(); ++i)
        same = W.Alarms[i]->Id.Value() == RowAlarms[i] && RowTexts(*W.Alarms[i]) == FShown[i];
    if (!same) LoadAlarms();
}

int TFHXalarms::SelectedAlarm() {
    FollowList();
    if (W.Alarms.empty()) return -1;
    QTableWidget* grid = ui->sg_Alarms;
    if (grid->currentRow() <= 0) grid->setCurrentCell(1, 0);
    const int row = grid->currentRow();
    if (row < 1 || row > int(RowAlarms.size())) return -1;
    return IndexOfAlarm(W.Alarms, RowAlarms[size_t(row - 1)], row - 1);
}

void TFHXalarms::SelectAlarm(uint64_t id) {
    const int i = IndexOfAlarm(W.Alarms, id);
    if (i >= 0) ui->sg_Alarms->setCurrentCell(i + 1, 0);
}

void TFHXalarms::AppendCopy(const TAlarm& alarm) {
    auto copy = std::make_unique<TAlarm>();
    copy->Copy(alarm);
    W.Alarms.push_back(std::move(copy));
}

bool TFHXalarms::RunEditor(TF_AddEditAlarm* editor, const char* caption) {
    editor->setWindowTitle(caption);
    QPointer<TFHXalarms> alive(this);
    QPointer<TF_AddEditAlarm> still(editor);
    const int result = editor->exec();
    return alive && still && result == QDialog::Accepted;
}

void TFHXalarms::AddAlarm() {
    TEditorOf editor{new TF_AddEditAlarm(W, Picker, Sound, this)};
    editor.P->Alarm.Location.Copy(W.LocalClock.Location);
    editor.P->Alarm.Enabled = true;
    if (!RunEditor(editor.P, "Add New Alarm")) return;
    AppendCopy(editor.P->Alarm);
    Lists.SaveAlarms();
    LoadAlarms();
    ui->sg_Alarms->setCurrentCell(AlarmCount, 0);
}

void TFHXalarms::DupAlarm() {
    const int i = SelectedAlarm();
    if (i < 0) return;
    TEditorOf editor{new TF_AddEditAlarm(W, Picker, Sound, this)};
    editor.P->Alarm.Copy(*W.Alarms[size_t(i)]);
    if (!RunEditor(editor.P, "Duplicate Alarm")) return;
    AppendCopy(editor.P->Alarm);
    Lists.SaveAlarms();
    LoadAlarms();
    ui->sg_Alarms->setCurrentCell(AlarmCount, 0);
}

void TFHXalarms::EditAlarm() {
    const int i = SelectedAlarm();
    if (i < 0) return;
    const uint64_t id = W.Alarms[size_t(i)]->Id.Value();
    TEditorOf editor{new TF_AddEditAlarm(W, Picker, Sound, this)};
    editor.P->Alarm.Copy(*W.Alarms[size_t(i)]);
    QPointer<TFHXalarms> alive(this);
    if (!RunEditor(editor.P, "Edit Alarm")) {
        if (!alive) return;
        LoadAlarms();
        ui->sg_Alarms->setCurrentCell(W.Alarms.empty() ? 0 : 1, 0);
        return;
    }
    // Back onto the alarm it came from, wherever the list moved it meanwhile.
    if (TAlarm* target = FindAlarm(W.Alarms, id)) {
        // A pop-up up for it still answers for it.
        const bool sounding = target->Sounding;
        target->Copy(editor.P->Alarm);
        target->Sounding = sounding;
        Lists.SaveAlarms();
        LoadAlarms();
        SelectAlarm(id);
        return;
    }
    const bool add =
        THXMessageBoxes::AskYesNo("The alarm you were editing has been deleted meanwhile.\n\r"
                                  "Would you like to add your edit as a new alarm?") == mrYes;
    if (!alive) return;
    if (add) {
        AppendCopy(editor.P->Alarm);
        Lists.SaveAlarms();
    }
    LoadAlarms();
    if (add) ui->sg_Alarms->setCurrentCell(AlarmCount, 0);
}

void TFHXalarms::DeleteAlarm() {
    const int i = SelectedAlarm();
    if (i < 0) return;
    const TAlarm& a = *W.Alarms[size_t(i)];
    const uint64_t id = a.Id.Value();
    QString shown = Q(a.Text);
    // Cut, so a long payload cannot fill the screen.
    if (shown.size() > 40) shown = shown.left(40) + "...";
    const std::string text = S(shown);
    QPointer<TFHXalarms> alive(this);
    if (THXMessageBoxes::AskYesNo("Delete the alarm of " + ListDateTime(a.AlarmTime, ", at ") +
                                  " (" + a.TypeString() + (text.empty() ? "" : ": " + text) +
                                  ")?") != mrYes ||
        !alive)
        return;
    // The list may have moved while the question was up.
    const int now = IndexOfAlarm(W.Alarms, id);
    if (now >= 0) {
        W.Alarms.erase(W.Alarms.begin() + now);
        Lists.SaveAlarms();
    }
    LoadAlarms();
}

// Each accepted change is written at once (a crash with the window open loses
// none); closing writes what the tick or the late-alarm window changed since.
void TFHXalarms::closeEvent(QCloseEvent* e) {
    Lists.SaveAlarms();
    e->accept();
}
