#pragma once
// The Apply / Cancel pair of the small dialogs: SpeedButton1 "Apply"
// accepts and is the default button, SpeedButton2 "Cancel" rejects. The
// object names are what the language files address.
class QDialog;
class QHBoxLayout;
class QPushButton;

// Makes the two buttons of dialog and returns a row holding them on the right.
QHBoxLayout* ApplyCancelButtons(QDialog* dialog, QPushButton*& apply, QPushButton*& cancel);
