#include "ui/T_Certificate.h"

#include "i18n/MsgLanguage.h"
#include "settings/Options.h"
#include "ui/FontRec.h"
#include "ui/FormLanguage.h"

#include <QApplication>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

namespace {

template <class W>
W* named(W* w, const char* name)
{
    w->setObjectName(QLatin1String(name));
    return w;
}

QString withoutAmpersand(QString text)
{
    return text.remove(QLatin1Char('&')).remove(QLatin1Char(':')).trimmed();
}

const QString DateFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

} // namespace

T_Certificate::T_Certificate(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("T_Certificate"));
    setWindowTitle(QStringLiteral("Server Certificate"));
    msl = new TMsgLanguage(this, {QStringLiteral("%1 to %2 (local time)"), QStringLiteral("%1 to %2 (UTC)"),
                                  QStringLiteral("unknown"), QStringLiteral("none")});

    auto* icon = named(new QLabel(this), "imgWarning");
    const int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, this).pixmap(size, size));
    icon->setAccessibleName(QStringLiteral("Warning"));
    icon->setProperty("noTranslate", true);
    lIntro = named(new QLabel(QStringLiteral("The identity of this server cannot be verified. Compare the "
                                             "fingerprint with the one its administrator gives you before "
                                             "you trust it."),
                              this),
                   "lIntro");
    lIntro->setWordWrap(true);
    auto* intro = new QHBoxLayout;
    intro->addWidget(icon, 0, Qt::AlignTop);
    intro->addWidget(lIntro, 1);

    // Captions (wording) beside values (data: never part of a language file).
    auto* grid = new QGridLayout;
    grid->setColumnStretch(1, 1);
    QList<QPair<QLabel*, QLabel*>> rows;
    auto row = [&](const char* captionName, const QString& caption, const char* valueName) {
        auto* c = named(new QLabel(caption, this), captionName);
        auto* v = named(new QLabel(this), valueName);
        v->setProperty("noTranslate", true);
        v->setWordWrap(true);
        v->setTextFormat(Qt::PlainText);
        v->setTextInteractionFlags(Qt::TextSelectableByMouse);
        const int r = grid->rowCount();
        grid->addWidget(c, r, 0, Qt::AlignTop | Qt::AlignLeft);
        grid->addWidget(v, r, 1);
        rows << qMakePair(c, v);
        return v;
    };
    lHost = row("lbHost", QStringLiteral("Server:"), "lHost");
    lSubject = row("lbSubject", QStringLiteral("Issued to:"), "lSubject");
    lIssuer = row("lbIssuer", QStringLiteral("Issued by:"), "lIssuer");
    lValidity = row("lbValidity", QStringLiteral("Valid:"), "lValidity");
    lFingerprint = row("lbFingerprint", QStringLiteral("SHA-256 fingerprint:"), "lFingerprint");
    lProblems = row("lbProblems", QStringLiteral("Problems:"), "lProblems");
    // The fingerprint is what the user compares and copies: fixed-width
    // characters, one line, reachable and selectable by keyboard too.
    lFingerprint->setWordWrap(false);
    lFingerprint->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    lFingerprint->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    lFingerprint->setFocusPolicy(Qt::StrongFocus);
    QFont bold = lProblems->font();
    bold.setBold(true);
    lProblems->setFont(bold);

    auto button = [this](const char* name, const QString& text, const QString& hint, int answer) {
        auto* b = named(new QPushButton(text, this), name);
        b->setToolTip(hint);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, [this, answer] { Answered(answer); });
        return b;
    };
    btnAcceptOnce = button("btnAcceptOnce", QStringLiteral("Accept &once"),
                           QStringLiteral("Trust this certificate for this connection only"), certanswer::AcceptOnce);
    btnAcceptAlways = button("btnAcceptAlways", QStringLiteral("&Always accept"),
                             QStringLiteral("Trust this certificate now and whenever this server shows it again"),
                             certanswer::AcceptAlways);
    btnReject = button("btnReject", QStringLiteral("&Reject"), QStringLiteral("Do not connect to this server"),
                       certanswer::Reject);
    // The safe answer is the one Enter gives.
    btnReject->setAutoDefault(true);
    btnReject->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* b : {btnAcceptOnce, btnAcceptAlways, btnReject})
        buttons->addWidget(b);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(intro);
    layout->addSpacing(6);
    layout->addLayout(grid);
    layout->addStretch(1);
    layout->addLayout(buttons);

    TranslateForm(this);
    // Screen readers announce each value under its (translated) caption.
    for (const auto& [caption, value] : rows)
        value->setAccessibleName(withoutAmpersand(caption->text()));
    btnReject->setFocus();
}

QString T_Certificate::ValidityText(const QDateTime& notBefore, const QDateTime& notAfter) const
{
    auto when = [this](const QDateTime& t, bool utc) {
        if (!t.isValid())
            return msl->Text(certmsg::Unknown);
        return (utc ? t.toUTC() : t.toLocalTime()).toString(DateFormat);
    };
    return msl->Text(certmsg::LocalTime).arg(when(notBefore, false), when(notAfter, false)) + QLatin1Char('\n') +
           msl->Text(certmsg::Utc).arg(when(notBefore, true), when(notAfter, true));
}

void T_Certificate::ShowCertificate(const TTlsCertificateInfo& cert)
{
    auto orUnknown = [this](const QString& s) { return s.trimmed().isEmpty() ? msl->Text(certmsg::Unknown) : s; };
    lHost->setText(cert.Port.isEmpty() ? cert.Host : cert.Host + QLatin1Char(':') + cert.Port);
    lSubject->setText(orUnknown(cert.Subject));
    lIssuer->setText(orUnknown(cert.Issuer));
    lValidity->setText(ValidityText(cert.NotBefore, cert.NotAfter));
    lFingerprint->setText(orUnknown(cert.Sha256));
    QStringList problems;
    for (const QString& p : cert.Problems)
        if (!p.trimmed().isEmpty())
            problems << QStringLiteral("\u2022 ") + p.trimmed();
    lProblems->setText(problems.isEmpty() ? msl->Text(certmsg::NoProblems) : problems.join(QLatin1Char('\n')));
    for (QLabel* value : {lHost, lSubject, lIssuer, lValidity, lFingerprint, lProblems})
        value->setAccessibleDescription(value->text());
}

void T_Certificate::Answered(int answer)
{
    answer_ = answer;
    if (answer == certanswer::Reject)
        QDialog::reject();
    else
        done(QDialog::Accepted);
}

void T_Certificate::reject()
{
    answer_ = certanswer::Reject;
    QDialog::reject();
}

int AskCertificate(const TTlsCertificateInfo& cert, QWidget* parent)
{
    T_Certificate form(parent ? parent : QApplication::activeWindow());
    form.ShowCertificate(cert);
    if (!FTPOptions.Font.Name.isEmpty())
        ApplyFontRec(&form, FTPOptions.Font);
    // Asked during a connection the user may have left in the background.
    QTimer::singleShot(0, &form, [&form] {
        form.raise();
        form.activateWindow();
    });
    form.exec();
    return form.Answer();
}
