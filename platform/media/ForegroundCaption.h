// Appending the title clock's text to the caption of the window in front,
// whatever program owns it, and putting that caption back.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

using THXWindowId = uint32_t; // 0: none

class ICaptionHost {
public:
    virtual ~ICaptionHost() = default;
    virtual THXWindowId Foreground() = 0;
    // The whole caption, or nothing when it cannot be read.
    virtual std::optional<std::string> ReadCaption(THXWindowId w) = 0;
    virtual bool WriteCaption(THXWindowId w, const std::string& caption) = 0;
    // Windows of this program are never extended.
    virtual bool IsOwnWindow(THXWindowId w) = 0;
};

// The X11 desktop through EWMH; on Wayland or without a display, a host that
// sees no foreground window, so nothing is changed.
std::unique_ptr<ICaptionHost> CreateDesktopCaptionHost();
// Shows or hides a top-level window of ours in the task bar (X11 only).
void SetSkipTaskbar(uintptr_t nativeWindow, bool skip);

class TForegroundCaption {
public:
    explicit TForegroundCaption(ICaptionHost& host) : FHost(host) {}
    // Extends the window in front with Text; a window that came to the front
    // gets its predecessor's caption put back first. Empty text restores.
    void Append(THXWindowId foreground, const std::string& text);
    // Puts the extended window's own caption back and forgets it.
    void Restore();
    THXWindowId CaptionWindow() const { return FWindow; }
    const std::string& SavedCaption() const { return FSaved; }

private:
    ICaptionHost& FHost;
    THXWindowId FWindow = 0;
    std::string FSaved;
    std::string FWritten;
    std::string FSuffix;
};
