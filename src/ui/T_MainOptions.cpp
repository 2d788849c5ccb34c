// T_Main and the options record: loading and saving options.ftp with the
// window's own state (list fonts, placement), applying the record to the
// window, and the pane layout block.
#include "ui/T_Main.h"

#include "listing/ListSortProxy.h"
#include "session/ApplyOptions.h"
#include "session/Session.h"
#include "settings/Globals.h"
#include "ui/FontRec.h"
#include "ui/FormLanguage.h"
#include "ui/T_Options.h"

#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QTreeView>


void T_Main::LoadOptions()
{
    const TLoadedListFonts fonts = ::LoadOptions();
    // The two list sections go straight onto the lists' fonts.
    ApplyListFont(lvLoc, fonts.Left.ApplyTo(ListFontOf(lvLoc)));
    ApplyListFont(FTPView, fonts.Right.ApplyTo(ListFontOf(FTPView)));
}

TWindowSnapshot T_Main::WindowSnapshot() const
{
    TWindowSnapshot s;
    s.FontLeft = ListFontOf(lvLoc);
    s.FontRight = ListFontOf(FTPView);
    const Qt::WindowStates st = windowState();
    s.WindowState = st & Qt::WindowMinimized ? wsMinimized : st & Qt::WindowMaximized ? wsMaximized : wsNormal;
    // The normal-state bounds, also while maximised or minimised: those are
    // the ones a later start restores in the normal state.
    const QRect r = (s.WindowState == wsNormal) ? QRect(pos(), size()) : normalGeometry();
    s.Left = r.x();
    s.Top = r.y();
    s.Width = r.width();
    s.Height = r.height();
    return s;
}

void T_Main::SaveOptions()
{
    if (!::SaveOptions(WindowSnapshot()))
        Display(tr("The settings could not be written to %1").arg(OptionsFileName()));
}

void T_Main::ApplyOptions()
{
    // The client's settings are applied by the session with the client; here
    // the log file binding, the fonts and the local pane's start directory.
    log_.Apply(LogSettingsFromOptions(FTPOptions));
    session_->SetOptions(FTPOptions);
    session_->SetListingFile(FTPOptions.ListingFile);
    session_->SetRemoteMask(RemoteFilterMask);
    remoteSort_->SetDateType(FTPOptions.DateType);
    localSort_->SetDateType(FTPOptions.DateType);
    for (QWidget* w : {static_cast<QWidget*>(this), static_cast<QWidget*>(lvLoc), static_cast<QWidget*>(FTPView)})
        ApplyFontRec(w, FTPOptions.Font, 0);
    ApplyFontRec(Panel8, FTPOptions.Font, 4);
    ApplyFontRec(Panel9, FTPOptions.Font, 4);
    ApplyFontRec(lvLoc, FTPOptions.FontLeft, 0);
    ApplyFontRec(FTPView, FTPOptions.FontRight, 0);

    const QString iniPath = FTPOptions.IniPath;
    if (!iniPath.isEmpty() && QDir::cleanPath(iniPath).toLower() != localDir_.toLower() && QFileInfo(iniPath).isDir())
        SetLocalDir(iniPath);
}

void T_Main::Preferences1Click()
{
    // The session reads the options at every connect; changing them while a
    // connection is being made would change the login under way.
    if (session_->CurrentPhase() != TSession::Phase::SiteList)
        return;
    const bool langOn = LangOn;
    const QString langFile = LangFile;
    if (!ShowOptions(this))
        return;
    const bool languageChosen = LangOn != langOn || LangFile != langFile;
    if (languageChosen)
        BuildLanguageMenu(this, miLang); // the menu's check marks follow the choice
    SaveOptions();
    ApplyOptions();
    // Another language (or none) re-translates the window, back to English
    // included; otherwise only when localization is on.
    PostRetranslate(this, languageChosen ? 1 : 0);
}

void T_Main::SetListFont(int tag, const QFont& font)
{
    QTreeView* list = tag == 1 ? FTPView : lvLoc;
    list->setFont(font);
    TFontRec& rec = tag == 1 ? FTPOptions.FontRight : FTPOptions.FontLeft;
    FontToRec(font, rec);
}

TLayouts T_Main::CurrentLayout() const
{
    TLayouts l;
    l.LogHeight = Log->height();
    l.Local = Panel1->width();
    l.Ftp = Panel2->width();
    l.LocDirList = Panel4->width();
    QHeaderView* lh = lvLoc->header();
    l.LocFile = lh->sectionSize(0);
    l.LocSize = lh->sectionSize(1);
    l.LocDate = lh->sectionSize(2);
    l.LocTime = lh->sectionSize(3);
    QHeaderView* rh = FTPView->header();
    l.FtpFile = rh->sectionSize(0);
    l.FtpSize = rh->sectionSize(1);
    l.FtpDate = rh->sectionSize(2);
    l.FtpTime = rh->sectionSize(3);
    l.FtpAttribute = rh->sectionSize(4);
    l.FtpLinks = rh->sectionSize(5);
    return l;
}

void T_Main::ApplyLayout(const TLayouts& l)
{
    // Splitters take sizes as a whole: the other side gets what remains.
    auto setFirst = [](QSplitter* s, int first, int total) {
        if (first > 0 && total > first)
            s->setSizes({first, total - first});
    };
    auto setLast = [](QSplitter* s, int last, int total) {
        if (last > 0 && total > last)
            s->setSizes({total - last, last});
    };
    const QList<int> vert = Splitter3->sizes();
    setLast(Splitter3, l.LogHeight, vert.value(0) + vert.value(1));
    const QList<int> horz = Splitter1->sizes();
    const int width = horz.value(0) + horz.value(1);
    if (l.Local > 0 && l.Ftp > 0)
        Splitter1->setSizes({l.Local, l.Ftp});
    else
        setFirst(Splitter1, l.Local, width);
    const QList<int> local = Splitter2->sizes();
    setFirst(Splitter2, l.LocDirList, local.value(0) + local.value(1));
    const int loc[] = {l.LocFile, l.LocSize, l.LocDate, l.LocTime};
    for (int c = 0; c < 4; ++c)
        if (loc[c] > 0)
            lvLoc->header()->resizeSection(c, loc[c]);
    const int ftp[] = {l.FtpFile, l.FtpSize, l.FtpDate, l.FtpTime, l.FtpAttribute, l.FtpLinks};
    for (int c = 0; c < 6; ++c)
        if (ftp[c] > 0)
            FTPView->header()->resizeSection(c, ftp[c]);
}

void T_Main::SaveLayouts()
{
    if (!::SaveLayouts(CurrentLayout()))
        Display(tr("The layout could not be written to %1").arg(OptionsFileName()));
}

void T_Main::LoadLayouts()
{
    TLayouts current = CurrentLayout();
    if (!isVisible()) {
        // Before the first show the panes have no real size yet: only sizes
        // found in the file are applied to them (0 keeps a pane as it is).
        current.LogHeight = current.Local = current.Ftp = current.LocDirList = 0;
    }
    const TLayouts loaded = ::LoadLayouts(current);
    if (isVisible()) {
        ApplyLayout(loaded);
        return;
    }
    TLayouts columnsOnly = loaded;
    columnsOnly.LogHeight = columnsOnly.Local = columnsOnly.Ftp = columnsOnly.LocDirList = 0;
    ApplyLayout(columnsOnly);
    pendingLayout_ = loaded;
    layoutPending_ = true;
}
