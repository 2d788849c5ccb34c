#pragma once
// Shared set-up of the site properties dialog tests: a temporary program
// directory (where the custom host types file lives), the options saved and
// restored around each test, a plain site to open, and German texts for a
// while. The test sets its own user interface; it is taken away afterwards.
#include "TestEnv.h"
#include "session/UserInterface.h"
#include "settings/Globals.h"
#include "settings/Options.h"
#include "sites/SiteRecord.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

class SiteDialogFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        savedDir = ProgramDir;
        ProgramDir = WithTrailingSlash(dir.path());
        savedOptions = FTPOptions;
        FTPOptions.MailAno = false;
    }
    void TearDown() override
    {
        setUserInterface(nullptr);
        FTPOptions = savedOptions;
        ProgramDir = savedDir;
    }
    QString answerFile() const { return dir.filePath(QStringLiteral("Answer.txt")); }

    static TFTPServerObj site(const QString& name = QStringLiteral("Site"),
                              const QString& server = QStringLiteral("ftp.example.org"))
    {
        TFTPServerObj s = CreateSite(TSiteDefaults{});
        s.Name = name;
        s.Server = server;
        return s;
    }

    // Windows made while it lives take their texts from the shipped German
    // language file, copied into the program directory; the language before
    // comes back at its end, whatever the test asserted meanwhile.
    class InGerman {
    public:
        explicit InGerman(const QTemporaryDir& dir) : m_on(LangOn), m_file(LangFile)
        {
            EXPECT_TRUE(QFile::copy(testenv::sourceDir() + "/lang/Deutsch.lan", dir.filePath("deutsch.lan")));
            LangOn = true;
            LangFile = QStringLiteral("deutsch");
        }
        ~InGerman()
        {
            LangOn = m_on;
            LangFile = m_file;
        }

    private:
        bool m_on;
        QString m_file;
    };

    QTemporaryDir dir;
    QString savedDir;
    TFTPOptions savedOptions;
};
