// The path rules of a session, as tables: the shapes servers report and the
// corner cases of "Shared virtual host" sites.
#include "session/RemotePaths.h"

#include <gtest/gtest.h>

TEST(RemotePaths, DirectoryParentLeafAndSlash)
{
    struct Row {
        QString in, dirPath, dirPathVhost, parent, leaf, parentDir;
    };
    const QList<Row> rows = {
        {"/a/b/", "/a/b/", "a/b/", "/a", "b", "/a"},
        {"/a/b", "/a/b/", "a/b/", "/a", "b", "/a"},
        {"/a", "/a/", "a/", "", "a", "/"},
        {"/", "/", "", "", "", "/"},
        {"", "/", "", "", "", "/"},
        {"pub/linux", "pub/linux/", "pub/linux/", "pub", "linux", "pub"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.in.toStdString());
        EXPECT_EQ(RemoteDirPath(r.in, false), r.dirPath);
        EXPECT_EQ(RemoteDirPath(r.in, true), r.dirPathVhost);
        EXPECT_EQ(RemoteParentOf(r.in), r.parent);
        EXPECT_EQ(RemoteLeafOf(r.in), r.leaf);
        EXPECT_EQ(RemoteParentDir(r.in), r.parentDir);
    }
    EXPECT_EQ(WithSlash(""), "/");
    EXPECT_EQ(WithSlash("/x/"), "/x/");
}

TEST(RemotePaths, ServerAnswers)
{
    EXPECT_EQ(VmsDirToPath("  USERS:[JOE.WORK]  "), "JOE/WORK");
    EXPECT_EQ(VmsDirToPath("users:[joe]"), "joe");
    EXPECT_EQ(VmsDirToPath(" /home/joe "), "/home/joe");
    EXPECT_EQ(QuotedDirectory("257 \"/pub\" is the current directory"), "/pub");
    EXPECT_EQ(QuotedDirectory("257 \"/say \"\"hi\"\"\" is current"), "/say \"hi\"");
    EXPECT_EQ(QuotedDirectory("257 \"/unterminated"), "/unterminated");
    EXPECT_EQ(QuotedDirectory("257 no quotes"), "");
}

TEST(RemotePaths, HomeAndPathBox)
{
    EXPECT_FALSE(IsOutsideHome("/home/u/sub", "/home/u"));
    EXPECT_FALSE(IsOutsideHome("/HOME/U/sub", "/home/u"));
    EXPECT_TRUE(IsOutsideHome("/home/u", "/home/u"));
    EXPECT_TRUE(IsOutsideHome("/home/user2", "/home/u"));
    EXPECT_TRUE(IsOutsideHome("/anything", ""));

    EXPECT_EQ(RemotePathComponents("/pub/linux/"), QStringList({"pub", "linux"}));
    EXPECT_EQ(RemotePathComponents("/pub//x"), QStringList({"pub", "", "x"}));
    EXPECT_EQ(RemotePathComponents("/"), QStringList());
    const QStringList items = {"SERVER LIST ...", "host", "pub", "linux"};
    EXPECT_EQ(RemotePathOfItem(items, 1, false), "");
    EXPECT_EQ(RemotePathOfItem(items, 3, false), "/pub/linux");
    EXPECT_EQ(RemotePathOfItem(items, 3, true), "pub/linux");
}
