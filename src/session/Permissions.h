#pragma once
// Unix permission values as the permissions dialog and the SITE CHMOD batch
// use them: an integer whose decimal digits are the octal digits of owner,
// group and public (rwxr-xr-x is the integer 755). The low 12 bits hold the
// value; kPermissionChanged marks a file whose value the dialog replaced.
#include <QList>
#include <QString>
#include <QStringView>
#include <array>

constexpr int kPermissionChanged = 0x1000;

// One selected remote file and its permission value.
struct TPermissionFile {
    QString name;
    int value = 0;
};
using TPermissionFiles = QList<TPermissionFile>;

// The state of one of the nine boxes (owner r w x, group r w x, public r w x).
enum class TPermissionBox { Unchecked, Checked, Mixed };
using TPermissionBoxes = std::array<TPermissionBox, 9>;

// The value of a listing attribute text such as "-rwxr-xr-x" (letters in
// either case; positions past the end add nothing). A lower-case "s" in an
// owner or group execute position, or "t" in the public one, means the
// execute bit is set as well; upper-case "S" and "T" mean it is not.
int AttrTextToValue(QStringView text);

// The value of the dialog's octal field: one to three octal digits after
// trimming ("7" is 7, "044" is 44); -1 for anything else ("", "8", "999",
// "1234", "-1").
int PermissionTextToValue(const QString& text);

// The nine boxes of one value, checked where its bit is set.
TPermissionBoxes PermissionBoxesOf(int value);

// The boxes for a selection: the first file's bits; a box becomes Mixed
// where a later file's bit differs. An empty selection leaves all unchecked.
TPermissionBoxes PermissionBoxesOf(const TPermissionFiles& files);

// The value the boxes make: each digit the sum of 4, 2, 1 of its checked
// boxes (a Mixed box counts as unchecked).
int PermissionValueOf(const TPermissionBoxes& boxes);

// "Apply" of the dialog with the octal field's text: when the user changed
// something (edited) and the text is a valid value v, every file whose value
// differs from v gets v with kPermissionChanged (other high bits kept).
// True when at least one file changed. Without an edit nothing changes, so a
// mixed selection is never made uniform by a plain Apply.
bool ChangeAttributes(TPermissionFiles& files, const QString& text, bool edited);
