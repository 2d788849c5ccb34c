#pragma once
// TInputForm: the small modal window that asks for one line of text, and
// InputLine, the function the rest of the program calls to show it.
#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TMsgLanguage;

class TInputForm : public QDialog {
    Q_OBJECT
public:
    // Builds the window and translates it (TranslateForm).
    explicit TInputForm(QWidget* parent = nullptr);

    // Shows the mask check box (checked) and hides the typed characters, or
    // hides the check box and shows the text in clear.
    void SetMasked(bool masked);

    QLabel* Prompt = nullptr;
    QLineEdit* Input = nullptr;
    QPushButton* Button1 = nullptr; // "&Ok"
    QPushButton* Button2 = nullptr; // "&Cancel"
    QCheckBox* chbMask = nullptr;   // "Mask password"
    TMsgLanguage* msl = nullptr;    // no run-time texts of its own

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    void chbMaskClick();
};

// Asks for one line of text. On "Ok" Value receives the first MaxLength
// characters of the field and the result is true (also for an empty field);
// on "Cancel" or Escape Value stays exactly as passed and the result is false.
bool InputLine(const QString& Caption, const QString& Prompt, QString& Value, bool Masked = false,
               int MaxLength = 255, QWidget* parent = nullptr);
