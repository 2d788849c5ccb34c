#include "ui/TFFtpBase.h"

#include "i18n/MsgLanguage.h"
#include "session/UserInterface.h"
#include "settings/Globals.h"
#include "settings/Options.h"
#include "sites/SiteZones.h"
#include "ui/FontRec.h"
#include "ui/FormLanguage.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {

template <class W>
W* named(W* w, const char* name)
{
    w->setObjectName(QLatin1String(name));
    return w;
}

// The built-in texts of the message list, by sitemsg index.
QStringList messageTexts()
{
    return {QStringLiteral("Default"),
            QStringLiteral("FTP Server Name must be defined"),
            QStringLiteral("Attention"),
            QStringLiteral("New Host Type"),
            QStringLiteral("Enter"),
            QStringLiteral("Edit Host Type"),
            QStringLiteral("The host types could not be saved"),
            QStringLiteral("Local directory")};
}

// The server types of cbType: the item index is the type digit.
QStringList serverTypeNames()
{
    return {QStringLiteral("Default"),
            QStringLiteral("Text"),
            QStringLiteral("Microsoft FTP-v.4.0."),
            QStringLiteral("Mac"),
            QStringLiteral("Custom"),
            QStringLiteral("VMS"),
            QStringLiteral("Microsoft FTP-v.5.0."),
            QStringLiteral("UNIX,BSD,WU-FTP server"),
            QStringLiteral("Windows 2000 Advanced Server"),
            QStringLiteral("WU-FTP-2 server")};
}

// The TLS settings of cbSecurity: the item index is the site's Security
// value (the FTP client's TFtpSecurity numbers).
QStringList securityNames()
{
    return {QStringLiteral("Plain FTP (no encryption)"),
            QStringLiteral("Explicit TLS if the server offers it"),
            QStringLiteral("Explicit TLS, required"),
            QStringLiteral("Implicit TLS (port 990)")};
}
constexpr int ImplicitTls = 3;
const QString FtpPort = QStringLiteral("21");
const QString ImplicitTlsPort = QStringLiteral("990");

// Site data typed by the user: never part of a language file.
void markData(QWidget* w)
{
    w->setProperty("noTranslate", true);
}

} // namespace

TFFtpBase::TFFtpBase(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TFFtpBase"));
    setWindowTitle(QStringLiteral("FTP Server Properties"));
    msl = new TMsgLanguage(this, messageTexts());
    BuildControls();
    TranslateForm(this);
    // The security box is announced by its (translated) caption.
    if (const auto* caption = findChild<QLabel*>(QStringLiteral("lbSecurity")))
        cbSecurity->setAccessibleName(caption->text().remove(QLatin1Char('&')));
}

TFFtpBase::~TFFtpBase() = default;

void TFFtpBase::BuildControls()
{
    auto label = [this](const char* name, const QString& text, QWidget* buddy) {
        auto* l = named(new QLabel(text, this), name);
        l->setBuddy(buddy);
        return l;
    };
    auto edit = [this](const char* name) {
        auto* e = named(new QLineEdit(this), name);
        markData(e);
        return e;
    };
    auto check = [this](const char* name, const QString& text) { return named(new QCheckBox(text, this), name); };

    // Server.
    auto* gbServer = named(new QGroupBox(QStringLiteral("Server"), this), "gbServer");
    NameEdt = edit("NameEdt");
    NameEdt->setMaxLength(sitelimits::Name);
    ServerEdt = edit("ServerEdt");
    PortEdt = edit("PortEdt");
    PortEdt->setMaximumWidth(80);
    auto* server = new QGridLayout(gbServer);
    server->addWidget(label("lbName", QStringLiteral("&Name"), NameEdt), 0, 0);
    server->addWidget(NameEdt, 0, 1, 1, 3);
    server->addWidget(label("lbServer", QStringLiteral("Ser&ver"), ServerEdt), 1, 0);
    server->addWidget(ServerEdt, 1, 1);
    server->addWidget(label("lbPort", QStringLiteral("P&ort"), PortEdt), 1, 2);
    server->addWidget(PortEdt, 1, 3);
    cbSecurity = named(new QComboBox(this), "cbSecurity");
    cbSecurity->addItems(securityNames());
    server->addWidget(label("lbSecurity", QStringLiteral("Secur&ity"), cbSecurity), 2, 0);
    server->addWidget(cbSecurity, 2, 1, 1, 3);
    server->setColumnStretch(1, 1);

    // Login.
    auto* gbLogin = named(new QGroupBox(QStringLiteral("Login"), this), "gbLogin");
    AnonymousCB = check("AnonymousCB", QStringLiteral("Anonymous Login"));
    UserEdt = edit("UserEdt");
    PasswordEdt = edit("PasswordEdt");
    // "*" for every hidden character, whatever the style's own choice.
    PasswordEdt->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    cbMPsw = check("cbMPsw", QStringLiteral("Mask Password"));
    SavePasswordCB = check("SavePasswordCB", QStringLiteral("Save Password"));
    AccountEdt = edit("AccountEdt");
    EMailEdt = edit("EMailEdt");
    EMailEdt->setMaxLength(sitelimits::EMail);
    auto* login = new QGridLayout(gbLogin);
    login->addWidget(AnonymousCB, 0, 0, 1, 3);
    login->addWidget(label("lbUser", QStringLiteral("&User"), UserEdt), 1, 0);
    login->addWidget(UserEdt, 1, 1, 1, 2);
    login->addWidget(label("lbPassword", QStringLiteral("Pass&word"), PasswordEdt), 2, 0);
    login->addWidget(PasswordEdt, 2, 1, 1, 2);
    login->addWidget(cbMPsw, 3, 1);
    login->addWidget(SavePasswordCB, 3, 2);
    login->addWidget(label("lbAccount", QStringLiteral("&Account"), AccountEdt), 4, 0);
    login->addWidget(AccountEdt, 4, 1, 1, 2);
    login->addWidget(label("lbEMail", QStringLiteral("&E-Mail"), EMailEdt), 5, 0);
    login->addWidget(EMailEdt, 5, 1, 1, 2);
    login->setColumnStretch(1, 1);
    login->setColumnStretch(2, 1);

    // Directories.
    auto* gbDirs = named(new QGroupBox(QStringLiteral("Directories"), this), "gbDirs");
    RemoteDirEdt = edit("RemoteDirEdt");
    RemoteDirEdt->setMaxLength(sitelimits::InitialDir);
    cbPD = check("cbPD", QStringLiteral("Add \"/\""));
    LocalDir = edit("LocalDir");
    LocalDir->setMaxLength(sitelimits::LocalDir);
    Button3 = named(new QPushButton(QStringLiteral("&Browse"), this), "Button3");
    Button3->setAutoDefault(false);
    auto* dirs = new QGridLayout(gbDirs);
    dirs->addWidget(label("lbRemoteDir", QStringLiteral("&Remote directory"), RemoteDirEdt), 0, 0);
    dirs->addWidget(RemoteDirEdt, 0, 1);
    dirs->addWidget(cbPD, 0, 2);
    dirs->addWidget(label("lbLocalDir", QStringLiteral("&Local directory"), LocalDir), 1, 0);
    dirs->addWidget(LocalDir, 1, 1);
    dirs->addWidget(Button3, 1, 2);
    dirs->setColumnStretch(1, 1);

    // Options.
    auto* gbOptions = named(new QGroupBox(QStringLiteral("Options"), this), "gbOptions");
    cbPv = check("cbPv", QStringLiteral("Passive Mode"));
    cbVH = check("cbVH", QStringLiteral("Shared virtual host"));
    cbHidden = check("cbHidden", QStringLiteral("Show hidden files"));
    cbMkDir = check("cbMkDir", QStringLiteral("Relative pathname"));
    auto* options = new QGridLayout(gbOptions);
    options->addWidget(cbPv, 0, 0);
    options->addWidget(cbHidden, 0, 1);
    options->addWidget(cbVH, 1, 0);
    options->addWidget(cbMkDir, 1, 1);

    // Listing: server type, custom layout, time zone.
    auto* gbListing = named(new QGroupBox(QStringLiteral("Listing"), this), "gbListing");
    cbType = named(new QComboBox(this), "cbType");
    cbType->addItems(serverTypeNames());
    pnlCustom = named(new QFrame(this), "pnlCustom");
    pnlCustom->setFrameShape(QFrame::StyledPanel);
    cbName = named(new QComboBox(pnlCustom), "cbName");
    markData(cbName);
    cbName->setMinimumContentsLength(18);
    cbName->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    sbAddType = named(new QPushButton(QStringLiteral("add"), pnlCustom), "sbAddType");
    sbEditType = named(new QPushButton(QStringLiteral("edit"), pnlCustom), "sbEditType");
    sbDeleteType = named(new QPushButton(QStringLiteral("delete"), pnlCustom), "sbDeleteType");
    for (QPushButton* b : {sbAddType, sbEditType, sbDeleteType}) {
        b->setAutoDefault(false);
        b->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    }
    const auto* digits = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,2}")), this);
    auto position = [&](const char* name) {
        auto* e = named(new QLineEdit(pnlCustom), name);
        markData(e);
        e->setMaxLength(2);
        e->setValidator(digits);
        e->setMaximumWidth(44);
        e->setAlignment(Qt::AlignCenter);
        return e;
    };
    eFName = position("eFName");
    eFSize = position("eFSize");
    eFDate = position("eFDate");
    eFDate2 = position("eFDate2");
    eFTime = position("eFTime");
    eFAttr = position("eFAttr");
    auto* custom = new QGridLayout(pnlCustom);
    auto* typeRow = new QHBoxLayout;
    typeRow->addWidget(cbName, 1);
    typeRow->addWidget(sbAddType);
    typeRow->addWidget(sbEditType);
    typeRow->addWidget(sbDeleteType);
    custom->addWidget(named(new QLabel(QStringLiteral("Host type"), pnlCustom), "lbHostType"), 0, 0, 1, 6);
    custom->addLayout(typeRow, 1, 0, 1, 6);
    const QList<QPair<const char*, QString>> captions = {
        {"lbFName", QStringLiteral("Name")}, {"lbFSize", QStringLiteral("Size")},
        {"lbFDate", QStringLiteral("Month")}, {"lbFDate2", QStringLiteral("Day")},
        {"lbFTime", QStringLiteral("Time")}, {"lbFAttr", QStringLiteral("Attribute")}};
    const QList<QLineEdit*> fields = PositionFields();
    for (int i = 0; i < fields.size(); ++i) {
        auto* l = named(new QLabel(captions[i].second, pnlCustom), captions[i].first);
        l->setBuddy(fields[i]);
        custom->addWidget(l, 2, i, Qt::AlignHCenter);
        custom->addWidget(fields[i], 3, i, Qt::AlignHCenter);
    }
    cbZones = named(new QComboBox(this), "cbZones");
    markData(cbZones);
    cbZones->setMaxVisibleItems(20);
    auto* listing = new QGridLayout(gbListing);
    listing->addWidget(label("lbType", QStringLiteral("Server &type"), cbType), 0, 0);
    listing->addWidget(cbType, 0, 1);
    listing->addWidget(pnlCustom, 1, 0, 1, 2);
    listing->addWidget(label("lbZones", QStringLiteral("Time &zone"), cbZones), 2, 0);
    listing->addWidget(cbZones, 2, 1);
    listing->setColumnStretch(1, 1);

    // Comment.
    auto* gbDesc = named(new QGroupBox(QStringLiteral("Comment"), this), "gbDesc");
    mDesc = named(new QPlainTextEdit(gbDesc), "mDesc");
    markData(mDesc);
    mDesc->setTabChangesFocus(true);
    auto* desc = new QVBoxLayout(gbDesc);
    desc->addWidget(mDesc);

    // Save and Cancel.
    SpeedButton2 = named(new QPushButton(QStringLiteral("&Save"), this), "SpeedButton2");
    SpeedButton1 = named(new QPushButton(QStringLiteral("&Cancel"), this), "SpeedButton1");
    SpeedButton2->setDefault(true);
    SpeedButton1->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(SpeedButton2);
    buttons->addWidget(SpeedButton1);

    auto* left = new QVBoxLayout;
    left->addWidget(gbServer);
    left->addWidget(gbLogin);
    left->addWidget(gbDirs);
    left->addStretch(1);
    auto* right = new QVBoxLayout;
    right->addWidget(gbOptions);
    right->addWidget(gbListing);
    right->addWidget(gbDesc, 1);
    auto* columns = new QHBoxLayout;
    columns->addLayout(left, 1);
    columns->addLayout(right, 1);
    auto* root = new QVBoxLayout(this);
    root->addLayout(columns, 1);
    root->addLayout(buttons);

    connect(cbType, &QComboBox::currentIndexChanged, this, &TFFtpBase::cbTypeChange);
    connect(cbName, &QComboBox::currentIndexChanged, this, &TFFtpBase::cbNameChange);
    connect(sbAddType, &QPushButton::clicked, this, &TFFtpBase::sbAddTypeClick);
    connect(sbEditType, &QPushButton::clicked, this, &TFFtpBase::sbEditTypeClick);
    connect(sbDeleteType, &QPushButton::clicked, this, &TFFtpBase::sbDeleteTypeClick);
    for (QLineEdit* f : fields)
        connect(f, &QLineEdit::textEdited, this, &TFFtpBase::StoreHostCode);
    // cbPv and cbVH share the handler of the anonymous check box.
    for (QCheckBox* c : {AnonymousCB, cbPv, cbVH})
        connect(c, &QCheckBox::toggled, this, &TFFtpBase::AnonymousCBClick);
    connect(cbMPsw, &QCheckBox::toggled, this, &TFFtpBase::cbMPswClick);
    connect(cbPD, &QCheckBox::clicked, this, &TFFtpBase::cbPDClick);
    connect(cbSecurity, &QComboBox::currentIndexChanged, this, &TFFtpBase::cbSecurityChange);
    connect(Button3, &QPushButton::clicked, this, &TFFtpBase::Button3Click);
    connect(SpeedButton2, &QPushButton::clicked, this, &TFFtpBase::SpeedButton2Click);
    connect(SpeedButton1, &QPushButton::clicked, this, &QDialog::reject);

    types_ = std::make_unique<THostTypeFile>(msl->Text(sitemsg::DefaultName), QString());
    pnlCustom->setVisible(false);
    AnonymousCBClick();
    cbMPswClick();
}

QList<QLineEdit*> TFFtpBase::PositionFields() const
{
    return {eFName, eFSize, eFDate, eFDate2, eFTime, eFAttr};
}

const THostTypes& TFFtpBase::HostTypes() const
{
    return types_->Types();
}

QString TFFtpBase::BuildAnswer() const
{
    QStringList positions;
    for (const QLineEdit* f : PositionFields())
        positions << f->text();
    return ::BuildAnswer(serverType_, positions);
}

void TFFtpBase::ShowPositions(const QString& code)
{
    const QStringList texts = AnswerPositionTexts(code);
    const QList<QLineEdit*> fields = PositionFields();
    for (int i = 0; i < fields.size(); ++i)
        fields[i]->setText(texts.value(i));
}

void TFFtpBase::FillHostTypeBox()
{
    const QSignalBlocker block(cbName);
    cbName->clear();
    for (const THostType& t : types_->Types().Items())
        cbName->addItem(t.Name);
    cbName->setCurrentIndex(hostIndex_);
    sbEditType->setEnabled(hostIndex_ > 0);
    sbDeleteType->setEnabled(hostIndex_ > 0);
}

void TFFtpBase::LoadSite(const TFTPServerObj& site, const QString& hostTypesPath)
{
    // 1-2. The default host type's name (translated with the dialog) and the
    // working copy.
    const QString defaultName = msl->Text(sitemsg::DefaultName);
    CopySite(work_, site);

    // 3. Edit fields and check boxes. The password is shown as it is: masking
    // is the field's echo mode, never a text of "*".
    NameEdt->setText(work_.Name);
    ServerEdt->setText(work_.Server);
    PortEdt->setText(work_.Port);
    UserEdt->setText(work_.User);
    PasswordEdt->setText(work_.Password);
    AccountEdt->setText(work_.Account);
    EMailEdt->setText(work_.EMail);
    RemoteDirEdt->setText(work_.InitialDir);
    LocalDir->setText(work_.LocalDir);
    {
        const QSignalBlocker b1(AnonymousCB), b2(cbPv), b3(cbVH), b4(cbMPsw), b5(cbPD);
        AnonymousCB->setChecked(work_.Anonymous != 0);
        SavePasswordCB->setChecked(work_.SavePassword != 0);
        cbPv->setChecked(work_.Pasv != 0);
        cbMPsw->setChecked(work_.CheckPSW != 0);
        cbVH->setChecked(work_.CheckVHost != 0);
        cbHidden->setChecked(work_.ShowHidden != 0);
        cbMkDir->setChecked(work_.MkDir != 0);
        cbPD->setChecked(work_.InitialDir.startsWith('/'));
    }
    AnonymousCBClick();
    cbMPswClick();
    {
        // The site's own port stays as it was saved.
        const QSignalBlocker block(cbSecurity);
        cbSecurity->setCurrentIndex(work_.Security < cbSecurity->count() ? work_.Security : 0);
    }

    // 4. The zone list: the entry at TimeZoneV only when it has the site's
    // offset (the list differs between machines), else one that has it.
    QStringList zones;
    int systemIndex = -1;
    FillZoneList(zones, systemIndex);
    cbZones->clear();
    cbZones->addItems(zones);
    openedZone_ = ChooseZoneIndex(zones, work_.TimeZoneV, work_.TimeZone, systemIndex);
    cbZones->setCurrentIndex(openedZone_);

    // 5. Host types and server type.
    types_ = std::make_unique<THostTypeFile>(defaultName, hostTypesPath);
    int type = AnswerServerType(work_.Answer);
    if (type <= 0) {
        work_.Answer = DefaultAnswer;
        work_.AnswerName = defaultName;
        type = 0;
    }
    serverType_ = type;
    hostIndex_ = qMax(0, types_->Types().IndexOf(work_.AnswerName));
    // A named custom type lends its code. The first entry, or a name this
    // machine's file does not know, keeps the site's own positions: they are
    // what its listings were read with.
    if (serverType_ == CustomServerType && hostIndex_ > 0)
        work_.Answer = QString::number(serverType_) + types_->Types().Code(hostIndex_).mid(1);
    FillHostTypeBox();
    {
        const QSignalBlocker block(cbType);
        cbType->setCurrentIndex(serverType_ < cbType->count() ? serverType_ : 0);
    }
    pnlCustom->setVisible(serverType_ == CustomServerType);

    // 6. Positions and comment.
    ShowPositions(work_.Answer);
    mDesc->setPlainText(work_.Desc.split('`').join('\n'));
}

TFTPServerObj TFFtpBase::CollectSite()
{
    TFTPServerObj s = work_;
    s.Name = NameEdt->text().trimmed().left(sitelimits::Name);
    s.Server = ServerEdt->text().trimmed();
    s.Port = PortEdt->text().trimmed();
    s.User = UserEdt->text().trimmed();
    s.Password = PasswordEdt->text(); // never trimmed: blanks can be part of it
    s.Account = AccountEdt->text().trimmed();
    s.EMail = EMailEdt->text().trimmed().left(sitelimits::EMail);
    s.InitialDir = RemoteDirEdt->text().trimmed().left(sitelimits::InitialDir);
    s.LocalDir = LocalDir->text().trimmed().left(sitelimits::LocalDir);
    s.Anonymous = AnonymousCB->isChecked() ? 1 : 0;
    s.SavePassword = SavePasswordCB->isChecked() ? 1 : 0;
    s.Pasv = cbPv->isChecked() ? 1 : 0;
    s.CheckPSW = cbMPsw->isChecked() ? 1 : 0;
    s.CheckVHost = cbVH->isChecked() ? 1 : 0;
    s.ShowHidden = cbHidden->isChecked() ? 1 : 0;
    s.MkDir = cbMkDir->isChecked() ? 1 : 0;
    s.Security = quint8(qMax(0, cbSecurity->currentIndex()));

    const int zone = cbZones->currentIndex();
    s.TimeZoneV = qint16(zone);
    s.TimeZone = SavedTimeZone(work_.TimeZone, openedZone_, zone, cbZones->currentText());

    // The code comes from the type and the position fields; for the Custom
    // type the selected host type (never the first) keeps that code too.
    const QString code = BuildAnswer();
    if (serverType_ == CustomServerType)
        types_->Types().SetCode(hostIndex_, code);
    s.Answer = code;
    s.AnswerName = types_->Types().Name(hostIndex_).left(sitelimits::AnswerName);

    const QString desc = mDesc->toPlainText();
    s.Desc = desc.isEmpty() ? QString() : desc.split('\n').join('`');
    return s;
}

void TFFtpBase::SaveHostTypes()
{
    if (!types_->Changed())
        return;
    QString error;
    if (!types_->Save(&error))
        userInterface()->ShowMessageBox(types_->Path() + QLatin1Char(':') + msl->Text(sitemsg::HostTypesNotSaved),
                                        msl->Text(sitemsg::Attention), mb::IconWarning);
}

void TFFtpBase::StoreHostCode()
{
    if (serverType_ == CustomServerType)
        types_->Types().SetCode(hostIndex_, BuildAnswer()); // the first entry refuses
}

void TFFtpBase::cbTypeChange(int index)
{
    serverType_ = qMax(0, index);
    const bool custom = serverType_ == CustomServerType;
    pnlCustom->setVisible(custom);
    // Back to Custom with a named type: its positions are shown again.
    if (custom && hostIndex_ > 0)
        ShowPositions(types_->Types().Code(hostIndex_));
}

void TFFtpBase::cbNameChange(int index)
{
    if (index < 0)
        return;
    // The edits of the entry left are already stored (StoreHostCode).
    hostIndex_ = index;
    ShowPositions(types_->Types().Code(index));
    sbEditType->setEnabled(index > 0);
    sbDeleteType->setEnabled(index > 0);
}

void TFFtpBase::sbAddTypeClick()
{
    QString name;
    if (!userInterface()->InputLine(msl->Text(sitemsg::NewHostType), msl->Text(sitemsg::Enter), name, false, 255))
        return;
    name = name.trimmed();
    if (name.isEmpty())
        return;
    hostIndex_ = types_->Types().Add(name);
    work_.Answer = DefaultAnswer;
    FillHostTypeBox();
    ShowPositions(types_->Types().Code(hostIndex_));
}

void TFFtpBase::sbEditTypeClick()
{
    const int index = cbName->currentIndex();
    if (index <= 0)
        return;
    QString name = types_->Types().Name(index);
    if (!userInterface()->InputLine(msl->Text(sitemsg::EditHostType), msl->Text(sitemsg::Enter), name, false, 255))
        return;
    name = name.trimmed();
    if (name.isEmpty() || !types_->Types().Rename(index, name))
        return;
    cbName->setItemText(index, name);
}

void TFFtpBase::sbDeleteTypeClick()
{
    const int index = cbName->currentIndex();
    if (index <= 0 || !types_->Types().Remove(index))
        return;
    hostIndex_ = index - 1;
    FillHostTypeBox();
    ShowPositions(types_->Types().Code(hostIndex_));
}

void TFFtpBase::AnonymousCBClick()
{
    const bool anonymous = AnonymousCB->isChecked();
    EMailEdt->setEnabled(anonymous);
    UserEdt->setEnabled(!anonymous);
    PasswordEdt->setEnabled(!anonymous);
    AccountEdt->setEnabled(!anonymous);
}

void TFFtpBase::cbMPswClick()
{
    PasswordEdt->setEchoMode(cbMPsw->isChecked() ? QLineEdit::Password : QLineEdit::Normal);
}

void TFFtpBase::cbPDClick(bool checked)
{
    QString dir = RemoteDirEdt->text();
    if (checked && !dir.startsWith('/'))
        dir.prepend('/');
    else if (!checked && dir.startsWith('/'))
        dir.remove(0, 1);
    RemoteDirEdt->setText(dir);
}

void TFFtpBase::cbSecurityChange(int index)
{
    const QString port = PortEdt->text().trimmed();
    if (index == ImplicitTls && (port.isEmpty() || port == FtpPort))
        PortEdt->setText(ImplicitTlsPort);
    else if (index != ImplicitTls && port == ImplicitTlsPort)
        PortEdt->setText(FtpPort);
}

void TFFtpBase::Button3Click()
{
    const QString current = LocalDir->text().trimmed();
    const QString start = !current.isEmpty() && QFileInfo(current).isDir() ? current : ProgramDir;
    const QString chosen = QFileDialog::getExistingDirectory(this, msl->Text(sitemsg::BrowseCaption), start);
    if (chosen.isEmpty())
        return;
    LocalDir->setText(QDir::toNativeSeparators(chosen));
    work_.LocalDir = LocalDir->text().left(sitelimits::LocalDir);
}

void TFFtpBase::SpeedButton2Click()
{
    if (NameEdt->text().trimmed().isEmpty() || ServerEdt->text().trimmed().isEmpty()) {
        userInterface()->ShowMessageBox(msl->Text(sitemsg::NameMissing), msl->Text(sitemsg::Attention),
                                        mb::Ok | mb::IconError | mb::TaskModal);
        return;
    }
    accept();
}

bool EditSite(TFTPServerObj& site, QWidget* parent)
{
    TFFtpBase form(parent ? parent : QApplication::activeWindow());
    form.LoadSite(site);
    if (!FTPOptions.Font.Name.isEmpty())
        ApplyFontRec(&form, FTPOptions.Font);
    const bool saved = form.exec() == QDialog::Accepted;
    if (saved)
        CopySite(site, form.CollectSite());
    form.SaveHostTypes();
    return saved;
}
