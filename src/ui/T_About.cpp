#include "ui/T_About.h"

#include "settings/Globals.h"
#include "ui/FormLanguage.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

T_About::T_About(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("T_About"));
    setWindowTitle(tr("About Varnoth"));
    auto* box = new QVBoxLayout(this);
    auto* title = new QLabel(QStringLiteral("<h2>Varnoth</h2>"), this);
    title->setObjectName(QStringLiteral("lbTitle"));
    title->setAlignment(Qt::AlignCenter);
    auto* version = new QLabel(tr("Version %1").arg(QStringLiteral(VARNOTH_VERSION)), this);
    version->setObjectName(QStringLiteral("lbVersion"));
    version->setProperty("noTranslate", true);
    version->setAlignment(Qt::AlignCenter);
    auto* text = new QLabel(tr("A two-pane FTP client."), this);
    text->setAlignment(Qt::AlignCenter);
    // Where this installation keeps its settings, so the user can find them.
    auto* settings = new QLabel(tr("Settings: %1").arg(QDir::toNativeSeparators(ProgramDir + QStringLiteral("options.ftp"))), this);
    settings->setObjectName(QStringLiteral("lbSettings"));
    settings->setProperty("noTranslate", true);
    settings->setTextInteractionFlags(Qt::TextSelectableByMouse);
    settings->setAlignment(Qt::AlignCenter);
    OkButton_ = new QPushButton(tr("OK"), this);
    OkButton_->setObjectName(QStringLiteral("OKButton"));
    OkButton_->setDefault(true);
    connect(OkButton_, &QPushButton::clicked, this, &QDialog::accept);
    box->addWidget(title);
    box->addWidget(version);
    box->addWidget(text);
    box->addSpacing(8);
    box->addWidget(settings);
    box->addSpacing(8);
    box->addWidget(OkButton_, 0, Qt::AlignHCenter);
    TranslateForm(this);
}

void T_About::ShowAsSplash()
{
    OkButton_->setEnabled(false);
    OkButton_->setFlat(true);
    OkButton_->setText(tr("Wait..."));
    setModal(false);
    show();
    // Paint it now: the main window's creation keeps the loop busy for a while.
    QApplication::processEvents();
}
