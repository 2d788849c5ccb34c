// Sites the properties dialog saved, joining the right pane's site list: a
// new site at its sorted place, selected alone; an edited site renamed and
// moved to its new place; then the folder's file written, in a sub-folder
// too, on real files.
#include "session/SiteList.h"
#include "session/UserInterface.h"
#include "settings/Globals.h"
#include "settings/Options.h"
#include "sites/SiteLine.h"
#include "sites/SiteListFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class QuietUi : public IUserInterface {
public:
    QStringList boxes;
    int ShowMessageBox(const QString& text, const QString&, int) override
    {
        boxes << text;
        return mb::IdOk;
    }
    bool InputLine(const QString&, const QString&, QString&, bool, int) override { return false; }
};

class SiteListAdd : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ProgramDir = WithTrailingSlash(dir.path());
        FTPOptions.MailAno = false;
        FTPOptions.TimeZone = 0;
        setUserInterface(&ui);
    }
    void TearDown() override { setUserInterface(nullptr); }

    static TFTPServerObj site(const QString& name, const QString& server = QStringLiteral("h"))
    {
        TFTPServerObj s = CreateSite(TSiteDefaults{});
        s.Name = name;
        s.Server = server;
        return s;
    }
    void write(const QString& relative, const QByteArray& content)
    {
        QDir().mkpath(QFileInfo(ProgramDir + relative).path());
        QFile f(ProgramDir + relative);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    QStringList rows() const
    {
        QStringList out;
        for (int i = 0; i < list.Count(); ++i)
            out += QString::number(list.ImageIndex(i)) + ':' + list.Caption(i);
        return out;
    }
    QStringList savedNames(const QString& folder) const
    {
        QStringList out;
        for (const TSiteListItem& item : ReadSiteList(folder, TSiteDefaults{}))
            out << (item.IsFolder() ? "dir:" : "site:") + item.Caption;
        return out;
    }

    QTemporaryDir dir;
    QuietUi ui;
    TSiteList list;
};

} // namespace

TEST_F(SiteListAdd, ANewSiteGoesToItsSortedPlaceSelectedAloneAndIsSaved)
{
    write("ftplist.TXT", SiteLine(site("alpha")).toUtf8() + "\nDIR=Beta\n" + SiteLine(site("zeta")).toUtf8() + '\n');
    ASSERT_TRUE(list.ShowSiteList(QString()));
    list.SelectRow(0);

    TFTPServerObj made = site("Gamma", "gamma.example.org");
    made.Pasv = 1;
    const int row = list.AddSite(made);
    EXPECT_EQ(row, 2);
    EXPECT_EQ(rows(), QStringList({"3:alpha", "1:Beta", "3:Gamma", "3:zeta"}));
    EXPECT_EQ(list.SelectedRow(), 2);
    EXPECT_EQ(list.SelectionModel()->selectedIndexes().size(), 1);
    ASSERT_NE(list.Site(2), nullptr);
    EXPECT_EQ(*list.Site(2), made);

    ASSERT_TRUE(list.SaveSiteList());
    EXPECT_EQ(savedNames(QString()), QStringList({"site:alpha", "dir:Beta", "site:Gamma", "site:zeta"}));
    list.Refresh();
    ASSERT_NE(list.Site(list.FindCaption("Gamma")), nullptr);
    EXPECT_EQ(list.Site(list.FindCaption("Gamma"))->Server, "gamma.example.org");
    EXPECT_EQ(list.Site(list.FindCaption("Gamma"))->Pasv, 1);
}

TEST_F(SiteListAdd, FirstAndLastPlacesAndTheUpItemStaysOnTop)
{
    write("sub/ftplist.TXT", SiteLine(site("m")).toUtf8() + '\n');
    ASSERT_TRUE(list.ShowSiteList("sub/"));
    EXPECT_EQ(list.AddSite(site("a")), 1); // after ".."
    EXPECT_EQ(list.AddSite(site("z")), 3);
    EXPECT_EQ(rows(), QStringList({"0:..", "3:a", "3:m", "3:z"}));
    ASSERT_TRUE(list.SaveSiteList());
    EXPECT_EQ(savedNames("sub/"), QStringList({"site:a", "site:m", "site:z"}));
    EXPECT_EQ(savedNames(QString()), QStringList());
}

TEST_F(SiteListAdd, AnEditedSiteTakesItsValuesAndNameAndMovesToItsPlace)
{
    write("ftplist.TXT", SiteLine(site("alpha", "a")).toUtf8() + '\n' + SiteLine(site("beta", "b")).toUtf8() + '\n' +
                             SiteLine(site("gamma", "g")).toUtf8() + '\n');
    ASSERT_TRUE(list.ShowSiteList(QString()));

    TFTPServerObj edited = *list.Site(0);
    edited.Name = "omega";
    edited.Port = "2121";
    EXPECT_EQ(list.ReplaceSite(0, edited), 2);
    EXPECT_EQ(rows(), QStringList({"3:beta", "3:gamma", "3:omega"}));
    EXPECT_EQ(list.SelectedRow(), 2);
    EXPECT_EQ(list.Site(2)->Port, "2121");
    EXPECT_EQ(list.Site(2)->Server, "a");

    edited = *list.Site(2);
    edited.Name = "Aardvark";
    EXPECT_EQ(list.ReplaceSite(2, edited), 0);
    EXPECT_EQ(rows(), QStringList({"3:Aardvark", "3:beta", "3:gamma"}));
    EXPECT_EQ(list.SelectedRow(), 0);

    edited = *list.Site(1);
    edited.Desc = "same name";
    EXPECT_EQ(list.ReplaceSite(1, edited), 1);
    EXPECT_EQ(list.Site(1)->Desc, "same name");

    ASSERT_TRUE(list.SaveSiteList());
    EXPECT_EQ(savedNames(QString()), QStringList({"site:Aardvark", "site:beta", "site:gamma"}));
}

TEST_F(SiteListAdd, OnlySiteRowsCanBeReplaced)
{
    write("sub/ftplist.TXT", "DIR=inner\n");
    ASSERT_TRUE(list.ShowSiteList("sub/"));
    EXPECT_EQ(list.ReplaceSite(0, site("x")), -1); // ".."
    EXPECT_EQ(list.ReplaceSite(1, site("x")), -1); // a folder
    EXPECT_EQ(list.ReplaceSite(7, site("x")), -1);
    EXPECT_EQ(rows(), QStringList({"0:..", "1:inner"}));
}
