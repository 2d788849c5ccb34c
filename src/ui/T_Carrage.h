#pragma once
// T_Carrage ("Carriage Return"): asks which line ends the selected local
// files shall get. AskLineEnding shows it and returns the chosen mode.
#include <QDialog>

class QButtonGroup;
class QPushButton;
class QRadioButton;
class TMsgLanguage;
struct TLineEndingTexts;

class T_Carrage : public QDialog {
    Q_OBJECT
public:
    // Builds the window ("Do not change" checked) and translates it.
    explicit T_Carrage(QWidget* parent = nullptr);

    // The tag of the checked button: 0 none, 1 CR + LF, 2 LF + CR, 3 LF, 4 CR.
    int Mode() const;

    QRadioButton *rbNo = nullptr, *rbCRLF = nullptr, *rbLfCR = nullptr, *rbLF = nullptr, *rbCR = nullptr;
    QPushButton* SpeedButton1 = nullptr; // "Apply"
    QPushButton* SpeedButton2 = nullptr; // "Cancel"
    // The conversion's own words for the log: 0 a failed write, 1 a file
    // that is no text.
    TMsgLanguage* msl = nullptr;

private:
    QButtonGroup* group_ = nullptr;
};

// Shows the dialog with the common font; returns the chosen mode, 0 when it
// was left with "Cancel" (or Escape). When texts is given, it receives the
// dialog's translated words for the log.
int AskLineEnding(QWidget* parent = nullptr, TLineEndingTexts* texts = nullptr);
