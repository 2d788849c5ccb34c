#include "session/OptionsForm.h"

#include "i18n/LanguageFile.h"
#include "session/ClientConfig.h"
#include "session/KeepAlive.h"

#include <algorithm>

namespace {

bool needsQuotes(const QString& item)
{
    for (const QChar c : item)
        if (c <= QLatin1Char(' ') || c == '"' || c == ',')
            return true;
    return false;
}

int clamp(int v, TRange r) { return qBound(r.Min, v, r.Max); }

// The value when it is one of the choices 1..last, else 0.
int choiceOrZero(int v, int last) { return v >= 1 && v <= last ? v : 0; }

} // namespace

int RangedValue(const QString& text, TRange range, int fallback)
{
    bool ok = false;
    const qlonglong v = text.trimmed().toLongLong(&ok);
    if (!ok)
        return clamp(fallback, range);
    return int(qBound(qlonglong(range.Min), v, qlonglong(range.Max)));
}

QString JoinCommaText(const QStringList& items)
{
    if (items.size() == 1 && items.first().isEmpty())
        return QStringLiteral("\"\"");
    QStringList out;
    out.reserve(items.size());
    for (const QString& item : items) {
        if (!needsQuotes(item)) {
            out << item;
            continue;
        }
        QString quoted = item;
        quoted.replace('"', QStringLiteral("\"\""));
        out << '"' + quoted + '"';
    }
    return out.join(',');
}

QStringList CommaTextItems(const QString& text)
{
    QStringList items = SplitCommaText(text);
    items.erase(std::remove_if(items.begin(), items.end(), [](const QString& s) { return s.trimmed().isEmpty(); }),
                items.end());
    return items;
}

bool AddListEntry(QStringList& list, const QString& text)
{
    const QString entry = text.trimmed();
    if (entry.isEmpty())
        return false;
    list << entry;
    return true;
}

bool ReplaceListEntry(QStringList& list, int index, const QString& text)
{
    const QString entry = text.trimmed();
    if (entry.isEmpty() || index < 0 || index >= list.size())
        return false;
    list[index] = entry;
    return true;
}

bool FontRecsDiffer(const TFontRec& a, const TFontRec& b)
{
    return a.Name != b.Name || a.Size != b.Size || a.Color != b.Color || a.Style != b.Style;
}

TOptionsForm OptionsForm(const TFTPOptions& o, TLanguageSettings& lang, const QStringList& languages)
{
    TOptionsForm f;
    f.TimeOut = clamp(o.TimeOut, optrange::TimeOut);
    f.Retry = clamp(o.retry, optrange::Retry);
    f.MailAno = o.MailAno;
    f.Anonymous = o.Anonymous;
    f.Sync = o.Sync;
    f.PassiveTransfer = o.PassiveTransfer;

    f.TransferMode = o.TransferMode >= 0 && o.TransferMode <= 2 ? o.TransferMode : 0;
    f.Ext = CommaTextItems(o.Ext);

    f.Log = o.Log;
    f.LogFile = o.LogFile;
    f.LogSize = clamp(o.LogSize, optrange::LogSize);
    f.LogLines = clamp(o.LogLines, optrange::LogLines);

    f.Keep = o.Keep;
    f.StartKeep = clamp(o.StartKeep, optrange::StartKeep);
    f.DurationKeep = clamp(o.DurationKeep, optrange::DurationKeep);
    f.CmdKeep = CommaTextItems(o.CmdKeep);

    f.ConnectionType = int(ConnectionTypeOf(o));
    f.ProxyServer = o.ProxyServer;
    f.ProxyPort = o.ProxyPort;
    f.ProxyPsw = o.ProxyPsw;
    f.ProxyPswMask = o.ProxyPswMask;
    f.SocksServer = o.SocksServer;
    f.SocksPort = o.SocksPort;
    f.SocksPsw = o.SocksPsw;
    f.SocksUC = o.SocksUC;
    f.SocksPswMask = o.SocksPswMask;
    f.fwEnable = false;
    f.fwType = choiceOrZero(o.fwType, 6);
    f.fwSimbol = o.fwSimbol;

    f.Font = o.Font;
    f.IniPath = o.IniPath;
    f.PromptDownLoad = o.PromptDownLoad;
    f.PromptUpLoad = o.PromptUpLoad;
    f.DefPrompt = choiceOrZero(o.DefPrompt, 2);
    f.DateType = o.DateType == 1 ? 1 : 0;
    f.AskForExit = o.AskForExit;
    f.SavePos = o.SavePos;
    f.UseKeyring = o.UseKeyring;

    if (lang.LangOn && languages.isEmpty())
        lang.LangOn = false;
    f.LangOn = lang.LangOn;
    f.LangInit = lang.LangInit;
    f.Languages = languages;
    if (lang.LangOn) {
        const QString wanted = lang.LangFile.section('.', 0, 0);
        for (int i = 0; i < languages.size(); ++i)
            if (languages[i].compare(wanted, Qt::CaseInsensitive) == 0)
                f.Language = i;
    }
    return f;
}

void TakeOptionsForm(const TOptionsForm& f, TFTPOptions& o, TLanguageSettings& lang)
{
    o.TimeOut = clamp(f.TimeOut, optrange::TimeOut);
    o.retry = clamp(f.Retry, optrange::Retry);
    o.MailAno = f.MailAno;
    o.Anonymous = f.Anonymous.trimmed();
    o.Sync = f.Sync;
    o.PassiveTransfer = f.PassiveTransfer;

    o.TransferMode = f.TransferMode;
    o.Ext = JoinCommaText(f.Ext);

    o.Log = f.Log;
    // An emptied name keeps the default file rather than logging nowhere.
    o.LogFile = f.LogFile.trimmed().isEmpty() ? o.LogFile : f.LogFile.trimmed();
    o.LogSize = clamp(f.LogSize, optrange::LogSize);
    o.LogLines = clamp(f.LogLines, optrange::LogLines);

    o.Keep = f.Keep && !f.CmdKeep.isEmpty();
    o.StartKeep = clamp(f.StartKeep, optrange::StartKeep);
    o.DurationKeep = clamp(f.DurationKeep, optrange::DurationKeep);
    o.CmdKeep = JoinCommaText(f.CmdKeep);

    o.ConnectionType = quint8(qBound(0, f.ConnectionType, 4));
    o.ProxyServer = f.ProxyServer.trimmed();
    o.ProxyPort = f.ProxyPort.trimmed();
    o.ProxyPsw = f.ProxyPsw;
    o.ProxyPswMask = f.ProxyPswMask;
    o.SocksServer = f.SocksServer.trimmed();
    o.SocksPort = f.SocksPort.trimmed();
    o.SocksPsw = f.SocksPsw;
    o.SocksUC = f.SocksUC.trimmed();
    o.SocksPswMask = f.SocksPswMask;
    o.fwEnable = false;  // the firewall login is not offered: its switch stays off
    o.fwType = f.fwType;
    o.fwSimbol = f.fwSimbol;

    if (FontRecsDiffer(f.Font, o.Font)) {
        o.Font = f.Font;
        o.FontLeft = f.Font;
        o.FontRight = f.Font;
    }
    o.IniPath = f.IniPath.trimmed();
    o.PromptDownLoad = f.PromptDownLoad;
    o.PromptUpLoad = f.PromptUpLoad;
    o.DefPrompt = f.DefPrompt;
    o.DateType = f.DateType;
    o.AskForExit = f.AskForExit;
    o.SavePos = f.SavePos;
    o.UseKeyring = f.UseKeyring;

    lang.LangInit = f.LangInit;
    const QString chosen = f.Languages.value(f.Language);
    lang.LangOn = f.LangOn && !chosen.isEmpty();
    lang.LangFile = lang.LangOn ? chosen : DefaultLanguageName();
}
