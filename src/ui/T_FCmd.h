#pragma once
// T_FCmd ("Commands"): the library of named FTP commands. The user picks a
// command for the command bar, and adds, renames, edits and removes entries.
// ShowCommands shows it and hands the edits back to the library.
#include <QDialog>
#include <QStringList>

class QLineEdit;
class QListWidget;
class QPushButton;
class TCustomCommands;

class T_FCmd : public QDialog {
    Q_OBJECT
public:
    // How the dialog was closed (its result code).
    enum Outcome { None = 0, Selected = 1, Closed = 2 };

    // Builds the window and translates it; the list starts empty.
    explicit T_FCmd(QWidget* parent = nullptr);

    // Fills the list with a private copy of the entries.
    void SetEntries(const QStringList& labels, const QStringList& commands);
    const QStringList& Labels() const { return labels_; }
    const QStringList& Commands() const { return commands_; }
    // The selected entry's command text after "Select", else empty.
    QString ChosenCommand() const;
    int Outcome() const { return outcome_; }

    QListWidget* lbCmd = nullptr;       // the labels
    QLineEdit* eAl = nullptr;           // the selected entry's label
    QLineEdit* eCmd = nullptr;          // the selected entry's command text
    QPushButton* SpeedButton1 = nullptr; // "Add"
    QPushButton* SpeedButton2 = nullptr; // "Remove"
    QPushButton* SpeedButton3 = nullptr; // "Close"
    QPushButton* SpeedButton4 = nullptr; // "Select"

    void AddEntry();
    void RemoveEntry();
    void CloseWith(int outcome);

public slots:
    // Escape and the window manager's close count as "Close".
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void ShowSelected();
    QStringList labels_, commands_;
    int outcome_ = None;
};

// Shows the library dialog (with the common font) for library. Whichever way
// it closes, the edited entries replace the library's. Returns the chosen
// entry's command text after "Select", else an empty string.
QString ShowCommands(TCustomCommands& library, QWidget* parent = nullptr);
