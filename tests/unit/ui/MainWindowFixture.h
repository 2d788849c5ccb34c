#pragma once
// Shared set-up of the main window tests: a temporary program directory with
// an optional options.ftp, a scripted user interface that records every
// question, and helpers that start and close T_Main like a user would.
#include "session/UserInterface.h"
#include "settings/Globals.h"
#include "settings/IniFile.h"
#include "ui/T_Main.h"

#include "TestEnv.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

struct AskedQuestion {
    QString text, caption;
    int flags = 0;
};

// Answers message boxes from a script and remembers what was asked.
class ScriptedUserInterface final : public IUserInterface {
public:
    int answer = mb::IdNo;
    QList<AskedQuestion> asked;

    int ShowMessageBox(const QString& text, const QString& caption, int flags) override
    {
        asked.append({text, caption, flags});
        return answer;
    }
    // Answers of the one-line prompts in order; none left: cancelled.
    QStringList inputs;
    bool InputLine(const QString&, const QString&, QString& value, bool, int) override
    {
        if (inputs.isEmpty())
            return false;
        value = inputs.takeFirst();
        return true;
    }
};

class MainWindowTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    ScriptedUserInterface ui;
    std::unique_ptr<T_Main> window;

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        qputenv("VARNOTH_PROGRAM_DIR", dir.path().toUtf8());
        InitProgramDir();
        setUserInterface(&ui);
    }

    void TearDown() override
    {
        if (window) {
            // Close without a question and let the window go.
            FTPOptions.AskForExit = false;
            window->close();
            window.reset();
        }
        setUserInterface(nullptr);
        qunsetenv("VARNOTH_PROGRAM_DIR");
    }

    QString optionsFile() const { return dir.filePath(QStringLiteral("options.ftp")); }

    // Writes options.ftp with the given text.
    void writeOptions(const QByteArray& text)
    {
        QFile f(optionsFile());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }

    // Starts the window and waits until the deferred show has run.
    void start()
    {
        window = std::make_unique<T_Main>();
        ASSERT_TRUE(testenv::waitFor([&] { return window->isVisible(); }, 5000));
        QCoreApplication::processEvents();
    }

    // Closes the window (as the Exit menu does) and tells whether it closed.
    bool closeWindow()
    {
        window->close();
        QCoreApplication::processEvents();
        return !window->isVisible();
    }

    template <class T> T* find(const char* name) const { return window->findChild<T*>(QLatin1String(name)); }
};
