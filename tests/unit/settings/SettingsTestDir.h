#pragma once
// A temporary program directory for one test: ProgramDir points at it while
// the object lives, and the options record starts from its defaults.
#include "settings/Globals.h"

#include <QFile>
#include <QTemporaryDir>

class SettingsTestDir {
public:
    SettingsTestDir()
        : m_saved(ProgramDir)
    {
        ProgramDir = WithTrailingSlash(m_dir.path());
    }
    ~SettingsTestDir() { ProgramDir = m_saved; }

    QString path(const QString& name) const { return ProgramDir + name; }

    void write(const QString& name, const QByteArray& bytes) const
    {
        QFile f(path(name));
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(bytes);
    }

    QByteArray read(const QString& name) const
    {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private:
    QTemporaryDir m_dir;
    QString m_saved;
};
