// The site folder tree: the input is up to five list files (split at the
// byte 0x1E) for the top folder and the folders a/, b/, a/a/ and a/b/, where
// a/up is a link back to the top. The walk over the tree and the look-up of
// a site by its path must end and visit each site line at most once.
#include "FuzzSupport.h"

#include "settings/Globals.h"
#include "sites/SiteListFile.h"
#include "sites/SiteRecord.h"

#include <QDir>
#include <QFile>

namespace {
const char* const kFolders[] = {"", "a/", "b/", "a/a/", "a/b/"};

void makeTree()
{
    ProgramDir = fuzz::scratchDir() + QStringLiteral("tree/");
    QDir().mkpath(ProgramDir + QStringLiteral("a/a"));
    QDir().mkpath(ProgramDir + QStringLiteral("a/b"));
    QDir().mkpath(ProgramDir + QStringLiteral("b"));
    QFile::link(QStringLiteral(".."), ProgramDir + QStringLiteral("a/up"));
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    makeTree();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QList<QByteArray> files = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)).split('\x1e');
    qsizetype lines = 0;
    for (int i = 0; i < 5; ++i) {
        const QString path = ProgramDir + QLatin1String(kFolders[i]) + SiteListFileName;
        if (i < files.size()) {
            fuzz::writeFile(path, files[i]);
            // A lone CR ends a line as LF does, so both count (CR LF counts
            // twice: this is an upper bound).
            lines += files[i].count('\n') + files[i].count('\r') + 1;
        } else {
            QFile::remove(path);
        }
    }
    TSiteDefaults defaults;
    qsizetype visits = 0;
    QString firstFolder, firstName;
    ForEachSavedSite(
        [&](const QString& folder, const TFTPServerObj& site) {
            if (visits++ == 0) {
                firstFolder = folder;
                firstName = site.Name;
            }
        },
        defaults);
    // Each site line is visited once at most: a link back up is not walked again.
    FUZZ_CHECK(visits <= lines);
    if (visits > 0)
        FindSavedSite(firstFolder + firstName, defaults);
    FindSavedSite(QStringLiteral("a/up/a/up/b/x"), defaults);
    return 0;
}
