#include "i18n/MainMessages.h"

#include "i18n/MsgLanguage.h"

QStringList MainMessageTexts()
{
    // Every index from 0 to 35 has a text; the order is fixed because code
    // and language files ("msl.Items.N") address the lines by position.
    return {
        QStringLiteral("Enter password"),
        QStringLiteral("Password"),
        QStringLiteral("Connecting to"),
        QStringLiteral("Error"),
        QStringLiteral("Can not create the directory"),
        QStringLiteral("Attention"),
        QStringLiteral("SERVER LIST"),
        QStringLiteral("Renaming file"),
        QStringLiteral("Starting transfer of"),
        QStringLiteral("Change Directory"),
        QStringLiteral("No internet connection.."),
        QStringLiteral("Create Directory"),
        QStringLiteral("Enter new directory name"),
        QStringLiteral("Rename"),
        QStringLiteral("Enter new name"),
        QStringLiteral("File already exists"),
        QStringLiteral("Rewrite"),
        QStringLiteral("Do you wish to remove"),
        QStringLiteral("file(s)"),
        QStringLiteral("and"),
        QStringLiteral("folder(es)"),
        QStringLiteral("Can Not Create the Directory"),
        QStringLiteral("Enter new"),
        QStringLiteral("name"),
        QStringLiteral("Mask"),
        QStringLiteral("Local"),
        QStringLiteral("FTP"),
        QStringLiteral("Filter"),
        QStringLiteral("byte"),
        QStringLiteral("in"),
        QStringLiteral("Do you want to quit the program?"),
        QStringLiteral("Converting file"),
        QStringLiteral("Ok"),
        QStringLiteral("Read file error"),
        QStringLiteral("Open file error"),
        QStringLiteral("Connection closed"),
    };
}

TMsgLanguage* CreateMainMessages(QObject* window)
{
    return new TMsgLanguage(window, MainMessageTexts());
}
