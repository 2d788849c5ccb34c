#pragma once
// T_ChMod ("Change File Attributes"): the nine read/write/execute boxes of
// owner, group and public, and beside them the same permissions as an octal
// number (Edit1); each follows the other. A box is grey while the selected
// files differ in that bit; the user can only check or uncheck it.
#include "session/Permissions.h"

#include <QDialog>
#include <array>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

class T_ChMod : public QDialog {
    Q_OBJECT
public:
    explicit T_ChMod(QWidget* parent = nullptr);

    // Edit1 shows the first file's value, the boxes the bits of all files.
    void SetFiles(const TPermissionFiles& files);
    // The user clicked a box or typed into Edit1 since SetFiles.
    bool Edited() const { return edited_; }
    TPermissionBoxes Boxes() const;

    std::array<QCheckBox*, 9> cb{};  // cb1..cb9: owner, group, public x read, write, execute
    QLineEdit* Edit1 = nullptr;
    QGroupBox* GroupBox1 = nullptr;  // "Manual"
    std::array<QLabel*, 3> rowLabels{};     // Owner, Group, Public Permissions
    std::array<QLabel*, 3> columnLabels{};  // Read, Write, Execute
    QPushButton* SpeedButton1 = nullptr;  // "Apply"
    QPushButton* SpeedButton2 = nullptr;  // "Cancel"

protected:
    void showEvent(QShowEvent* e) override;

private:
    void BoxClicked(QCheckBox* box);
    void Edit1Edited(const QString& text);
    void SetBoxes(const TPermissionBoxes& boxes);
    void NameControls();
    bool edited_ = false;
};

// Shows the dialog with the common font for files. On "Apply" with a changed
// value, the files that differ get it with kPermissionChanged and the result
// is true; "Cancel", an Apply without any change, or a value that is not one
// to three octal digits leave files as they were and return false.
bool ChangeAttributes(TPermissionFiles& files, QWidget* parent);
