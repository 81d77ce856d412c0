// The preferences dialog: edits the main window's preferences, starts or
// stops hxlinkhold as the connection type is chosen, and offers the sync
// commands of the main window.
#pragma once

#include "clockapp/ClockAttributes.h"
#include "platform/qt/FileChooser.h"
#include "platform/rtl/Graphics.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <optional>
#include <string>

class QAbstractButton;
class QGroupBox;
class QLineEdit;
class TF_clocks;
class THXMessageListener;
namespace Ui {
class F_hxPrefs;
}

// The auto-sync interval as "HH:MM:SS"; hours are not wrapped at 24.
std::string FormatAutoDuration(int seconds);
// Whole seconds of an "HH:MM:SS" text; none when it is not of that form or
// is not longer than zero.
std::optional<int> ParseAutoDuration(const std::string& text);
// A local offset in hours, either decimal separator; none when it does not parse.
std::optional<double> ParseLocalOffset(const std::string& text);

// A file-dialog filter of "description|pattern|..." pairs in Qt's form.
std::string QtFileFilter(const std::string& filter);

class TF_hxPrefs : public QDialog {
    Q_OBJECT
public:
    explicit TF_hxPrefs(TF_clocks& main);
    ~TF_hxPrefs() override;

    void LoadFromPrefs();
    void StoreToPrefs();
    void FormActivate();
    void rg_ConnectionTypeClick();
    void cbOverrideLocalOffsetClick();
    void OKBtnClick();
    void sb_SyncNowClick();
    void sbClearSyncLogClick();
    void sbViewSyncLogClick();
    bool me_AutoDurationExit();
    void me_ServerUTCOffsetExit();
    void meLocalOffsetOverrideExit();
    void LoadPhoneBook();
    void sbCheckForUpgradesNowClick();

    // The sound rows, by the Tag of their browse and test buttons.
    void FileDialogClick(QObject* button);
    void TestSound(QObject* button);
    QLineEdit* SoundEdit(int tag) const;

    // "Clock Objects": a proposed clock that "Override ALL Clocks" applies.
    void ProposedClockFormatChange();
    void sbTimeFormatEgClick();
    void sbDateFormatEgClick();
    void l_MajorTimeColourClick();
    void p_BackgroundColourClick();
    void sb_ClockFaceFontClick();
    void sb_RestoreDefaultsClick();
    void sbOverrideClockSettingsClick();
    const TFont& SampleFont() const { return Attributes->TimeFont; }
    const TFont& FaceFont() const { return Attributes->FaceFont; }
    TColor PanelColour() const { return Attributes->BackColour; }

    // Qt's own dialogs unless replaced.
    TFontChooser ChooseFont;
    TColourChooser ChooseColour;
    TFileChooser ChooseSoundFile;

    // The connection type chosen so far (0 dial-up, 1 LAN, 2 none).
    uint8_t WorkingConnectionType = 2;
    double WorkingLocalOffset = 0;
    // What this dialog last did to hxlinkhold.
    enum class TLinkholdAction { None, Started, Terminated };
    TLinkholdAction LastLinkholdAction = TLinkholdAction::None;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* e) override;

private:
    static int RadioIndex(QGroupBox* group);
    static void SetRadioIndex(QGroupBox* group, int index);
    static void EnableGroup(QGroupBox* group, bool enabled);

    TF_clocks& Main;
    Ui::F_hxPrefs* ui;
    std::unique_ptr<THXMessageListener> Listener;
    bool Activated = false;
    TClockAttributesEditor* Attributes = nullptr; // the proposed clock's looks
};
