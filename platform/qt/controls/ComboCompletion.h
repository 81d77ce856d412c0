// Keyboard completion of the framed combo box against its item list, without
// any window: the combo feeds it keys and mirrors its text, selection and item
// index. Positions are byte offsets into the UTF-8 text.
#pragma once

#include <functional>
#include <string>
#include <vector>

class TComboCompletion {
public:
    enum class TStyle { DropDown, DropDownList };
    enum TKey {
        kBack = 8,
        kEscape = 27,
        kPageUp = 33,
        kPageDown,
        kEnd,
        kHome,
        kLeft,
        kUp,
        kRight,
        kDown,
        kInsert = 45,
        kDelete = 46,
        kCtrlV = 22,
        kCtrlX = 24
    };

    TStyle Style = TStyle::DropDown;
    bool AllowEdit = true;
    bool BeepOnInvalidKey = true;
    int MaxLength = 0;
    std::vector<std::string> Items;

    // The edit field as the combo shows it.
    std::string Text;
    int SelStart = 0;
    int SelLength = 0;
    int ItemIndex = -1;
    std::string SearchText;
    // The 1500 ms reset timer; the combo runs a real one while this is set.
    bool TimerRunning = false;

    std::function<void()> OnClick, OnChange, OnMatch, OnNotInList, OnBeep;

    void SetItemIndex(int index);
    int FindPrefix(const std::string& s) const;
    bool SelectExact(const std::string& text);

    // Characters on the list-style combo window.
    void ListChar(int ch);
    // Key downs on the combo window: navigation keys end the search.
    void ComboKeyDown(int key);
    void TimerElapsed();
    // In the edit field; false when the key is to be dropped.
    bool EditKeyDown(int key, bool shift);
    // True when the character was handled (and is not to be typed normally).
    void EditChar(int ch);
    void Paste(const std::string& clip);
    void Cut();
    void EditMouseDown() { SearchText = Text; }
    // The application set the text.
    void TextChanged(const std::string& text);
    void FocusLost();
    // One wheel step: up (true) or down.
    void Wheel(bool up);

private:
    void InvalidKey();
    void Fire(const std::function<void()>& f) {
        if (f) f();
    }
    void ClickChange() {
        Fire(OnClick);
        Fire(OnChange);
    }
    bool SearchAsList(const std::string& s);
    bool CompleteAsEdit(const std::string& s);
    void SyncToText();
    void Type(int ch);
    void ReplaceSelection(const std::string& with);
};
