#pragma once
// How a site's listings are read: the server type digit and, for the custom
// type, the token positions of the columns. Both come from the site's Answer
// text: character 1 is the type, characters 2 to 7 the positions of Name,
// Size, Month, Day, Time and Attribute.
#include <QString>
#include <QStringView>

struct ListingFormat {
    enum Type {
        Default = 0,     // column scan, UNIX-like, group column optional
        Text = 1,        // each line is a name
        MsFtp4 = 2,      // date, time, size or <DIR>, name
        Mac = 3,
        Custom = 4,      // tokens at the positions below
        Vms = 5,
        MsFtp5 = 6,      // fixed columns
        Unix = 7,        // UNIX, BSD, WU-FTP: owner and group columns
        Win2000 = 8,     // fixed columns, as MsFtp5
        WuFtp2 = 9,      // five columns between attributes and size
    };

    int type = Default;
    // 1-based token positions of the custom type; 0 means the column is absent.
    int namePos = 0;
    int sizePos = 0;
    int monthPos = 0;
    int dayPos = 0;
    int timePos = 0;
    int attributePos = 0;

    // Reads an Answer text ("0957681"). A first character that is not a digit
    // reads as type 0; a position character is read as a hexadecimal digit and
    // any value outside 1 to 9 means the column is absent.
    static ListingFormat fromAnswer(QStringView answer);

    // Sets the six positions from six characters (Name, Size, Month, Day,
    // Time, Attribute), read as in fromAnswer.
    void setPositions(QStringView positions);

    static ListingFormat ofType(int type)
    {
        ListingFormat f;
        f.type = type >= 0 && type <= 9 ? type : Default;
        return f;
    }
};
