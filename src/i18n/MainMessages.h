#pragma once
// The main window's message list: the run-time texts of T_Main by index.
// Code shows these through the window's TMsgLanguage ("msl"), never as
// literals, so a language file translates them.
#include <QStringList>

class QObject;
class TMsgLanguage;

namespace mainmsg {
// Indexes into the main window's message list.
enum Index : int {
    EnterPassword = 0,        // "Enter password"
    Password = 1,             // "Password"
    ConnectingTo = 2,         // "Connecting to"
    Error = 3,                // "Error"
    CanNotCreateDir = 4,      // "Can not create the directory"
    Attention = 5,            // "Attention"
    ServerList = 6,           // "SERVER LIST"
    RenamingFile = 7,         // "Renaming file"
    StartingTransfer = 8,     // "Starting transfer of"
    ChangeDirectory = 9,      // "Change Directory"
    NoInternet = 10,          // "No internet connection.."
    CreateDirectory = 11,     // "Create Directory"
    EnterNewDirName = 12,     // "Enter new directory name"
    Rename = 13,              // "Rename"
    EnterNewName = 14,        // "Enter new name"
    FileAlreadyExists = 15,   // "File already exists"
    Rewrite = 16,             // "Rewrite"
    DoYouWishToRemove = 17,   // "Do you wish to remove"
    Files = 18,               // "file(s)"
    And = 19,                 // "and"
    Folders = 20,             // "folder(es)"
    CanNotCreateDir2 = 21,    // "Can Not Create the Directory"
    EnterNew = 22,            // "Enter new"
    Name = 23,                // "name"
    Mask = 24,                // "Mask"
    Local = 25,               // "Local"
    Ftp = 26,                 // "FTP"
    Filter = 27,              // "Filter"
    Byte = 28,                // "byte"
    In = 29,                  // "in"
    QuitQuestion = 30,        // "Do you want to quit the program?"
    ConvertingFile = 31,      // "Converting file"
    Ok = 32,                  // "Ok"
    ReadFileError = 33,       // "Read file error"
    OpenFileError = 34,       // "Open file error"
    ConnectionClosed = 35,    // "Connection closed"
    Count = 36
};
} // namespace mainmsg

// The built-in English texts of the main window, in index order.
QStringList MainMessageTexts();

// Creates the main window's message list (child "msl" of window).
TMsgLanguage* CreateMainMessages(QObject* window);
