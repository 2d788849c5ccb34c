#pragma once
// TFReWrite ("Rewrite Files Prompt"): asks what to do with a file that
// already exists at the destination of a transfer. AskReWrite shows it and
// returns the answer; the caller carries the answer out.
#include "session/Overwrite.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTextEdit;
class TMsgLanguage;

class TFReWrite : public QDialog {
    Q_OBJECT
public:
    // Builds the window and translates it. Until a button decides, the
    // answer is Cancel: however the window goes away, nothing is resumed or
    // overwritten that the user did not choose.
    explicit TFReWrite(QWidget* parent = nullptr);

    int Answer() const { return answer_; }
    // The "Save as" default on entry, the typed path after a confirmed "Save as".
    QString NewPath;

    QTextEdit* re1 = nullptr; // the message lines (read-only)
    QLabel* Label1 = nullptr; // "Overwrite the file ?"
    // Created in this order (which is also the tab order); shown as
    // Resume, Overwrite, All, Skip, Skip All, Save as, Cancel.
    QPushButton* BitBtn6 = nullptr; // "Resume"   0
    QPushButton* BitBtn1 = nullptr; // "Overwrite" 1
    QPushButton* BitBtn2 = nullptr; // "All"      2
    QPushButton* BitBtn3 = nullptr; // "Skip"     3
    QPushButton* BitBtn5 = nullptr; // "Save as"  4
    QPushButton* BitBtn4 = nullptr; // "Cancel"   5
    QPushButton* BitBtn7 = nullptr; // "Skip All" 6
    // Run-time texts: 0 "File already exists !", 1 "Save as ...", 2 "New Path".
    TMsgLanguage* msl = nullptr;

    // The one click handler of the seven buttons; the answer is the button's
    // "tag" property.
    void BitBtn1Click(QPushButton* button);

public slots:
    // Escape and the window manager's close end the question as Cancel.
    void reject() override;

protected:
    void showEvent(QShowEvent* e) override;

private:
    int answer_ = overwrite::Cancel;
};

// Shows the prompt modally for FileName (with the common font) and returns an
// overwrite::Answer. For SaveAs FileName receives the entered path; for every
// other answer it is left unchanged.
int AskReWrite(QString& FileName, QWidget* parent = nullptr);
