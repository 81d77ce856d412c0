#include "platform/media/ForegroundCaption.h"

#include <gtest/gtest.h>

#include <map>

namespace {

struct FakeHost : ICaptionHost {
    std::map<THXWindowId, std::string> Captions;
    THXWindowId Front = 0, Own = 99;
    int Writes = 0;
    THXWindowId Foreground() override { return Front; }
    std::optional<std::string> ReadCaption(THXWindowId w) override {
        auto it = Captions.find(w);
        if (it == Captions.end()) return std::nullopt;
        return it->second;
    }
    bool WriteCaption(THXWindowId w, const std::string& c) override {
        ++Writes;
        Captions[w] = c;
        return true;
    }
    bool IsOwnWindow(THXWindowId w) override { return w == Own; }
};

TEST(ForegroundCaption, ExtendsSwitchesAndRestores) {
    FakeHost h;
    h.Captions = {{1, "Editor"}, {2, "Terminal"}, {99, "Horolux"}};
    TForegroundCaption c(h);
    c.Append(1, "   12:00:00");
    EXPECT_EQ(h.Captions[1], "Editor   12:00:00");
    c.Append(1, "   12:00:01");
    EXPECT_EQ(h.Captions[1], "Editor   12:00:01");
    c.Append(2, "   12:00:02");
    EXPECT_EQ(h.Captions[1], "Editor");
    EXPECT_EQ(h.Captions[2], "Terminal   12:00:02");
    // Our own window is never extended; the last one is put back.
    c.Append(99, "   12:00:03");
    EXPECT_EQ(h.Captions[2], "Terminal");
    EXPECT_EQ(h.Captions[99], "Horolux");
    c.Append(1, "   x");
    c.Restore();
    EXPECT_EQ(h.Captions[1], "Editor");
}

TEST(ForegroundCaption, RenamedWindowKeepsItsNewName) {
    FakeHost h;
    h.Captions = {{1, "doc1 - Editor"}};
    TForegroundCaption c(h);
    c.Append(1, "   A");
    h.Captions[1] = "doc2 - Editor";
    c.Append(1, "   B");
    EXPECT_EQ(c.SavedCaption(), "doc2 - Editor");
    EXPECT_EQ(h.Captions[1], "doc2 - Editor   B");
    // A window that renamed itself while keeping our text: the text is ours.
    h.Captions[1] = "doc3 - Editor   B";
    c.Append(1, "   C");
    EXPECT_EQ(h.Captions[1], "doc3 - Editor   C");
}

TEST(ForegroundCaption, LongCaptionsAreNotCutAndUnreadableOnesLeftAlone) {
    FakeHost h;
    const std::string longTitle(600, 'x');
    h.Captions = {{1, longTitle}};
    TForegroundCaption c(h);
    c.Append(1, "   T");
    EXPECT_EQ(h.Captions[1], longTitle + "   T");
    c.Append(1, "");
    EXPECT_EQ(h.Captions[1], longTitle);
    c.Append(7, "   T"); // no caption to read
    EXPECT_EQ(h.Captions[1], longTitle);
    EXPECT_EQ(h.Captions.count(7), 0u);
}

} // namespace
