#include "platform/qt/controls/ComboCompletion.h"

#include <algorithm>

namespace {
char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}
bool StartsWithNoCase(const std::string& item, const std::string& s) {
    if (s.size() > item.size()) return false;
    for (size_t i = 0; i < s.size(); ++i)
        if (Lower(item[i]) != Lower(s[i])) return false;
    return true;
}
// Start of the UTF-8 character that ends before byte position p.
size_t PrevChar(const std::string& s, size_t p) {
    if (p == 0) return 0;
    --p;
    while (p > 0 && (static_cast<unsigned char>(s[p]) & 0xC0) == 0x80)
        --p;
    return p;
}
} // namespace

void TComboCompletion::InvalidKey() {
    if (BeepOnInvalidKey) Fire(OnBeep);
}

void TComboCompletion::SetItemIndex(int index) {
    if (index < -1 || index >= int(Items.size())) index = -1;
    ItemIndex = index;
    Text = index >= 0 ? Items[size_t(index)] : std::string();
    SelStart = int(Text.size());
    SelLength = 0;
}

int TComboCompletion::FindPrefix(const std::string& s) const {
    for (size_t i = 0; i < Items.size(); ++i)
        if (StartsWithNoCase(Items[i], s)) return int(i);
    return -1;
}

bool TComboCompletion::SelectExact(const std::string& text) {
    for (size_t i = 0; i < Items.size(); ++i)
        if (Items[i].size() == text.size() && StartsWithNoCase(Items[i], text)) {
            SetItemIndex(int(i));
            return true;
        }
    return false;
}

bool TComboCompletion::SearchAsList(const std::string& s) {
    const int index = FindPrefix(s);
    if (index < 0) {
        InvalidKey();
        return false;
    }
    SetItemIndex(index);
    SearchText = s;
    ClickChange();
    return true;
}

bool TComboCompletion::CompleteAsEdit(const std::string& s) {
    const int index = FindPrefix(s);
    if (index < 0) return false;
    SetItemIndex(index);
    ClickChange();
    SelStart = int(std::min(s.size(), Text.size()));
    SelLength = int(Text.size()) - SelStart;
    Fire(OnMatch);
    return true;
}

void TComboCompletion::SyncToText() {
    if (Style != TStyle::DropDown) return;
    SearchText = Text;
    const int index = FindPrefix(SearchText);
    if (index < 0) return;
    const std::string s = SearchText;
    SetItemIndex(index);
    SelStart = int(s.size());
    SelLength = int(Text.size()) - SelStart;
}

void TComboCompletion::ListChar(int ch) {
    if (ch == kBack) {
        if (SearchText.empty()) {
            InvalidKey();
            SearchAsList("");
            return;
        }
        SearchText.erase(PrevChar(SearchText, SearchText.size()));
        if (SearchText.empty()) {
            SetItemIndex(Items.empty() ? -1 : 0);
            ClickChange();
        } else {
            SearchAsList(SearchText);
        }
        return;
    }
    if (ch == kEscape) {
        SetItemIndex(Items.empty() ? -1 : 0);
        ClickChange();
        return;
    }
    if (ch >= 32 && ch <= 255) {
        // A character that begins no item is refused and not kept: the next
        // one searches from what was found so far.
        SearchAsList(SearchText + char(ch));
        TimerRunning = true;
    }
}

void TComboCompletion::ComboKeyDown(int key) {
    if (key == kEscape || (key >= kPageUp && key <= kDown)) SearchText.clear();
}

void TComboCompletion::TimerElapsed() {
    SearchText.clear();
    TimerRunning = false;
}

void TComboCompletion::ReplaceSelection(const std::string& with) {
    const size_t start = size_t(std::clamp(SelStart, 0, int(Text.size())));
    const size_t len = std::min(size_t(std::max(SelLength, 0)), Text.size() - start);
    Text.replace(start, len, with);
    SelStart = int(start + with.size());
    SelLength = 0;
}

bool TComboCompletion::EditKeyDown(int key, bool shift) {
    switch (key) {
    case kPageUp:
    case kPageDown:
    case kUp:
    case kDown:
        SearchText.clear();
        return true;
    case kEnd:
    case kHome:
    case kLeft:
    case kRight:
        SearchText = Text;
        return true;
    case kInsert:
        (void)shift;
        return AllowEdit; // Shift+Insert pastes
    case kDelete: {
        const bool whole = SelStart == 0 && SelLength == int(Text.size());
        if (!AllowEdit && !whole) return false;
        SearchText = Text;
        if (SelLength == 0 && SelStart < int(Text.size())) {
            const size_t start = size_t(SelStart);
            size_t end = start + 1;
            while (end < Text.size() && (static_cast<unsigned char>(Text[end]) & 0xC0) == 0x80)
                ++end;
            SelLength = int(end - start);
        }
        ReplaceSelection("");
        SearchText = Text;
        Fire(OnChange);
        if (Text.empty()) ItemIndex = -1;
        return true;
    }
    default:
        return true;
    }
}

void TComboCompletion::Type(int ch) {
    ReplaceSelection(std::string(1, char(ch)));
    Fire(OnChange);
}

void TComboCompletion::EditChar(int ch) {
    if (ch == kBack) {
        std::string s = SearchText;
        if (s.empty()) {
            InvalidKey();
            if (AllowEdit) {
                if (SelLength > 0) {
                    ReplaceSelection("");
                } else if (SelStart > 0) {
                    const size_t p = PrevChar(Text, size_t(SelStart));
                    Text.erase(p, size_t(SelStart) - p);
                    SelStart = int(p);
                }
                Fire(OnChange);
            }
            return;
        }
        const int caret = SelStart;
        if (caret < int(s.size())) {
            if (AllowEdit) {
                if (SelLength > 0) {
                    s.erase(size_t(caret), size_t(std::min(SelLength, int(s.size()) - caret)));
                } else if (caret > 0) {
                    const size_t p = PrevChar(s, size_t(caret));
                    s.erase(p, size_t(caret) - p);
                }
            }
        } else {
            s.erase(PrevChar(s, s.size()));
        }
        Fire(OnChange);
        if (s.empty()) {
            SetItemIndex(-1);
            SearchText.clear();
            ClickChange();
            return;
        }
        SearchText = s;
        if (CompleteAsEdit(s)) return;
        // No item begins so: the shortened text stays as typed.
        Text = s;
        SelStart = std::min(caret > 0 ? caret - 1 : 0, int(s.size()));
        SelLength = 0;
        return;
    }
    if ((ch == kCtrlV || ch == kCtrlX) && !AllowEdit) return;
    if (ch == kEscape) {
        SetItemIndex(-1);
        SearchText.clear();
        ClickChange();
        return;
    }
    if (ch < 32 || ch > 255) return;
    if (MaxLength > 0 && SelLength == 0 && int(Text.size()) >= MaxLength) {
        Fire(OnBeep);
        return;
    }
    std::string s = SearchText;
    const int caret = SelStart;
    if (SelLength > 0 && caret < int(s.size()))
        s.erase(size_t(caret), size_t(std::min(SelLength, int(s.size()) - caret)));
    const std::string old = SearchText;
    s.insert(size_t(std::min(caret, int(s.size()))), 1, char(ch));
    if (CompleteAsEdit(s)) {
        SearchText = s;
        return;
    }
    if (AllowEdit) {
        // Back to what the user typed, without the completed tail, then the
        // character as typed.
        if (Text != old && ItemIndex >= 0 && Text == Items[size_t(ItemIndex)] && SelLength > 0 &&
            SelStart + SelLength == int(Text.size())) {
            Text = old;
            SelStart = std::min(caret, int(Text.size()));
            SelLength = 0;
        }
        Type(ch);
        SearchText = Text;
    } else {
        InvalidKey();
        SearchText = old;
    }
}

void TComboCompletion::Paste(const std::string& clip) {
    if (!AllowEdit) return;
    ReplaceSelection(clip);
    Fire(OnChange);
    SearchText = Text;
    CompleteAsEdit(SearchText);
}

void TComboCompletion::Cut() {
    if (!AllowEdit) return;
    ReplaceSelection("");
    Fire(OnChange);
    SearchText = Text;
    if (!SearchText.empty()) CompleteAsEdit(SearchText);
}

void TComboCompletion::TextChanged(const std::string& text) {
    Text = text;
    SelStart = int(Text.size());
    SelLength = 0;
    SyncToText();
}

void TComboCompletion::FocusLost() {
    SearchText.clear();
    if (Style == TStyle::DropDown && !Text.empty() && !SelectExact(Text)) Fire(OnNotInList);
}

void TComboCompletion::Wheel(bool up) {
    const int n = int(Items.size());
    if (n == 0) return;
    if (up) {
        if (ItemIndex > 0) {
            SetItemIndex(ItemIndex - 1);
            ClickChange();
        } else {
            SetItemIndex(0);
        }
    } else {
        if (ItemIndex + 1 < n) {
            SetItemIndex(ItemIndex + 1);
            ClickChange();
        } else {
            SetItemIndex(n - 1);
        }
    }
}
