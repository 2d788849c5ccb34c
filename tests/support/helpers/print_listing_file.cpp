// Child process of Options.EachProcessHasItsOwnListingFile: sets up the
// default options the way a program does (program directory from
// VARNOTH_PROGRAM_DIR) and prints the listing file this process was given.
// A helper executable, not a test: ctest never lists it.
#include "settings/Globals.h"
#include "settings/Options.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    InitProgramDir();
    SetDefaultOptions();
    std::printf("LISTING:%s\n", qPrintable(FTPOptions.ListingFile));
    return 0;
}
