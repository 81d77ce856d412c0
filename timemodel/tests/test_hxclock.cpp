#include "timemodel/Alarm.h"
#include "timemodel/HXClock.h"

#include "TimeTestSupport.h"

namespace {

THXClock NewYorkClock() {
    THXClock c;
    c.Location.Name = "New York";
    c.Location.City = "New York";
    c.Location.Region = "NY";
    c.Location.Country = "USA";
    c.Location.StdOffset = -5;
    c.Location.Latitude = 40.7128;
    c.Location.Longitude = 74.006;
    c.Location.Rule.ReadDataString("2");
    return c;
}

} // namespace

class ClockTest : public PinnedClockTest {};

TEST_F(ClockTest, Defaults) {
    THXClock c;
    EXPECT_EQ(c.ClockType, 0);
    EXPECT_EQ(c.TimeFormat, "HH:MM:SS");
    EXPECT_EQ(c.DateFormat, "MMM DD");
    EXPECT_FALSE(c.Analog);
    EXPECT_FALSE(c.ShowDate);
    EXPECT_EQ(c.ClockFaceFont.Name, "Arial");
    EXPECT_EQ(c.ClockFaceFont.Color, 0);
    EXPECT_EQ(c.TimeFont.Color, 65280);
    EXPECT_FALSE(c.TimeFont.Bold);
    EXPECT_EQ(c.BackColour, 0);
    EXPECT_EQ(c.ClockTypeString(), "Location");
    EXPECT_EQ(c.DisplayKindString(), "Digital");
}

TEST_F(ClockTest, TypesAndTheirTexts) {
    PinClock(At(2026, 2, 14, 12), 0);
    THXClock c = NewYorkClock();
    c.TimeFormat = "HH:MM";
    EXPECT_EQ(c.DisplayTime(), "07:00");
    EXPECT_EQ(c.DisplayDate(), "Feb 14");
    EXPECT_EQ(c.TitleString(), "New York");
    EXPECT_EQ(c.TitleHintString(), "New York NY, USA {-5}  <click to change>");
    c.ShowDate = true;
    EXPECT_EQ(c.DisplayString(), "Feb 14 07:00");
    c.ShowDate = false;

    c.ClockType = 1; // the computer's offset: 0 here
    EXPECT_EQ(c.TitleHintString(), "Local: New York NY, USA {0}  <click to change>");
    EXPECT_EQ(c.HintString(), "Local Time");
    c.ClockType = 2;
    EXPECT_EQ(c.DisplayTime(), "12:00");
    EXPECT_EQ(c.TitleString(), "UTC");
    EXPECT_EQ(c.TitleHintString(), "Universal Coordinated Time aka GMT");
    EXPECT_TRUE(c.DateApplicable());

    c.ClockType = 3;
    EXPECT_EQ(c.DisplayTime(), "@541");
    EXPECT_EQ(c.DisplayDate(), "");
    EXPECT_EQ(c.TitleString(), "Swatch Beat");
    EXPECT_FALSE(c.HintString().empty());
    EXPECT_FALSE(c.DateApplicable());
    EXPECT_DOUBLE_EQ(c.ClockDateTime(), At(2026, 2, 14, 12));

    c.ClockType = 4;
    c.TimeFormat = "u";
    PinClock(At(2026, 2, 14, 6), 0);
    EXPECT_EQ(c.DisplayTime(), "U 2026 45,250.000");
    c.TimeFormat = "";
    EXPECT_EQ(c.DisplayTime(), "U 2026 45,250");

    c.ClockType = 5;
    PinClock(At(2000, 1, 1, 12), 0);
    EXPECT_EQ(c.DisplayTime(), "2451545.00000");
    EXPECT_EQ(c.TitleString(), "JD");
    c.ClockType = 7;
    EXPECT_EQ(c.DisplayTime(), "18:41:50");
    EXPECT_EQ(c.HintString(), "Greenwich Mean Sidreal Time");
    c.ClockType = 8;
    EXPECT_EQ(c.TitleHintString(), "LMST: New York NY, USA");
    EXPECT_DOUBLE_EQ(c.ClockDateTime(), c.Location.LMST());
    c.ClockType = 6;
    EXPECT_EQ(c.TitleString(), "Metric Time");

    // Outside the table: shown like a Location clock, no titles.
    c.ClockType = 12;
    c.TimeFormat = "HH:MM";
    EXPECT_EQ(c.DisplayTime(), "07:00");
    EXPECT_EQ(c.TitleString(), "");
    EXPECT_EQ(c.ClockTypeString(), "");
}

TEST_F(ClockTest, TitleHintShowsFractionalOffsets) {
    THXClock c;
    c.Location.Name = "Delhi";
    c.Location.City = "Delhi";
    c.Location.Country = "India";
    c.Location.StdOffset = 5.5;
    EXPECT_EQ(c.TitleHintString(), "Delhi , India {5.5}  <click to change>");
    FormatSettings.DecimalSeparator = ',';
    EXPECT_EQ(c.TitleHintString(), "Delhi , India {5,5}  <click to change>");
}

// A Local clock tells the computer's time, whatever place it keeps; the
// place is left as it is and tells its own time again as a Location clock.
TEST_F(ClockTest, LocalClockTellsTheComputersTimeAndKeepsItsPlace) {
    PinClock(At(2026, 7, 15, 20, 30), 2); // the computer: 22:30 local, UTC+2
    THXClock c;
    c.Location.StdOffset = -8;
    c.Location.Rule.ReadDataString("2");
    c.Location.HostOffset = 2;
    c.TimeFormat = "HH:MM";
    c.ClockType = 1;
    const std::string kept = c.Location.LocationDataStr('\t');
    EXPECT_EQ(c.DisplayTime(), "22:30");
    EXPECT_EQ(c.DisplayDate(), "Jul 15");
    EXPECT_DOUBLE_EQ(c.ClockDateTime(), At(2026, 7, 15, 22, 30));
    EXPECT_DOUBLE_EQ(c.TimeLocation().CurrentUTCOffset(), 2);
    EXPECT_EQ(c.Location.LocationDataStr('\t'), kept);
    c.ClockType = 0;
    EXPECT_EQ(c.DisplayTime(), "13:30"); // 20:30 UTC, -7 with daylight saving
}

TEST_F(ClockTest, TimeFormatLists) {
    THXClock c;
    std::vector<std::string> list = {"stale"};
    c.AssignTimeFormats(list);
    ASSERT_EQ(list.size(), 12u);
    EXPECT_EQ(list.front(), "HH:MM:SS");
    EXPECT_EQ(list.back(), "h.m.s");
    c.ClockType = 4;
    c.AssignTimeFormats(list);
    EXPECT_EQ(list, (std::vector<std::string>{"U", "u", "W", "w", "D", "d", "V", "v", "T", "t"}));
    c.ClockType = 3;
    c.AssignTimeFormats(list);
    EXPECT_TRUE(list.empty());

    for (const char* f : {"H:MM", "H.M.S", "HH:MM:SS"}) {
        c.TimeFormat = f;
        EXPECT_TRUE(c.AnalogClockType()) << f;
    }
    for (const char* f : {"h:mm am/pm", "h.m.s", "h:mm"}) {
        c.TimeFormat = f;
        EXPECT_FALSE(c.AnalogClockType()) << f;
    }
}

TEST_F(ClockTest, Keywords) {
    THXClock c;
    c.SetClockTypeString("Universial");
    EXPECT_EQ(c.ClockType, 4);
    EXPECT_EQ(c.ClockTypeString(), "Universal");
    c.SetClockTypeString("LMST");
    EXPECT_EQ(c.ClockType, 8);
    c.SetClockTypeString("lmst");
    EXPECT_EQ(c.ClockType, 0);
    c.SetDisplayKindString("Analog");
    EXPECT_TRUE(c.Analog);
    c.SetDisplayKindString("analog");
    EXPECT_FALSE(c.Analog);
}

TEST_F(ClockTest, CopyTakesEverything) {
    THXClock a = NewYorkClock();
    a.ClockType = 5;
    a.Analog = true;
    a.ShowDate = true;
    a.BackColour = clNavy;
    a.TimeFont.Bold = true;
    a.ClockFaceFont.Name = "Courier";
    THXClock b;
    b.Copy(a);
    EXPECT_EQ(b.DataString('\t'), a.DataString('\t'));
}

TEST_F(ClockTest, RecordText) {
    THXClock c = NewYorkClock();
    c.TimeFont.Bold = true;
    c.TimeFont.Height = -13;
    c.TimeFont.Size = 10;
    c.TimeFont.Charset = 0;
    const std::string text = c.DataString('\t');
    EXPECT_EQ(text, "HXClockData-1.0.0:\tLocation\tMMM DD\tHH:MM:SS\tDigital\tFalse\t0\t"
                    "Arial\t0\t-11\t8\t1\tNNNN!\tArial\t65280\t-13\t10\t0\tYNNN!\t" +
                        c.Location.LocationDataStr('\t'));
    EXPECT_EQ(text.substr(text.size() - 1), "!");
}

TEST_F(ClockTest, RecordRoundTrips) {
    THXClock c = NewYorkClock();
    c.ClockType = 4;
    c.TimeFormat = "w";
    c.DateFormat = "dd/mm/yyyy";
    c.Analog = true;
    c.ShowDate = true;
    c.BackColour = clBtnFace; // negative system colour
    c.ClockFaceFont.Italic = true;
    c.ClockFaceFont.Color = clRed;
    c.TimeFont.StrikeOut = true;
    c.TimeFont.Name = "DejaVu Sans Mono";
    c.Location.StdOffset = -3.5;
    for (char written : {'.', ','}) {
        for (char read : {'.', ','}) {
            FormatSettings.DecimalSeparator = written;
            const std::string text = c.DataString('\t');
            FormatSettings.DecimalSeparator = read;
            THXClock back;
            back.ParseDataString(text, '\t');
            FormatSettings.DecimalSeparator = '.';
            EXPECT_EQ(back.DataString('\t'), c.DataString('\t'));
            EXPECT_TRUE(back.ClockFaceFont == c.ClockFaceFont);
            EXPECT_TRUE(back.TimeFont == c.TimeFont);
            EXPECT_DOUBLE_EQ(back.Location.StdOffset, -3.5);
        }
    }
    const std::string hat = c.DataString('^');
    THXClock back;
    back.ParseDataString(hat, '^');
    EXPECT_EQ(back.DataString('\t'), c.DataString('\t'));
}

TEST_F(ClockTest, UniversialIsReadAndUniversalWritten) {
    THXClock c;
    std::string text = c.DataString('\t');
    text.replace(text.find("Location"), 8, "Universial");
    THXClock back;
    back.ParseDataString(text, '\t');
    EXPECT_EQ(back.ClockType, 4);
    EXPECT_NE(back.DataString('\t').find("\tUniversal\t"), std::string::npos);
}

TEST_F(ClockTest, LegacyLineIsTheLocationAlone) {
    THXClock c;
    c.ClockType = 3;
    c.TimeFormat = "kept";
    c.TimeFont.Bold = true;
    c.ParseDataString("Tokyo\t9\t0\t35.68\t-139.69\t0\tTokyo\tKanto\tJapan\tJP!", '\t');
    EXPECT_EQ(c.Location.Name, "Tokyo");
    EXPECT_DOUBLE_EQ(c.Location.StdOffset, 9);
    EXPECT_EQ(c.Location.Code, "JP");
    EXPECT_EQ(c.ClockType, 3);
    EXPECT_EQ(c.TimeFormat, "kept");
    EXPECT_TRUE(c.TimeFont.Bold);
}

TEST_F(ClockTest, ParseErrors) {
    THXClock c;
    std::string text = c.DataString('\t');
    const std::string good = text;
    text.replace(text.find("\t0\tArial"), 2, "\tzz");
    try {
        c.ParseDataString(text, '\t');
        FAIL() << "no error";
    } catch (const EAlarmDataParseError& e) {
        // Header, keyword, date and time patterns, kind and flag with their
        // separators take 58 characters: the colour starts at 59.
        EXPECT_EQ(e.Message, "Error in Clock Data: " + text + " at 59");
    }
    // A failing location record is a clock error as well.
    std::string badLocation = good;
    badLocation.replace(badLocation.find("<New Location>\t0"), 16, "<New Location>\tq");
    EXPECT_THROW(c.ParseDataString(badLocation, '\t'), EAlarmDataParseError);
    std::string badFont = good;
    badFont.replace(badFont.find("-11"), 3, "big");
    EXPECT_THROW(c.ParseDataString(badFont, '\t'), EAlarmDataParseError);
    EXPECT_THROW(c.ParseDataString("Tokyo\tnine!", '\t'), EAlarmDataParseError);
}

TEST_F(ClockTest, WriterKeepsOneLine) {
    THXClock c;
    c.DateFormat = "MMM\tDD";
    c.TimeFormat = "HH:MM\n";
    c.TimeFont.Name = "Odd\tFont!";
    c.Location.Name = "Two\r\nLines";
    const std::string text = c.DataString('\t');
    EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
    THXClock back;
    back.ParseDataString(text, '\t');
    EXPECT_EQ(back.DateFormat, "MMM DD");
    EXPECT_EQ(back.TimeFormat, "HH:MM ");
    EXPECT_EQ(back.TimeFont.Name, "Odd Font ");
    EXPECT_EQ(back.Location.Name, "Two  Lines");
}
