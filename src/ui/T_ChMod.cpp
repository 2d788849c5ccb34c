#include "ui/T_ChMod.h"

#include "settings/Options.h"
#include "ui/DialogButtons.h"
#include "ui/FontRec.h"
#include "ui/FormLanguage.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

T_ChMod::T_ChMod(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("T_ChMod"));
    setWindowTitle(QStringLiteral("Change File Attributes"));

    auto* grid = new QGridLayout;
    const char* rows[] = {"Owner Permissions", "Group Permissions", "Public Permissions"};
    const char* columns[] = {"Read", "Write", "Execute"};
    for (int c = 0; c < 3; ++c) {
        columnLabels[c] = new QLabel(QLatin1String(columns[c]), this);
        columnLabels[c]->setObjectName(QStringLiteral("Label%1").arg(4 + c));
        grid->addWidget(columnLabels[c], 0, 1 + c, Qt::AlignHCenter);
    }
    for (int r = 0; r < 3; ++r) {
        rowLabels[r] = new QLabel(QLatin1String(rows[r]), this);
        rowLabels[r]->setObjectName(QStringLiteral("Label%1").arg(1 + r));
        grid->addWidget(rowLabels[r], 1 + r, 0);
        for (int c = 0; c < 3; ++c) {
            QCheckBox* box = new QCheckBox(this);
            box->setObjectName(QStringLiteral("cb%1").arg(1 + r * 3 + c));
            cb[r * 3 + c] = box;
            grid->addWidget(box, 1 + r, 1 + c, Qt::AlignHCenter);
            connect(box, &QCheckBox::clicked, this, [this, box] { BoxClicked(box); });
        }
    }

    GroupBox1 = new QGroupBox(QStringLiteral("Manual"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    Edit1 = new QLineEdit(GroupBox1);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setProperty("noTranslate", true);  // a value, not wording
    Edit1->setMaxLength(3);
    // Only octal digits can be typed or pasted.
    Edit1->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-7]{0,3}")), Edit1));
    Edit1->setMaximumWidth(Edit1->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 12);
    auto* manual = new QVBoxLayout(GroupBox1);
    manual->addWidget(Edit1);
    manual->addStretch(1);
    connect(Edit1, &QLineEdit::textEdited, this, &T_ChMod::Edit1Edited);

    QHBoxLayout* buttons = ApplyCancelButtons(this, SpeedButton1, SpeedButton2);

    auto* top = new QHBoxLayout;
    top->addLayout(grid);
    top->addSpacing(12);
    top->addWidget(GroupBox1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    TranslateForm(this);
    NameControls();
}

void T_ChMod::SetFiles(const TPermissionFiles& files)
{
    Edit1->setText(files.isEmpty() ? QString() : QString::number(files.first().value & 0xFFF));
    SetBoxes(PermissionBoxesOf(files));
    edited_ = false;
}

TPermissionBoxes T_ChMod::Boxes() const
{
    TPermissionBoxes boxes;
    for (int i = 0; i < 9; ++i) {
        switch (cb[i]->checkState()) {
        case Qt::Checked: boxes[i] = TPermissionBox::Checked; break;
        case Qt::PartiallyChecked: boxes[i] = TPermissionBox::Mixed; break;
        default: boxes[i] = TPermissionBox::Unchecked; break;
        }
    }
    return boxes;
}

void T_ChMod::SetBoxes(const TPermissionBoxes& boxes)
{
    for (int i = 0; i < 9; ++i) {
        cb[i]->setCheckState(boxes[i] == TPermissionBox::Checked  ? Qt::Checked
                             : boxes[i] == TPermissionBox::Mixed ? Qt::PartiallyChecked
                                                                  : Qt::Unchecked);
        cb[i]->setTristate(boxes[i] == TPermissionBox::Mixed);
    }
}

// A grey box turns checked on its first click and is two-state from then
// on: the user never sets grey. setText does not emit textEdited, so Edit1
// does not set the boxes in turn.
void T_ChMod::BoxClicked(QCheckBox* box)
{
    box->setTristate(false);
    edited_ = true;
    Edit1->setText(QString::number(PermissionValueOf(Boxes())));
}

// setCheckState does not emit clicked, so the boxes do not write back.
void T_ChMod::Edit1Edited(const QString& text)
{
    edited_ = true;
    const int value = PermissionTextToValue(text);
    if (value >= 0)
        SetBoxes(PermissionBoxesOf(value));
    else if (text.trimmed().isEmpty())
        SetBoxes(PermissionBoxesOf(0));
}

// The boxes have no text of their own: a screen reader names each by its row
// and column, in the language shown.
void T_ChMod::NameControls()
{
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            cb[r * 3 + c]->setAccessibleName(rowLabels[r]->text() + QLatin1Char(' ') + columnLabels[c]->text());
    Edit1->setAccessibleName(GroupBox1->title());
}

void T_ChMod::showEvent(QShowEvent* e)
{
    NameControls();
    QDialog::showEvent(e);
}

bool ChangeAttributes(TPermissionFiles& files, QWidget* parent)
{
    if (files.isEmpty())
        return false;
    T_ChMod form(parent ? parent : QApplication::activeWindow());
    if (!FTPOptions.Font.Name.isEmpty())
        ApplyFontRec(&form, FTPOptions.Font);  // the common font setting
    form.SetFiles(files);
    if (form.exec() != QDialog::Accepted)
        return false;
    return ::ChangeAttributes(files, form.Edit1->text(), form.Edited());
}
