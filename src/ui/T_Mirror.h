#pragma once
// T_Mirror ("Compare folders"): shows and edits the process's mirror job
// (session/MirrorJob.h): the two folders, the direction, what happens to
// files on both sides, five options and the exclusions; opens and saves job
// files. ShowMirrorJob shows it and tells whether the user chose Execute.
#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class TMsgLanguage;

namespace mirrormsg {
// Indexes of the dialog's message list.
enum : int {
    Exclusion = 0,     // caption of the exclusion prompt
    EnterItem = 1,     // prompt of "Add"
    EditItem = 2,      // prompt of "Edit"
    LocalReplaced = 3, // the job's folder is missing, the program's is shown
    LocalMissing = 4,  // the typed folder does not exist
    OpenTitle = 5,
    SaveTitle = 6,
    FileFilter = 7,
    WriteFailed = 8,
    ChooseFolder = 9,  // title of the folder chooser
};
} // namespace mirrormsg

class T_Mirror : public QDialog {
    Q_OBJECT
public:
    // Builds the window and translates it; the controls start empty.
    explicit T_Mirror(QWidget* parent = nullptr);

    // Shows MirrorJob in the controls. A local folder that does not exist is
    // replaced by the program's directory, marked, and Execute stays
    // refused until the user names an existing folder.
    void FillFromJob();
    // Stores the controls into MirrorJob (an unconfirmed replacement folder
    // is not taken: the job keeps its own Local).
    void TakeJob();
    // Whether Execute is allowed now: eLoc names an existing folder the user
    // has seen and kept.
    bool LocalAccepted() const;

    // The file choosers, replaceable so that tests can answer them. They
    // return the chosen name, or an empty string when cancelled.
    using FileChooser = QString (*)(QWidget* parent, const QString& title, const QString& fileName,
                                    const QString& filter);
    using FolderChooser = QString (*)(QWidget* parent, const QString& title, const QString& start);
    static FileChooser OpenChooser, SaveChooser;
    static FolderChooser FolderChooserFn;

    QLineEdit *eLoc = nullptr, *eRemote = nullptr;
    QLabel* lblLocWarning = nullptr; // why Execute is refused
    QGroupBox *rgDir = nullptr, *rgFile = nullptr;
    QCheckBox *cbInc = nullptr, *cbLink = nullptr, *cbDel = nullptr, *cbPrompt = nullptr, *cbBin = nullptr;
    QListWidget* lbExclude = nullptr;
    QPushButton *sbAdd = nullptr, *sbEdit = nullptr, *sbDel = nullptr;
    QPushButton *sbLoc = nullptr; // "..."
    QPushButton *sbOpen = nullptr, *sbSave = nullptr, *sbExecute = nullptr, *sbClose = nullptr;
    TMsgLanguage* msl = nullptr;

    void sbLocClick();
    void sbOpenClick();
    void sbSaveClick();
    void sbExecuteClick();
    void sbAddClick();
    void sbEditClick();
    void sbDelClick();

private:
    void UpdateExclusionButtons();
    void UpdateLocalState();
    bool AskLine(const QString& prompt, QString& value);
    void ShowError(const QString& text);

    // Set while eLoc shows the program's directory in place of the job's
    // missing folder, until the user edits or chooses the folder.
    bool replacedLocal_ = false;
    QString missingLocal_;
    QString lastOpen_, lastSave_;
};

// Shows the dialog filled from MirrorJob, with the common font. On Execute
// the job is taken from the controls, written to Default.cpf in the program
// directory, and the result is true; Close keeps the job as it was (but a
// job file opened meanwhile stays loaded).
bool ShowMirrorJob(QWidget* parent = nullptr);
