#pragma once
// T_Options: the "Program Options" dialog. A tree of seven topics on the
// left, one page per topic on the right; "OK" takes every control's value
// into the options record and the language settings, "Cancel" takes
// nothing. The rules live in session/OptionsForm.h; this window moves a
// TOptionsForm in and out of its widgets.
//
//   T_Options.cpp       filling, taking the values, the handlers, ShowOptions
//   T_OptionsPages.cpp  the pages and their controls
#include "session/OptionsForm.h"

#include <QDialog>
#include <QList>
#include <QPair>

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;
class QTreeWidget;
class TMsgLanguage;

// Indexes of the dialog's message list.
namespace optmsg {
enum Index : int { Add = 0, Edit = 1, Enter = 2, Command = 3, Extention = 4, ChoiceDirectory = 5 };
} // namespace optmsg

class T_Options : public QDialog {
    Q_OBJECT
public:
    // Builds the pages and translates the window (TranslateForm).
    explicit T_Options(QWidget* parent = nullptr);

    // Fills every control from the record and the language globals
    // (LangOn is cleared at once when localization is on but no language
    // file exists).
    void FormShow();
    // The controls' values as a form / into the record and language globals.
    TOptionsForm FormValues() const;
    void TakeValues();

    // The page on show (its tag, 0 to 6).
    int CurrentPage() const;

public slots:
    // After a translation: the tree's nodes and the accessible names follow
    // the translated captions.
    void LanguageChanged();

private:
    // T_OptionsPages.cpp
    void BuildPages();
    QWidget* BuildConnectionPage();
    QWidget* BuildAsciiPage();
    QWidget* BuildLogPage();
    QWidget* BuildKeepAlivePage();
    QWidget* BuildProxyPage();
    QWidget* BuildDisplayPage();
    QWidget* BuildLanguagePage();
    QSpinBox* NumberField(QWidget* parent, const char* upDown, const char* edit, TRange range);
    QLabel* Caption(QWidget* parent, const char* name, const QString& text, QWidget* control);
    QGroupBox* RadioGroup(QWidget* parent, const char* name, const QString& title, const QStringList& items,
                          const QStringList& names = {});

    // T_Options.cpp
    void TreeView1Change();
    void ApplyGreying();
    void rgTypeClick();
    void MaskClick();
    void KeepAddClick();
    void KeepDeleteClick();
    void ExtAddClick();
    void ExtModifyClick();
    void ExtRemoveClick();
    void LogFileClick();
    void PathClick();
    void FontClick();
    void cbFLngChange();
    bool AskLine(const QString& caption, const QString& prompt, QString& value);
    void ShowFont(const TFontRec& rec);

public:
    // Controls by component name (tests and language files address them so).
    QTreeWidget* TreeView1 = nullptr;
    QTabWidget* pcl = nullptr;
    QWidget *TabSheet1 = nullptr, *TabSheet2 = nullptr, *TabSheet4 = nullptr, *TabSheet5 = nullptr,
            *TabSheet6 = nullptr, *TabSheet7 = nullptr, *Language = nullptr;
    // Connection
    QSpinBox *udTimeOut = nullptr, *udRetry = nullptr;
    QLineEdit *eTimeOut = nullptr, *eRetry = nullptr, *eAno = nullptr;
    QCheckBox *cbAno = nullptr, *cbSync = nullptr, *cbPassiveTransfer = nullptr;
    // Ascii/Binary
    QGroupBox* rgMode = nullptr;
    QListWidget* lbExt = nullptr;
    QPushButton *sbExtAdd = nullptr, *sbExtModify = nullptr, *sbExtRemove = nullptr;
    // Log
    QCheckBox* cbLog = nullptr;
    QLineEdit *eLogFile = nullptr, *eLog = nullptr, *eLogLines = nullptr;
    QPushButton* sbLogFile = nullptr;
    QSpinBox *udLog = nullptr, *udLogLines = nullptr;
    // Keep Alive
    QCheckBox* cbKeep = nullptr;
    QLineEdit *eKeep = nullptr, *eduration = nullptr;
    QSpinBox *udKeep = nullptr, *udDuration = nullptr;
    QListWidget* lbKeep = nullptr;
    QPushButton *sbKeepAdd = nullptr, *sbKeepDelete = nullptr;
    // Proxy / Firewall
    QGroupBox *rgType = nullptr, *pnlProxy = nullptr, *pnlSocks = nullptr, *gbFW = nullptr;
    QLineEdit *eProxy = nullptr, *eProxyPort = nullptr, *eProxyPsw = nullptr;
    QCheckBox *cbProxyPswMask = nullptr, *cbSocksPswMask = nullptr, *cbFW = nullptr;
    QLineEdit *eSocks = nullptr, *eSocksPort = nullptr, *eSocksPsw = nullptr, *eSocksUC = nullptr, *eFWSimbol = nullptr;
    // Display / Prompts
    QPushButton *sbFont = nullptr, *sbPath = nullptr;
    QLineEdit* ePath = nullptr;
    QCheckBox *cbDownLoad = nullptr, *cbUpload = nullptr, *cbAskExit = nullptr, *cbPos = nullptr;
    QCheckBox* cbKeyring = nullptr;
    QGroupBox *gbPrompt = nullptr, *gbDate = nullptr;
    QRadioButton *rbDate = nullptr, *rbDateA = nullptr;
    // Language
    QCheckBox *cbLng = nullptr, *cbLngInit = nullptr;
    QComboBox* cbFLng = nullptr;
    QLabel* LabelLangFile = nullptr;
    // The buttons
    QPushButton *btnOK = nullptr, *btnCancel = nullptr;
    TMsgLanguage* msl = nullptr;

private:
    TOptionsForm filled_;   // what FormShow put in (the hidden controls give it back)
    TFontRec chosenFont_;   // the font sbFont shows
    // Controls named by another widget's text (a label, a check box).
    QList<QPair<QWidget*, QWidget*>> namedBy_;
};

// Creates the dialog, fills it, shows it modally and, on "OK", takes the
// values into FTPOptions and the language globals. Returns whether "OK" was
// pressed; the caller then saves and applies the settings.
bool ShowOptions(QWidget* parent = nullptr);

// The radio button of a group with the given index, or the index of the
// checked one (-1 when none): radio groups are addressed by position.
void CheckRadio(QGroupBox* group, int index);
int CheckedRadio(const QGroupBox* group);
