#include "ui/DialogButtons.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>

QHBoxLayout* ApplyCancelButtons(QDialog* dialog, QPushButton*& apply, QPushButton*& cancel)
{
    apply = new QPushButton(QStringLiteral("Apply"), dialog);
    apply->setObjectName(QStringLiteral("SpeedButton1"));
    apply->setDefault(true);
    cancel = new QPushButton(QStringLiteral("Cancel"), dialog);
    cancel->setObjectName(QStringLiteral("SpeedButton2"));
    QObject::connect(apply, &QPushButton::clicked, dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(apply);
    row->addWidget(cancel);
    return row;
}
