#include "platform/media/ForegroundCaption.h"

void TForegroundCaption::Append(THXWindowId foreground, const std::string& text) {
    if (foreground != 0 && FHost.IsOwnWindow(foreground)) foreground = 0;
    if (FWindow != 0 && FWindow == foreground) {
        auto caption = FHost.ReadCaption(FWindow);
        if (!caption) return;
        if (*caption != FWritten) {
            // The window renamed itself; a caption that still carries our own
            // suffix (another of our texts) is cut back to the window's part.
            std::string own = *caption;
            if (!FSuffix.empty() && own.size() >= FSuffix.size() &&
                own.compare(own.size() - FSuffix.size(), FSuffix.size(), FSuffix) == 0)
                own.erase(own.size() - FSuffix.size());
            FSaved = own;
        }
    } else {
        Restore();
        if (foreground == 0) return;
        auto caption = FHost.ReadCaption(foreground);
        if (!caption) return;
        FWindow = foreground;
        FSaved = *caption;
    }
    if (text.empty()) {
        // Nothing to add: the caption as the window had it.
        if (FWritten != FSaved) FHost.WriteCaption(FWindow, FSaved);
        FWritten = FSaved;
        FSuffix.clear();
        return;
    }
    FSuffix = text;
    FWritten = FSaved + text;
    FHost.WriteCaption(FWindow, FWritten);
}

void TForegroundCaption::Restore() {
    if (FWindow != 0 && FWritten != FSaved) FHost.WriteCaption(FWindow, FSaved);
    FWindow = 0;
    FSaved.clear();
    FWritten.clear();
    FSuffix.clear();
}
