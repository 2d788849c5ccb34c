// The INI reader behind options.ftp, the language files and the job files:
// whatever the file holds, it is read, written back and read again with the
// same sections, keys and values, and an update in place keeps the rest.
#include "FuzzSupport.h"

#include "settings/IniFile.h"

namespace {
using Pairs = QList<QPair<QString, QString>>;

QList<Pairs> allPairs(const TIniFile& ini, const QStringList& sections)
{
    QList<Pairs> out;
    for (const QString& s : sections)
        out << ini.ReadSectionPairs(s);
    return out;
}
QStringList named(QStringList sections)
{
    sections.removeAll(QString());
    return sections;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = fuzz::scratchDir() + QStringLiteral("in.ini");
    const QString copy = fuzz::scratchDir() + QStringLiteral("copy.ini");
    fuzz::writeFile(path, QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));

    TIniFile ini(path);
    const QStringList sections = ini.ReadSections();
    const QList<Pairs> pairs = allPairs(ini, sections);
    for (int i = 0; i < sections.size(); ++i) {
        for (const auto& p : pairs[i]) {
            ini.ReadInteger(sections[i], p.first, 0);
            ini.ReadBool(sections[i], p.first, false);
            ini.ReadFloat(sections[i], p.first, 0.0);
        }
    }

    // Written and read again: the same sections, keys and values. (Keys
    // before the first header, and those of a nameless "[]" section, are
    // written at the top: that section alone may move.)
    fuzz::writeFile(copy, ini.ToBytes());
    {
        TIniFile again(copy);
        FUZZ_CHECK_EQ(named(again.ReadSections()), named(sections));
        FUZZ_CHECK_EQ(allPairs(again, sections), pairs);
    }

    // A key set in place keeps its raw value and leaves every other key alone.
    const QString section = QStringLiteral("Fuzz Section");
    const QString value = QStringLiteral("a,b \"c\" ;d");
    ini.WriteString(section, QStringLiteral("Key"), value);
    fuzz::writeFile(copy, ini.ToBytes());
    TIniFile updated(copy);
    FUZZ_CHECK(updated.ReadString(section, QStringLiteral("Key"), QString()) == value);
    for (int i = 0; i < sections.size(); ++i) {
        if (sections[i].compare(section, Qt::CaseInsensitive) != 0)
            FUZZ_CHECK_EQ(updated.ReadSectionPairs(sections[i]), pairs[i]);
    }
    return 0;
}
