// options.ftp as the program loads it at start: any content gives options,
// and after one save the file settles (a second load and save writes the
// same bytes).
#include "FuzzSupport.h"

#include "settings/Globals.h"
#include "settings/Options.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    ProgramDir = fuzz::scratchDir() + QStringLiteral("options/");
    QDir().mkpath(ProgramDir);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::writeFile(OptionsFileName(), QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    TWindowSnapshot window;
    window.Width = 800;
    window.Height = 600;

    LoadOptions();
    FUZZ_CHECK(SaveOptions(window));
    const QByteArray first = fuzz::readFile(OptionsFileName());
    LoadOptions();
    FUZZ_CHECK(SaveOptions(window));
    FUZZ_CHECK_EQ(fuzz::readFile(OptionsFileName()), first);
    return 0;
}
