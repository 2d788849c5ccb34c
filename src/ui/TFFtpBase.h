#pragma once
// TFFtpBase: the modal "FTP Server Properties" dialog and EditSite,
// the function that shows it on one site. The dialog edits a working copy of
// the site; the copy goes back only when the user saves. The host types of
// "Answer.txt" (program directory) are edited beside it and written back only
// when they changed. The rules without widgets live in sites/HostTypes.h and
// sites/SiteZones.h.
#include <QDialog>

#include "sites/HostTypes.h"
#include "sites/SiteRecord.h"

#include <memory>

class QCheckBox;
class QComboBox;
class QFrame;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class TMsgLanguage;

// Indexes of the dialog's message list (msl).
namespace sitemsg {
enum : int {
    DefaultName = 0,     // "Default"
    NameMissing = 1,     // "FTP Server Name must be defined"
    Attention = 2,       // "Attention"
    NewHostType = 3,     // "New Host Type"
    Enter = 4,           // "Enter"
    EditHostType = 5,    // "Edit Host Type"
    HostTypesNotSaved = 6, // "The host types could not be saved"
    BrowseCaption = 7,   // "Local directory"
};
}

class TFFtpBase : public QDialog {
    Q_OBJECT
public:
    // Builds the controls (every one under its component name) and translates
    // the window (TranslateForm).
    explicit TFFtpBase(QWidget* parent = nullptr);
    ~TFFtpBase() override;

    // Steps 1 to 6 of EditSite: a working copy of site fills the controls, the
    // zone list and the host types (read from hostTypesPath) are loaded.
    void LoadSite(const TFTPServerObj& site, const QString& hostTypesPath = AnswerFilePath());
    // Step 8: the working copy with the controls' values (texts trimmed, the
    // password never). For the Custom type the selected host type (not the
    // first) takes the code built from the position fields.
    TFTPServerObj CollectSite();
    // Step 9: writes the host types back when they changed; a file that could
    // not be read, or a failed write, is reported and left as it is.
    void SaveHostTypes();

    // The code of the server type and the six position fields.
    QString BuildAnswer() const;
    int ServerType() const { return serverType_; }
    // The host types as edited so far, and the selected entry of cbName.
    const THostTypes& HostTypes() const;
    int HostTypeIndex() const { return hostIndex_; }

    // Controls by component name.
    QLineEdit *NameEdt = nullptr, *ServerEdt = nullptr, *PortEdt = nullptr, *UserEdt = nullptr,
              *PasswordEdt = nullptr, *AccountEdt = nullptr, *EMailEdt = nullptr, *RemoteDirEdt = nullptr,
              *LocalDir = nullptr;
    QPushButton* Button3 = nullptr; // "Browse"
    QCheckBox *AnonymousCB = nullptr, *SavePasswordCB = nullptr, *cbPv = nullptr, *cbMPsw = nullptr,
              *cbVH = nullptr, *cbHidden = nullptr, *cbMkDir = nullptr, *cbPD = nullptr;
    QPlainTextEdit* mDesc = nullptr;
    QComboBox* cbType = nullptr;
    QFrame* pnlCustom = nullptr;
    QComboBox* cbName = nullptr;
    QPushButton *sbAddType = nullptr, *sbEditType = nullptr, *sbDeleteType = nullptr;
    QLineEdit *eFName = nullptr, *eFSize = nullptr, *eFDate = nullptr, *eFDate2 = nullptr, *eFTime = nullptr,
              *eFAttr = nullptr;
    QComboBox* cbZones = nullptr;
    // The site's TLS setting; the item index is the site's Security value.
    QComboBox* cbSecurity = nullptr;
    QPushButton* SpeedButton2 = nullptr; // "Save"
    QPushButton* SpeedButton1 = nullptr; // "Cancel"
    TMsgLanguage* msl = nullptr;

private:
    void BuildControls();
    QList<QLineEdit*> PositionFields() const;
    void ShowPositions(const QString& code);
    void FillHostTypeBox();
    void StoreHostCode();

    // Event handlers, named after the component and the event.
    void cbTypeChange(int index);
    void cbNameChange(int index);
    void sbAddTypeClick();
    void sbEditTypeClick();
    void sbDeleteTypeClick();
    void AnonymousCBClick();
    void cbMPswClick();
    void cbPDClick(bool checked);
    // Implicit TLS chosen while the port is the FTP port (21 or empty) moves
    // it to 990; leaving implicit TLS while it is 990 moves it back to 21.
    void cbSecurityChange(int index);
    void Button3Click();
    void SpeedButton2Click();

    TFTPServerObj work_;
    std::unique_ptr<THostTypeFile> types_;
    int serverType_ = 0;
    int hostIndex_ = 0;
    int openedZone_ = -1;
};

// Runs the dialog on site: true when the user saved (site then holds the
// edited values), false on Cancel (site unchanged). The host types are written
// back in both cases when they were changed.
bool EditSite(TFTPServerObj& site, QWidget* parent = nullptr);
