#include "ui/TFReWrite.h"

#include "i18n/MsgLanguage.h"
#include "settings/Options.h"
#include "ui/FontRec.h"
#include "ui/FormLanguage.h"
#include "ui/TInputForm.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>

namespace {
// A path is as long as the file system allows; the input box must not cut it.
constexpr int kMaxPathLength = 4096;
} // namespace

TFReWrite::TFReWrite(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TFReWrite"));
    setWindowTitle(QStringLiteral("Rewrite Files Prompt"));
    // A title bar without buttons: the question is answered by a button.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    msl = new TMsgLanguage(this, {QStringLiteral("File already exists !"), QStringLiteral("Save as ..."),
                                  QStringLiteral("New Path")});

    re1 = new QTextEdit(this);
    re1->setObjectName(QStringLiteral("re1"));
    re1->setReadOnly(true);
    re1->setAcceptRichText(false);
    re1->setAccessibleName(QStringLiteral("Message"));
    re1->setProperty("noTranslate", true); // it shows file names, not wording
    re1->setMinimumWidth(520);
    re1->setFixedHeight(re1->fontMetrics().lineSpacing() * 4 + 12); // room for a long, wrapped path
    Label1 = new QLabel(QStringLiteral("Overwrite the file ?"), this);
    Label1->setObjectName(QStringLiteral("Label1"));

    auto button = [this](const char* name, const char* text, int tag) {
        auto* b = new QPushButton(QLatin1String(text), this);
        b->setObjectName(QLatin1String(name));
        b->setProperty("tag", tag);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, [this, b] { BitBtn1Click(b); });
        return b;
    };
    BitBtn6 = button("BitBtn6", "Resume", overwrite::Resume);
    BitBtn1 = button("BitBtn1", "Overwrite", overwrite::Overwrite);
    BitBtn2 = button("BitBtn2", "All", overwrite::All);
    BitBtn3 = button("BitBtn3", "Skip", overwrite::Skip);
    BitBtn5 = button("BitBtn5", "Save as", overwrite::SaveAs);
    BitBtn4 = button("BitBtn4", "Cancel", overwrite::Cancel);
    BitBtn7 = button("BitBtn7", "Skip All", overwrite::SkipAll);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {BitBtn6, BitBtn1, BitBtn2, BitBtn3, BitBtn7, BitBtn5, BitBtn4})
        buttons->addWidget(b);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(re1, 1);
    layout->addWidget(Label1);
    layout->addLayout(buttons);

    TranslateForm(this);
}

void TFReWrite::BitBtn1Click(QPushButton* button)
{
    const int tag = button->property("tag").toInt();
    if (tag == overwrite::SaveAs) {
        QString path = NewPath;
        // Cancelled, or confirmed empty: no destination, so the question stays.
        if (!InputLine(msl->Text(1), msl->Text(2), path, false, kMaxPathLength, this) || path.isEmpty())
            return;
        NewPath = path;
    }
    answer_ = tag;
    done(QDialog::Accepted);
}

void TFReWrite::reject()
{
    answer_ = overwrite::Cancel;
    QDialog::reject();
}

void TFReWrite::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen()) {
        QRect r = frameGeometry();
        r.moveCenter(s->availableGeometry().center());
        move(r.topLeft());
    }
    // Once the modal loop runs, the question comes to the front even when the
    // program is not the active one (a long batch left in the background).
    QTimer::singleShot(0, this, [this] {
        raise();
        activateWindow();
    });
}

int AskReWrite(QString& FileName, QWidget* parent)
{
    TFReWrite form(parent ? parent : QApplication::activeWindow());
    form.re1->append(form.msl->Text(0));
    form.re1->append(FileName);
    form.NewPath = FileName;
    if (!FTPOptions.Font.Name.isEmpty())
        ApplyFontRec(&form, FTPOptions.Font); // the common font setting
    form.exec();
    const int answer = form.Answer();
    if (answer == overwrite::SaveAs)
        FileName = form.NewPath;
    return answer;
}
