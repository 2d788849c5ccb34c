// commands.txt, the library of named commands: both lists always have the
// same length, and the library saved and loaded again is the same.
#include "FuzzSupport.h"

#include "session/CustomCommands.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = fuzz::scratchDir() + QStringLiteral("commands.txt");
    const QString copy = fuzz::scratchDir() + QStringLiteral("copy.txt");
    fuzz::writeFile(path, QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));

    TCustomCommands library;
    FUZZ_CHECK(library.LoadCommands(path));
    FUZZ_CHECK(library.Labels.size() == library.Commands.size());

    QString error;
    FUZZ_CHECK(library.SaveCommands(copy, &error));
    TCustomCommands again;
    FUZZ_CHECK(again.LoadCommands(copy));
    if (library.Count() > 0) {
        FUZZ_CHECK_EQ(again.Labels, library.Labels);
        FUZZ_CHECK_EQ(again.Commands, library.Commands);
    }
    return 0;
}
