#include "ui/T_Mirror.h"

#include "i18n/MsgLanguage.h"
#include "session/MirrorJob.h"
#include "session/UserInterface.h"
#include "settings/Globals.h"
#include "settings/Options.h"
#include "ui/FontRec.h"
#include "ui/FormLanguage.h"
#include "ui/TInputForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

QString openFile(QWidget* parent, const QString& title, const QString& fileName, const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, title, fileName, filter);
}

QString saveFile(QWidget* parent, const QString& title, const QString& fileName, const QString& filter)
{
    return QFileDialog::getSaveFileName(parent, title, fileName, filter);
}

QString chooseFolder(QWidget* parent, const QString& title, const QString& start)
{
    return QFileDialog::getExistingDirectory(parent, title, start);
}

// The program's directory as a folder name (no trailing "/" except for "/").
QString programFolder()
{
    QString dir = ProgramDir;
    while (dir.size() > 1 && dir.endsWith(QLatin1Char('/')))
        dir.chop(1);
    return dir;
}

bool isFolder(const QString& path) { return !path.trimmed().isEmpty() && QFileInfo(path).isDir(); }

// A radio group whose buttons are its direct children, in order: a language
// file addresses them as the group's items.
QGroupBox* radioGroup(QWidget* parent, const char* name, const QString& title, const QStringList& items)
{
    auto* g = new QGroupBox(title, parent);
    g->setObjectName(QLatin1String(name));
    auto* layout = new QVBoxLayout(g);
    for (int i = 0; i < items.size(); ++i) {
        auto* r = new QRadioButton(items[i], g);
        r->setObjectName(QLatin1String(name) + QStringLiteral("Item%1").arg(i));
        layout->addWidget(r);
    }
    return g;
}

QList<QRadioButton*> radios(const QGroupBox* g)
{
    return g->findChildren<QRadioButton*>(QString(), Qt::FindDirectChildrenOnly);
}

int checkedIndex(const QGroupBox* g)
{
    const auto items = radios(g);
    for (int i = 0; i < items.size(); ++i)
        if (items[i]->isChecked())
            return i;
    return 0; // nothing checked counts as the first choice
}

void check(QGroupBox* g, int index)
{
    const auto items = radios(g);
    items.value(index >= 0 && index < items.size() ? index : 0)->setChecked(true);
}

} // namespace

T_Mirror::FileChooser T_Mirror::OpenChooser = openFile;
T_Mirror::FileChooser T_Mirror::SaveChooser = saveFile;
T_Mirror::FolderChooser T_Mirror::FolderChooserFn = chooseFolder;

T_Mirror::T_Mirror(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("T_Mirror"));
    setWindowTitle(QStringLiteral("Compare folders"));
    msl = new TMsgLanguage(
        this, {QStringLiteral("Exclusion"), QStringLiteral("Enter new item"), QStringLiteral("Edit item"),
               QStringLiteral("The local folder \"%1\" does not exist. The program's folder is shown instead; "
                              "choose the local folder before Execute."),
               QStringLiteral("The local folder \"%1\" does not exist; choose an existing folder before Execute."),
               QStringLiteral("Opening compare parameters"), QStringLiteral("Saving compare parameters"),
               QStringLiteral("Compare parameters file (*.cpf);;Text files (*.txt);;All files (*)"),
               QStringLiteral("Could not write the job file \"%1\"."), QStringLiteral("Local folder")});

    auto edit = [this](const char* name) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QLatin1String(name));
        e->setProperty("noTranslate", true); // paths, not wording
        e->setMinimumWidth(360);
        return e;
    };
    auto button = [this](const char* name, const char* text) {
        auto* b = new QPushButton(QLatin1String(text), this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        return b;
    };
    eLoc = edit("eLoc");
    eRemote = edit("eRemote");
    auto* Label1 = new QLabel(QStringLiteral("Local folder:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setBuddy(eLoc);
    auto* Label2 = new QLabel(QStringLiteral("Remote folder:"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setBuddy(eRemote);
    sbLoc = button("sbLoc", "...");
    sbLoc->setToolTip(QStringLiteral("Choose the local folder"));
    sbLoc->setMaximumWidth(sbLoc->fontMetrics().horizontalAdvance(QStringLiteral("...")) * 4);
    lblLocWarning = new QLabel(this);
    lblLocWarning->setObjectName(QStringLiteral("lblLocWarning"));
    lblLocWarning->setProperty("noTranslate", true); // composed from msl
    lblLocWarning->setWordWrap(true);
    lblLocWarning->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold;"));
    lblLocWarning->hide();

    rgDir = radioGroup(this, "rgDir", QStringLiteral("Direction"),
                       {QStringLiteral("Mirror Local"), QStringLiteral("Mirror Remote"), QStringLiteral("Mirror Both")});
    rgFile = radioGroup(this, "rgFile", QStringLiteral("If the file exists"),
                        {QStringLiteral("Overwrite"), QStringLiteral("Overwrite only newest"), QStringLiteral("Skip"),
                         QStringLiteral("Ask")});

    auto box = [this](const char* name, const char* text) {
        auto* c = new QCheckBox(QLatin1String(text), this);
        c->setObjectName(QLatin1String(name));
        return c;
    };
    cbInc = box("cbInc", "Include subfolders");
    cbLink = box("cbLink", "Ignore symbolic link");
    cbDel = box("cbDel", "Delete destination file if it does not exist in source folder");
    cbPrompt = box("cbPrompt", "Always prompt before deleting");
    cbBin = box("cbBin", "Transfer all files in binary");

    auto* Label3 = new QLabel(QStringLiteral("Exclusions:"), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    lbExclude = new QListWidget(this);
    lbExclude->setObjectName(QStringLiteral("lbExclude"));
    lbExclude->setProperty("noTranslate", true); // the user's names
    lbExclude->setMinimumHeight(90);
    Label3->setBuddy(lbExclude);
    sbAdd = button("sbAdd", "Add");
    sbEdit = button("sbEdit", "Edit");
    sbDel = button("sbDel", "Remove");
    sbOpen = button("sbOpen", "Open");
    sbSave = button("sbSave", "Save As");
    sbExecute = button("sbExecute", "Execute");
    sbClose = button("sbClose", "Close");
    sbExecute->setDefault(true);

    connect(sbLoc, &QPushButton::clicked, this, &T_Mirror::sbLocClick);
    connect(sbOpen, &QPushButton::clicked, this, &T_Mirror::sbOpenClick);
    connect(sbSave, &QPushButton::clicked, this, &T_Mirror::sbSaveClick);
    connect(sbExecute, &QPushButton::clicked, this, &T_Mirror::sbExecuteClick);
    connect(sbClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(sbAdd, &QPushButton::clicked, this, &T_Mirror::sbAddClick);
    connect(sbEdit, &QPushButton::clicked, this, &T_Mirror::sbEditClick);
    connect(sbDel, &QPushButton::clicked, this, &T_Mirror::sbDelClick);
    connect(lbExclude, &QListWidget::itemSelectionChanged, this, &T_Mirror::UpdateExclusionButtons);
    connect(lbExclude, &QListWidget::currentRowChanged, this, &T_Mirror::UpdateExclusionButtons);
    // Typing in the folder field is the user's own choice of folder.
    connect(eLoc, &QLineEdit::textEdited, this, [this] {
        replacedLocal_ = false;
        UpdateLocalState();
    });

    auto* paths = new QGridLayout;
    paths->addWidget(Label1, 0, 0);
    paths->addWidget(eLoc, 0, 1);
    paths->addWidget(sbLoc, 0, 2);
    paths->addWidget(lblLocWarning, 1, 1, 1, 2);
    paths->addWidget(Label2, 2, 0);
    paths->addWidget(eRemote, 2, 1, 1, 2);
    auto* groups = new QHBoxLayout;
    groups->addWidget(rgDir);
    groups->addWidget(rgFile);
    auto* options = new QVBoxLayout;
    for (QCheckBox* c : {cbInc, cbLink, cbDel, cbPrompt, cbBin})
        options->addWidget(c);
    auto* listButtons = new QVBoxLayout;
    listButtons->addWidget(sbAdd);
    listButtons->addWidget(sbEdit);
    listButtons->addWidget(sbDel);
    listButtons->addStretch(1);
    auto* exclusions = new QHBoxLayout;
    exclusions->addWidget(lbExclude, 1);
    exclusions->addLayout(listButtons);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(sbOpen);
    bottom->addWidget(sbSave);
    bottom->addStretch(1);
    bottom->addWidget(sbExecute);
    bottom->addWidget(sbClose);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(paths);
    layout->addLayout(groups);
    layout->addLayout(options);
    layout->addWidget(Label3);
    layout->addLayout(exclusions, 1);
    layout->addLayout(bottom);

    TranslateForm(this);
    // Screen readers name the "..." button and the list by their (translated)
    // hint and label, not by "...".
    sbLoc->setAccessibleName(sbLoc->toolTip());
    lbExclude->setAccessibleName(Label3->text().remove(QLatin1Char(':')).trimmed());
    UpdateExclusionButtons();
}

void T_Mirror::FillFromJob()
{
    const TMirrorJob& job = MirrorJob;
    replacedLocal_ = !isFolder(job.Local);
    missingLocal_ = replacedLocal_ ? job.Local : QString();
    eLoc->setText(replacedLocal_ ? programFolder() : job.Local);
    eRemote->setText(job.Remote);
    check(rgDir, job.Direction);
    check(rgFile, job.FileExists);
    cbInc->setChecked(job.Has(mirror::IncludeSubfolders));
    cbLink->setChecked(job.Has(mirror::IgnoreLinks));
    cbDel->setChecked(job.Has(mirror::DeleteMissing));
    cbPrompt->setChecked(job.Has(mirror::PromptDelete));
    cbBin->setChecked(job.Has(mirror::AllBinary));
    lbExclude->clear();
    lbExclude->addItems(SplitExclusions(job.Exclusions));
    if (lbExclude->count() > 0)
        lbExclude->setCurrentRow(0);
    UpdateExclusionButtons();
    UpdateLocalState();
}

void T_Mirror::TakeJob()
{
    TMirrorJob& job = MirrorJob;
    // The program's folder shown in place of a missing one is no choice of
    // the user's: the job keeps naming the folder it named.
    job.Local = replacedLocal_ ? missingLocal_ : eLoc->text();
    job.Remote = eRemote->text();
    job.Direction = checkedIndex(rgDir);
    job.FileExists = checkedIndex(rgFile);
    int params = 0;
    const std::pair<QCheckBox*, int> bits[] = {{cbInc, mirror::IncludeSubfolders}, {cbLink, mirror::IgnoreLinks},
                                               {cbDel, mirror::DeleteMissing},     {cbPrompt, mirror::PromptDelete},
                                               {cbBin, mirror::AllBinary}};
    for (const auto& [box, bit] : bits)
        if (box->isChecked())
            params |= bit;
    job.Params = params;
    QStringList items;
    for (int i = 0; i < lbExclude->count(); ++i)
        items << lbExclude->item(i)->text();
    job.Exclusions = JoinExclusions(items);
}

bool T_Mirror::LocalAccepted() const { return !replacedLocal_ && isFolder(eLoc->text()); }

void T_Mirror::UpdateLocalState()
{
    QString warning;
    if (replacedLocal_)
        warning = msl->Text(mirrormsg::LocalReplaced).arg(missingLocal_);
    else if (!isFolder(eLoc->text()))
        warning = msl->Text(mirrormsg::LocalMissing).arg(eLoc->text());
    lblLocWarning->setText(warning);
    lblLocWarning->setVisible(!warning.isEmpty());
    sbExecute->setEnabled(warning.isEmpty());
    sbExecute->setToolTip(warning);
}

void T_Mirror::UpdateExclusionButtons()
{
    QListWidgetItem* item = lbExclude->currentItem();
    const bool selected = item && item->isSelected();
    sbEdit->setEnabled(selected);
    sbDel->setEnabled(selected);
}

bool T_Mirror::AskLine(const QString& prompt, QString& value)
{
    const QString caption = msl->Text(mirrormsg::Exclusion);
    if (IUserInterface* ui = userInterface())
        return ui->InputLine(caption, prompt + QLatin1Char(':'), value, false, 255);
    return InputLine(caption, prompt + QLatin1Char(':'), value, false, 255, this);
}

void T_Mirror::ShowError(const QString& text)
{
    if (IUserInterface* ui = userInterface())
        ui->ShowMessageBox(text, windowTitle(), mb::Ok | mb::IconError);
    else
        QMessageBox::warning(this, windowTitle(), text);
}

void T_Mirror::sbLocClick()
{
    const QString chosen = FolderChooserFn(this, msl->Text(mirrormsg::ChooseFolder), eLoc->text());
    if (chosen.isEmpty())
        return;
    eLoc->setText(chosen);
    replacedLocal_ = false;
    UpdateLocalState();
}

void T_Mirror::sbOpenClick()
{
    const QString start = !lastSave_.isEmpty() ? lastSave_ : DefaultMirrorJobFile();
    const QString name =
        OpenChooser(this, msl->Text(mirrormsg::OpenTitle), start, msl->Text(mirrormsg::FileFilter));
    if (name.isEmpty())
        return;
    lastOpen_ = name;
    // The file goes straight into the job: it stays loaded even after Close.
    if (LoadMirrorJob(name))
        FillFromJob();
}

void T_Mirror::sbSaveClick()
{
    const QString start = !lastOpen_.isEmpty() ? lastOpen_ : DefaultMirrorJobFile();
    const QString name =
        SaveChooser(this, msl->Text(mirrormsg::SaveTitle), start, msl->Text(mirrormsg::FileFilter));
    if (name.isEmpty())
        return;
    lastSave_ = name;
    TakeJob();
    if (!SaveMirrorJob(name))
        ShowError(msl->Text(mirrormsg::WriteFailed).arg(name));
}

void T_Mirror::sbExecuteClick()
{
    // A run on the wrong local folder could delete what it should keep.
    UpdateLocalState();
    if (!LocalAccepted())
        return;
    TakeJob();
    if (!SaveMirrorJob(DefaultMirrorJobFile()))
        ShowError(msl->Text(mirrormsg::WriteFailed).arg(DefaultMirrorJobFile()));
    accept();
}

void T_Mirror::sbAddClick()
{
    QString value;
    if (AskLine(msl->Text(mirrormsg::EnterItem), value) && !value.trimmed().isEmpty())
        lbExclude->addItem(value);
    UpdateExclusionButtons();
}

void T_Mirror::sbEditClick()
{
    QListWidgetItem* item = lbExclude->currentItem();
    if (!item || !item->isSelected())
        return;
    QString value = item->text();
    if (AskLine(msl->Text(mirrormsg::EditItem), value) && !value.trimmed().isEmpty())
        item->setText(value);
}

void T_Mirror::sbDelClick()
{
    QListWidgetItem* item = lbExclude->currentItem();
    if (item && item->isSelected())
        delete lbExclude->takeItem(lbExclude->row(item));
    UpdateExclusionButtons();
}

bool ShowMirrorJob(QWidget* parent)
{
    T_Mirror form(parent ? parent : QApplication::activeWindow());
    form.FillFromJob();
    if (!FTPOptions.Font.Name.isEmpty())
        ApplyFontRec(&form, FTPOptions.Font); // the common font setting
    return form.exec() == QDialog::Accepted;
}
