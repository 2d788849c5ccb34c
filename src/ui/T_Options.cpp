// T_Options: filling the controls, taking their values on "OK", the
// handlers of its buttons and the language preview, and ShowOptions.
#include "ui/T_Options.h"

#include "i18n/LanguageFile.h"
#include "i18n/MsgLanguage.h"
#include "session/UserInterface.h"
#include "settings/Globals.h"
#include "settings/Options.h"
#include "ui/FontRec.h"
#include "ui/FormLanguage.h"
#include "ui/FormTexts.h"
#include "ui/TInputForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QStringList listItems(const QListWidget* l)
{
    QStringList out;
    for (int i = 0; i < l->count(); ++i)
        out << l->item(i)->text();
    return out;
}

void setListItems(QListWidget* l, const QStringList& items)
{
    l->clear();
    l->addItems(items);
}

// The value of a number field as typed (its edit's text), brought into the
// spin box's range; text that is no number keeps the spin box's value.
int numberOf(const QSpinBox* spin, const QLineEdit* edit)
{
    return RangedValue(edit->text(), TRange{spin->minimum(), spin->maximum()}, spin->value());
}

QString withoutAmpersand(QString text)
{
    const int amp = int(text.indexOf('&'));
    if (amp >= 0 && amp + 1 < text.size())
        text.remove(amp, 1);
    return text;
}

QString textOf(const QWidget* w)
{
    if (auto* l = qobject_cast<const QLabel*>(w))
        return l->text();
    if (auto* b = qobject_cast<const QAbstractButton*>(w))
        return b->text();
    return {};
}

} // namespace

void CheckRadio(QGroupBox* group, int index)
{
    const auto radios = group->findChildren<QRadioButton*>(QString(), Qt::FindDirectChildrenOnly);
    if (index >= 0 && index < radios.size())
        radios[index]->setChecked(true);
}

int CheckedRadio(const QGroupBox* group)
{
    const auto radios = group->findChildren<QRadioButton*>(QString(), Qt::FindDirectChildrenOnly);
    for (int i = 0; i < radios.size(); ++i)
        if (radios[i]->isChecked())
            return i;
    return -1;
}

T_Options::T_Options(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("T_Options"));
    setWindowTitle(QStringLiteral("Program Options"));
    msl = new TMsgLanguage(this, {QStringLiteral("Add"), QStringLiteral("Edit"), QStringLiteral("Enter"),
                                  QStringLiteral("Command"), QStringLiteral("extention"),
                                  QStringLiteral("Choice Directory")});
    BuildPages();
    btnOK = new QPushButton(QStringLiteral("&OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnOK->setDefault(true);

    auto* body = new QHBoxLayout;
    body->addWidget(TreeView1);
    body->addWidget(pcl, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body, 1);
    layout->addLayout(buttons);
    resize(640, 440);

    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(TreeView1, &QTreeWidget::currentItemChanged, this, &T_Options::TreeView1Change);
    for (QCheckBox* c : {cbLog, cbAno, cbKeep})
        connect(c, &QCheckBox::toggled, this, &T_Options::ApplyGreying);
    connect(cbLng, &QCheckBox::toggled, this, &T_Options::ApplyGreying);
    for (QAbstractButton* r : rgType->findChildren<QRadioButton*>())
        connect(r, &QAbstractButton::toggled, this, &T_Options::rgTypeClick);
    connect(cbProxyPswMask, &QCheckBox::toggled, this, &T_Options::MaskClick);
    connect(cbSocksPswMask, &QCheckBox::toggled, this, &T_Options::MaskClick);
    connect(sbKeepAdd, &QPushButton::clicked, this, &T_Options::KeepAddClick);
    connect(sbKeepDelete, &QPushButton::clicked, this, &T_Options::KeepDeleteClick);
    connect(sbExtAdd, &QPushButton::clicked, this, &T_Options::ExtAddClick);
    connect(sbExtModify, &QPushButton::clicked, this, &T_Options::ExtModifyClick);
    connect(sbExtRemove, &QPushButton::clicked, this, &T_Options::ExtRemoveClick);
    connect(sbLogFile, &QPushButton::clicked, this, &T_Options::LogFileClick);
    connect(sbPath, &QPushButton::clicked, this, &T_Options::PathClick);
    connect(sbFont, &QPushButton::clicked, this, &T_Options::FontClick);
    connect(cbFLng, &QComboBox::currentIndexChanged, this, &T_Options::cbFLngChange);

    TreeView1->setCurrentItem(TreeView1->topLevelItem(0));
    // A chosen language whose file has gone is not made again (empty) by the
    // translation: the dialog then finds no language and turns it off.
    const bool langOn = LangOn;
    if (LangOn && !LanguageFileExists(LangFile))
        LangOn = false;
    TranslateForm(this);
    LangOn = langOn;
    LanguageChanged();
}

void T_Options::FormShow()
{
    TLanguageSettings lang{LangOn, LangInit, LangFile};
    const TOptionsForm f = OptionsForm(FTPOptions, lang, ListLanguages());
    LangOn = lang.LangOn; // no language file: localization is off, also after Cancel
    filled_ = f;

    udTimeOut->setValue(f.TimeOut);
    udRetry->setValue(f.Retry);
    cbAno->setChecked(f.MailAno);
    eAno->setText(f.Anonymous);
    cbSync->setChecked(f.Sync);
    cbPassiveTransfer->setChecked(f.PassiveTransfer);

    CheckRadio(rgMode, f.TransferMode);
    setListItems(lbExt, f.Ext);

    cbLog->setChecked(f.Log);
    eLogFile->setText(f.LogFile);
    udLog->setValue(f.LogSize);
    udLogLines->setValue(f.LogLines);

    cbKeep->setChecked(f.Keep);
    udKeep->setValue(f.StartKeep);
    udDuration->setValue(f.DurationKeep);
    setListItems(lbKeep, f.CmdKeep);

    CheckRadio(rgType, f.ConnectionType);
    eProxy->setText(f.ProxyServer);
    eProxyPort->setText(f.ProxyPort);
    eProxyPsw->setText(f.ProxyPsw);
    cbProxyPswMask->setChecked(f.ProxyPswMask);
    eSocks->setText(f.SocksServer);
    eSocksPort->setText(f.SocksPort);
    eSocksPsw->setText(f.SocksPsw);
    eSocksUC->setText(f.SocksUC);
    cbSocksPswMask->setChecked(f.SocksPswMask);
    cbFW->setChecked(false);
    CheckRadio(gbFW, f.fwType);
    eFWSimbol->setText(f.fwSimbol);

    ShowFont(f.Font);
    ePath->setText(f.IniPath);
    cbDownLoad->setChecked(f.PromptDownLoad);
    cbUpload->setChecked(f.PromptUpLoad);
    CheckRadio(gbPrompt, f.DefPrompt);
    CheckRadio(gbDate, f.DateType);
    cbAskExit->setChecked(f.AskForExit);
    cbKeyring->setChecked(f.UseKeyring);
    cbPos->setChecked(f.SavePos);

    {
        const QSignalBlocker block(cbFLng); // filling is no choice: no preview
        cbFLng->clear();
        cbFLng->addItems(f.Languages);
        cbFLng->setCurrentIndex(f.Language);
    }
    cbLng->setChecked(f.LangOn);
    cbLngInit->setChecked(f.LangInit);

    rgTypeClick();
    MaskClick();
    ApplyGreying();
}

TOptionsForm T_Options::FormValues() const
{
    TOptionsForm f = filled_; // the hidden controls give back what they were filled with
    f.TimeOut = numberOf(udTimeOut, eTimeOut);
    f.Retry = numberOf(udRetry, eRetry);
    f.MailAno = cbAno->isChecked();
    f.Anonymous = eAno->text();

    f.TransferMode = qMax(0, CheckedRadio(rgMode));
    f.Ext = listItems(lbExt);

    f.Log = cbLog->isChecked();
    f.LogFile = eLogFile->text();
    f.LogSize = numberOf(udLog, eLog);
    f.LogLines = numberOf(udLogLines, eLogLines);

    f.Keep = cbKeep->isChecked();
    f.StartKeep = numberOf(udKeep, eKeep);
    f.DurationKeep = numberOf(udDuration, eduration);
    f.CmdKeep = listItems(lbKeep);

    f.ConnectionType = qMax(0, CheckedRadio(rgType));
    f.ProxyServer = eProxy->text();
    f.ProxyPort = eProxyPort->text();
    f.ProxyPsw = eProxyPsw->text();
    f.ProxyPswMask = cbProxyPswMask->isChecked();
    f.SocksServer = eSocks->text();
    f.SocksPort = eSocksPort->text();
    f.SocksPsw = eSocksPsw->text();
    f.SocksUC = eSocksUC->text();
    f.SocksPswMask = cbSocksPswMask->isChecked();

    f.Font = chosenFont_;
    f.IniPath = ePath->text();
    f.PromptDownLoad = cbDownLoad->isChecked();
    f.PromptUpLoad = cbUpload->isChecked();
    f.DefPrompt = qMax(0, CheckedRadio(gbPrompt));
    f.DateType = rbDateA->isChecked() ? 1 : 0;
    f.AskForExit = cbAskExit->isChecked();
    f.UseKeyring = cbKeyring->isChecked();
    f.SavePos = cbPos->isChecked();

    f.LangOn = cbLng->isChecked();
    f.Language = cbFLng->currentIndex();
    return f;
}

void T_Options::TakeValues()
{
    TLanguageSettings lang{LangOn, LangInit, LangFile};
    TakeOptionsForm(FormValues(), FTPOptions, lang);
    LangOn = lang.LangOn;
    LangInit = lang.LangInit;
    LangFile = lang.LangFile;
}

int T_Options::CurrentPage() const { return pcl->currentIndex(); }

void T_Options::TreeView1Change()
{
    // The page whose tag is the node's position from the top.
    if (QTreeWidgetItem* item = TreeView1->currentItem())
        pcl->setCurrentIndex(TreeView1->indexOfTopLevelItem(item));
}

void T_Options::ApplyGreying()
{
    eLogFile->setEnabled(cbLog->isChecked());
    sbLogFile->setEnabled(cbLog->isChecked());
    eAno->setEnabled(cbAno->isChecked());
    for (QWidget* w : {static_cast<QWidget*>(lbKeep), static_cast<QWidget*>(udKeep),
                       static_cast<QWidget*>(udDuration), static_cast<QWidget*>(sbKeepAdd),
                       static_cast<QWidget*>(sbKeepDelete)})
        w->setEnabled(cbKeep->isChecked());
    cbFLng->setEnabled(cbLng->isChecked());
    LabelLangFile->setEnabled(cbLng->isChecked());
}

void T_Options::rgTypeClick()
{
    const int type = CheckedRadio(rgType);
    pnlProxy->setEnabled(type == 1);
    pnlSocks->setEnabled(type >= 2);
}

void T_Options::MaskClick()
{
    eProxyPsw->setEchoMode(cbProxyPswMask->isChecked() ? QLineEdit::Password : QLineEdit::Normal);
    eSocksPsw->setEchoMode(cbSocksPswMask->isChecked() ? QLineEdit::Password : QLineEdit::Normal);
}

bool T_Options::AskLine(const QString& caption, const QString& prompt, QString& value)
{
    if (IUserInterface* ui = userInterface())
        return ui->InputLine(caption, prompt, value, false, 255);
    return InputLine(caption, prompt, value, false, 255, this);
}

void T_Options::KeepAddClick()
{
    const QString what = msl->Text(optmsg::Command);
    QString value;
    if (!AskLine(msl->Text(optmsg::Add) + ' ' + what, msl->Text(optmsg::Enter) + ' ' + what, value))
        return;
    QStringList items = listItems(lbKeep);
    if (AddListEntry(items, value))
        lbKeep->addItem(items.last());
}

void T_Options::KeepDeleteClick()
{
    delete lbKeep->takeItem(lbKeep->currentRow());
}

void T_Options::ExtAddClick()
{
    QString value;
    if (!AskLine(msl->Text(optmsg::Add) + ' ' + msl->Text(optmsg::Extention), msl->Text(optmsg::Enter), value))
        return;
    QStringList items = listItems(lbExt);
    if (AddListEntry(items, value))
        lbExt->addItem(items.last());
}

void T_Options::ExtModifyClick()
{
    const int row = lbExt->currentRow();
    if (row < 0 || !lbExt->currentItem()->isSelected()) {
        ExtAddClick();
        return;
    }
    QString value = lbExt->item(row)->text();
    if (!AskLine(msl->Text(optmsg::Edit) + ' ' + msl->Text(optmsg::Extention), msl->Text(optmsg::Enter), value))
        return;
    QStringList items = listItems(lbExt);
    if (ReplaceListEntry(items, row, value))
        lbExt->item(row)->setText(items[row]);
}

void T_Options::ExtRemoveClick()
{
    delete lbExt->takeItem(lbExt->currentRow());
}

void T_Options::LogFileClick()
{
    const QString file = QFileDialog::getOpenFileName(
        this, QStringLiteral("Choose Log file"), eLogFile->text(),
        QStringLiteral("Log Files (*.log);;Text Files (*.txt);;All Files (*)"));
    if (!file.isEmpty())
        eLogFile->setText(file);
}

void T_Options::PathClick()
{
    const QString dir = QFileDialog::getExistingDirectory(this, msl->Text(optmsg::ChoiceDirectory), ePath->text());
    if (!dir.isEmpty())
        ePath->setText(dir);
}

void T_Options::ShowFont(const TFontRec& rec)
{
    // The record on the font button, the dialog and its pages.
    chosenFont_ = rec;
    for (QWidget* w : {static_cast<QWidget*>(sbFont), static_cast<QWidget*>(this), static_cast<QWidget*>(pcl)})
        ApplyFontRec(w, rec, 0);
}

void T_Options::FontClick()
{
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, sbFont->font(), this, sbFont->text().remove('&'));
    if (!ok)
        return;
    TFontRec rec = chosenFont_; // the font dialog has no colour: it stays
    FontToRec(font, rec);
    ShowFont(rec);
}

void T_Options::cbFLngChange()
{
    // A preview: the dialog in the chosen language at once; the setting
    // itself changes only with "OK".
    if (!cbLng->isChecked() || cbFLng->currentIndex() < 0)
        return;
    RestoreBuiltInTexts(this);
    ReadFormTexts(this, LanguageFilePath(cbFLng->currentText()));
    LanguageChanged();
}

void T_Options::LanguageChanged()
{
    for (int i = 0; i < pcl->count() && i < TreeView1->topLevelItemCount(); ++i)
        TreeView1->topLevelItem(i)->setText(0, pcl->tabText(i).trimmed());
    for (const auto& [control, source] : namedBy_) {
        control->setAccessibleName(withoutAmpersand(textOf(source)));
        // The edit field of a number field is what a screen reader lands on.
        if (auto* spin = qobject_cast<QSpinBox*>(control))
            spin->findChild<QLineEdit*>()->setAccessibleName(control->accessibleName());
    }
}

bool ShowOptions(QWidget* parent)
{
    T_Options dlg(parent ? parent : QApplication::activeWindow());
    dlg.FormShow();
    // Centred on the screen.
    if (QScreen* s = dlg.screen() ? dlg.screen() : QGuiApplication::primaryScreen()) {
        QRect r = dlg.frameGeometry();
        r.moveCenter(s->availableGeometry().center());
        dlg.move(r.topLeft());
    }
    if (dlg.exec() != QDialog::Accepted)
        return false;
    dlg.TakeValues();
    return true;
}
