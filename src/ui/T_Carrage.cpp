#include "ui/T_Carrage.h"

#include "i18n/MsgLanguage.h"
#include "session/LineEndings.h"
#include "settings/Options.h"
#include "ui/DialogButtons.h"
#include "ui/FontRec.h"
#include "ui/FormLanguage.h"

#include <QApplication>
#include <QButtonGroup>
#include <QFrame>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

T_Carrage::T_Carrage(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("T_Carrage"));
    setWindowTitle(QStringLiteral("Carriage Return"));
    const TLineEndingTexts english;
    msl = new TMsgLanguage(this, {english.WriteFileError, english.NotText});

    auto* choices = new QFrame(this);
    choices->setObjectName(QStringLiteral("Panel1"));
    choices->setFrameShape(QFrame::StyledPanel);
    auto* column = new QVBoxLayout(choices);
    group_ = new QButtonGroup(this);
    auto radio = [&](const char* name, const char* text, int tag) {
        auto* b = new QRadioButton(QLatin1String(text), choices);
        b->setObjectName(QLatin1String(name));
        group_->addButton(b, tag); // the id is the button's tag, the mode
        column->addWidget(b);
        return b;
    };
    rbNo = radio("rbNo", "Do not change", lineend::NoChange);
    rbCRLF = radio("rbCRLF", "CR + LF", lineend::CrLf);
    rbLfCR = radio("rbLfCR", "LF + CR", lineend::LfCr);
    rbLF = radio("rbLF", "LF", lineend::Lf);
    rbCR = radio("rbCR", "CR", lineend::Cr);
    rbNo->setChecked(true);

    QHBoxLayout* buttons = ApplyCancelButtons(this, SpeedButton1, SpeedButton2);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(choices);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    TranslateForm(this);
    rbNo->setFocus();
}

int T_Carrage::Mode() const
{
    const int id = group_->checkedId();
    return id < 0 ? lineend::NoChange : id;
}

int AskLineEnding(QWidget* parent, TLineEndingTexts* texts)
{
    T_Carrage form(parent ? parent : QApplication::activeWindow());
    if (!FTPOptions.Font.Name.isEmpty())
        ApplyFontRec(&form, FTPOptions.Font); // the common font setting
    const bool applied = form.exec() == QDialog::Accepted;
    if (texts) {
        if (!form.msl->Text(0).isEmpty())
            texts->WriteFileError = form.msl->Text(0);
        if (!form.msl->Text(1).isEmpty())
            texts->NotText = form.msl->Text(1);
    }
    return applied ? form.Mode() : lineend::NoChange;
}
