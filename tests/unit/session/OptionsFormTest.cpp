// The options dialog's rules without the window: what the controls show for
// stored values, what "OK" stores, the ranges and the list editing.
#include "session/KeepAlive.h"
#include "session/OptionsForm.h"

#include <gtest/gtest.h>

namespace {

TFTPOptions someOptions()
{
    TFTPOptions o;
    o.Font = {false, "DejaVu Sans", 10, 0x0000FF, fsBold};
    o.FontLeft = {false, "Left Face", 9, 0, 0};
    o.FontRight = {false, "Right Face", 11, 0, fsItalic};
    o.CmdKeep = "NOOP,PWD";
    o.LogFile = "/var/log/varnoth.log";
    return o;
}

TOptionsForm roundTrip(TFTPOptions& o, const std::function<void(TOptionsForm&)>& edit)
{
    TLanguageSettings lang{false, false, "language"};
    TOptionsForm f = OptionsForm(o, lang, {});
    edit(f);
    TakeOptionsForm(f, o, lang);
    return f;
}

} // namespace

TEST(OptionsForm, StoredValuesOutsideTheChoicesShowTheFirstChoice)
{
    TFTPOptions o;
    o.TransferMode = 3;
    o.ConnectionType = 9;
    o.fwType = 7;
    o.DefPrompt = 5;
    o.DateType = 2;
    o.fwEnable = true;
    TLanguageSettings lang;
    TOptionsForm f = OptionsForm(o, lang, {});
    EXPECT_EQ(f.TransferMode, 0);
    EXPECT_EQ(f.ConnectionType, 0);
    EXPECT_EQ(f.fwType, 0);
    EXPECT_EQ(f.DefPrompt, 0);
    EXPECT_EQ(f.DateType, 0);
    EXPECT_FALSE(f.fwEnable);

    o.TransferMode = 2;
    o.ConnectionType = 4;
    o.fwType = 6;
    o.DefPrompt = 2;
    o.DateType = 1;
    f = OptionsForm(o, lang, {});
    EXPECT_EQ(f.TransferMode, 2);
    EXPECT_EQ(f.ConnectionType, 4);
    EXPECT_EQ(f.fwType, 6);
    EXPECT_EQ(f.DefPrompt, 2);
    EXPECT_EQ(f.DateType, 1);
}

TEST(OptionsForm, NumbersAreBroughtIntoTheirRangesWhetherStoredOrTyped)
{
    TFTPOptions o;
    o.TimeOut = 3;
    o.retry = -2;
    o.LogSize = 99999;
    o.LogLines = 20000;
    o.StartKeep = 0;
    o.DurationKeep = 500;
    TLanguageSettings lang;
    const TOptionsForm f = OptionsForm(o, lang, {});
    EXPECT_EQ(f.TimeOut, 10);
    EXPECT_EQ(f.Retry, 0);
    EXPECT_EQ(f.LogSize, 32000);
    EXPECT_EQ(f.LogLines, 10000);
    EXPECT_EQ(f.StartKeep, 1);
    EXPECT_EQ(f.DurationKeep, 100);

    EXPECT_EQ(RangedValue(" 5 ", optrange::TimeOut, 15), 10);
    EXPECT_EQ(RangedValue("99999999999", optrange::TimeOut, 15), 32767);
    EXPECT_EQ(RangedValue("-1", optrange::LogSize, 7), 0);
    EXPECT_EQ(RangedValue("600", optrange::StartKeep, 100), 600);
    EXPECT_EQ(RangedValue("ten", optrange::StartKeep, 100), 100);
    EXPECT_EQ(RangedValue("", optrange::DurationKeep, 0), 1); // the fallback is ranged too
}

TEST(OptionsForm, KeepIsStoredOnOnlyWithACommand)
{
    TFTPOptions o = someOptions();
    roundTrip(o, [](TOptionsForm& f) {
        f.Keep = true;
        f.CmdKeep.clear();
    });
    EXPECT_FALSE(o.Keep);
    EXPECT_EQ(o.CmdKeep, "");
    roundTrip(o, [](TOptionsForm& f) {
        f.Keep = true;
        f.CmdKeep = {"NOOP", "SITE IDLE 60"};
    });
    EXPECT_TRUE(o.Keep);
    EXPECT_EQ(o.CmdKeep, "NOOP,\"SITE IDLE 60\"");
    EXPECT_EQ(SplitCommaText(o.CmdKeep), QStringList({"NOOP", "SITE IDLE 60"}));
}

TEST(OptionsForm, TheFontRuleOverwritesBothListFontsOnlyWhenTheFontChanged)
{
    TFTPOptions o = someOptions();
    roundTrip(o, [](TOptionsForm&) {});
    EXPECT_EQ(o.FontLeft.Name, "Left Face");
    EXPECT_EQ(o.FontRight.Name, "Right Face");

    for (auto change : std::initializer_list<std::function<void(TFontRec&)>>{
             [](TFontRec& r) { r.Name = "Other"; }, [](TFontRec& r) { r.Size = 14; },
             [](TFontRec& r) { r.Color = 0x00FF00; }, [](TFontRec& r) { r.Style = fsUnderline; }}) {
        o = someOptions();
        roundTrip(o, [&](TOptionsForm& f) { change(f.Font); });
        TFontRec expected = someOptions().Font;
        change(expected);
        EXPECT_FALSE(FontRecsDiffer(o.Font, expected));
        EXPECT_FALSE(FontRecsDiffer(o.FontLeft, expected));
        EXPECT_FALSE(FontRecsDiffer(o.FontRight, expected));
    }
}

TEST(OptionsForm, HiddenControlsGiveBackTheirValuesAndTheFirewallEndsOff)
{
    TFTPOptions o = someOptions();
    o.Sync = true;
    o.PassiveTransfer = true;
    o.fwEnable = true;
    o.fwType = 4;
    o.fwSimbol = "#";
    TLanguageSettings lang{false, true, "language"};
    TOptionsForm f = OptionsForm(o, lang, {});
    TakeOptionsForm(f, o, lang);
    EXPECT_TRUE(o.Sync);
    EXPECT_TRUE(o.PassiveTransfer);
    EXPECT_FALSE(o.fwEnable);
    EXPECT_EQ(o.fwType, 4);
    EXPECT_EQ(o.fwSimbol, "#");
    EXPECT_TRUE(lang.LangInit);
}

TEST(OptionsForm, PasswordsAreKeptAsTypedAndOtherTextsTrimmed)
{
    TFTPOptions o = someOptions();
    roundTrip(o, [](TOptionsForm& f) {
        f.ProxyServer = " proxy.example ";
        f.ProxyPort = "2121 ";
        f.ProxyPsw = " secret ";
        f.SocksServer = "\tsocks.example";
        f.SocksUC = " user ";
        f.SocksPsw = "pa ss ";
        f.LogFile = "  ";
    });
    EXPECT_EQ(o.ProxyServer, "proxy.example");
    EXPECT_EQ(o.ProxyPort, "2121");
    EXPECT_EQ(o.ProxyPsw, " secret ");
    EXPECT_EQ(o.SocksServer, "socks.example");
    EXPECT_EQ(o.SocksUC, "user");
    EXPECT_EQ(o.SocksPsw, "pa ss ");
    EXPECT_EQ(o.LogFile, "/var/log/varnoth.log"); // an emptied name keeps the file
}

TEST(OptionsForm, LanguageChoice)
{
    TFTPOptions o;
    // On with no language file: off at once, in the caller's settings.
    TLanguageSettings lang{true, false, "deutsch"};
    TOptionsForm f = OptionsForm(o, lang, {});
    EXPECT_FALSE(lang.LangOn);
    EXPECT_FALSE(f.LangOn);

    // The stored name is matched cut at its first "." and in any case.
    lang = {true, false, "Francais.lan"};
    f = OptionsForm(o, lang, {"deutsch", "francais"});
    EXPECT_TRUE(lang.LangOn);
    EXPECT_EQ(f.Language, 1);

    f.Language = 0;
    TakeOptionsForm(f, o, lang);
    EXPECT_TRUE(lang.LangOn);
    EXPECT_EQ(lang.LangFile, "deutsch");

    // Localization switched off returns to the default language.
    f.LangOn = false;
    TakeOptionsForm(f, o, lang);
    EXPECT_FALSE(lang.LangOn);
    EXPECT_EQ(lang.LangFile, "language");

    // On without a chosen language stays off.
    f.LangOn = true;
    f.Language = -1;
    TakeOptionsForm(f, o, lang);
    EXPECT_FALSE(lang.LangOn);
}

TEST(OptionsForm, ListEditingIgnoresBlankEntries)
{
    QStringList keep;
    EXPECT_FALSE(AddListEntry(keep, ""));
    EXPECT_FALSE(AddListEntry(keep, "   "));
    EXPECT_TRUE(AddListEntry(keep, " NOOP "));
    EXPECT_EQ(keep, QStringList({"NOOP"}));
    EXPECT_FALSE(ReplaceListEntry(keep, 0, " "));
    EXPECT_FALSE(ReplaceListEntry(keep, 1, "PWD"));
    EXPECT_TRUE(ReplaceListEntry(keep, 0, "PWD"));
    EXPECT_EQ(keep, QStringList({"PWD"}));
    // Blank items of a stored list are not shown.
    EXPECT_EQ(CommaTextItems("NOOP,, ,\"\",PWD,"), QStringList({"NOOP", "PWD"}));
}

TEST(OptionsForm, CommaTextQuotesWhatWouldNotReadBack)
{
    const QStringList items = {"txt", "my ext", "a,b", "say \"hi\"", "tab\there"};
    const QString text = JoinCommaText(items);
    EXPECT_EQ(text, "txt,\"my ext\",\"a,b\",\"say \"\"hi\"\"\",\"tab\there\"");
    EXPECT_EQ(SplitCommaText(text), items);
    EXPECT_EQ(JoinCommaText({""}), "\"\"");
    EXPECT_EQ(JoinCommaText({}), "");
}
