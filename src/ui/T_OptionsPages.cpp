// T_Options: the seven pages and their controls. Every control carries its
// component name; fields that hold the user's data (names, numbers,
// passwords, the lists) are marked "noTranslate" so that a language file
// neither records nor replaces their contents.
#include "ui/T_Options.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

void markData(QObject* o) { o->setProperty("noTranslate", true); }

QLineEdit* dataEdit(QWidget* parent, const char* name)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    markData(e);
    return e;
}

QCheckBox* check(QWidget* parent, const char* name, const QString& text)
{
    auto* c = new QCheckBox(text, parent);
    c->setObjectName(QLatin1String(name));
    return c;
}

QPushButton* button(QWidget* parent, const char* name, const QString& text)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

QWidget* page(const char* name)
{
    auto* w = new QWidget;
    w->setObjectName(QLatin1String(name));
    return w;
}

QListWidget* dataList(QWidget* parent, const char* name)
{
    auto* l = new QListWidget(parent);
    l->setObjectName(QLatin1String(name));
    markData(l);
    return l;
}

// A number field that lets any whole number be typed: a value outside the
// range stays in the field as typed until the field is left (or "OK" takes
// it), and is then brought to the nearest end of the range. A plain spin box
// would refuse the keystroke instead, or silently keep its old value.
class TNumberBox final : public QSpinBox {
public:
    using QSpinBox::QSpinBox;

protected:
    QValidator::State validate(QString& text, int&) const override
    {
        const QString t = text.trimmed();
        if (t.isEmpty() || t == QLatin1String("-") || t == QLatin1String("+"))
            return QValidator::Intermediate;
        bool ok = false;
        const qlonglong v = t.toLongLong(&ok);
        if (!ok)
            return QValidator::Invalid;
        return v >= minimum() && v <= maximum() ? QValidator::Acceptable : QValidator::Intermediate;
    }
    int valueFromText(const QString& text) const override
    {
        return RangedValue(text, TRange{minimum(), maximum()}, value());
    }
    void fixup(QString& text) const override { text = QString::number(valueFromText(text)); }
};

// "*" for every hidden character, whatever the style's own choice.
void passwordField(QLineEdit* e) { e->setStyleSheet(QStringLiteral("lineedit-password-character: 42;")); }

} // namespace

QSpinBox* T_Options::NumberField(QWidget* parent, const char* upDown, const char* edit, TRange range)
{
    // The up-down control is the spin box; its edit field carries the edit's
    // name. A typed value outside the range is corrected to the nearest end.
    auto* spin = new TNumberBox(parent);
    spin->setObjectName(QLatin1String(upDown));
    spin->setRange(range.Min, range.Max);
    spin->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    spin->setKeyboardTracking(false);
    spin->setMaximumWidth(120);
    QLineEdit* line = spin->findChild<QLineEdit*>();
    line->setObjectName(QLatin1String(edit));
    markData(line);
    return spin;
}

QLabel* T_Options::Caption(QWidget* parent, const char* name, const QString& text, QWidget* control)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setBuddy(control);
    namedBy_.append({control, l});
    return l;
}

QGroupBox* T_Options::RadioGroup(QWidget* parent, const char* name, const QString& title, const QStringList& items,
                                 const QStringList& names)
{
    // The buttons are the group's direct children, in order: a language file
    // addresses them as the group's items.
    auto* g = new QGroupBox(title, parent);
    g->setObjectName(QLatin1String(name));
    auto* layout = new QVBoxLayout(g);
    for (int i = 0; i < items.size(); ++i) {
        auto* r = new QRadioButton(items[i], g);
        r->setObjectName(names.value(i, QLatin1String(name) + QStringLiteral("Item%1").arg(i)));
        layout->addWidget(r);
    }
    return g;
}

void T_Options::BuildPages()
{
    TreeView1 = new QTreeWidget(this);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    markData(TreeView1); // its nodes take the pages' (translated) captions
    TreeView1->setHeaderHidden(true);
    TreeView1->setRootIsDecorated(false);
    TreeView1->setItemsExpandable(false);
    TreeView1->setAccessibleName(QStringLiteral("Topics"));
    TreeView1->setFixedWidth(170);

    pcl = new QTabWidget(this);
    pcl->setObjectName(QStringLiteral("pcl"));
    pcl->tabBar()->hide(); // the tree chooses the page
    pcl->setDocumentMode(true);
    const QList<QPair<QWidget*, QString>> pages = {
        {BuildConnectionPage(), QStringLiteral("Connection")},
        {BuildAsciiPage(), QStringLiteral("Ascii/Binary")},
        {BuildLogPage(), QStringLiteral("Log ")},
        {BuildKeepAlivePage(), QStringLiteral("Keep Alive")},
        {BuildProxyPage(), QStringLiteral("Proxy / Firewall ")},
        {BuildDisplayPage(), QStringLiteral("Display / Prompts")},
        {BuildLanguagePage(), QStringLiteral("Language")},
    };
    for (int tag = 0; tag < pages.size(); ++tag) {
        pages[tag].first->setProperty("tag", tag);
        pcl->addTab(pages[tag].first, pages[tag].second);
        TreeView1->addTopLevelItem(new QTreeWidgetItem(QStringList{pages[tag].second.trimmed()}));
    }
}

QWidget* T_Options::BuildConnectionPage()
{
    QWidget* p = TabSheet1 = page("TabSheet1");
    udTimeOut = NumberField(p, "udTimeOut", "eTimeOut", optrange::TimeOut);
    eTimeOut = udTimeOut->findChild<QLineEdit*>();
    udRetry = NumberField(p, "udRetry", "eRetry", optrange::Retry);
    eRetry = udRetry->findChild<QLineEdit*>();
    cbAno = check(p, "cbAno", QStringLiteral("E-mail Address for anonymous connection"));
    eAno = dataEdit(p, "eAno");
    namedBy_.append({eAno, cbAno});
    cbSync = check(p, "cbSync", QStringLiteral("Synchronous Command"));
    cbPassiveTransfer = check(p, "cbPassiveTransfer", QStringLiteral("Passive Transfers"));
    // Kept in the file, not offered: passive mode is chosen per site.
    cbSync->hide();
    cbPassiveTransfer->hide();

    auto* form = new QFormLayout;
    form->addRow(Caption(p, "LabelTimeOut", QStringLiteral("Default Time Out"), udTimeOut), udTimeOut);
    form->addRow(Caption(p, "LabelRetry", QStringLiteral("Connections Retry"), udRetry), udRetry);
    auto* layout = new QVBoxLayout(p);
    layout->addLayout(form);
    layout->addWidget(cbAno);
    layout->addWidget(eAno);
    layout->addWidget(cbSync);
    layout->addWidget(cbPassiveTransfer);
    layout->addStretch(1);
    return p;
}

QWidget* T_Options::BuildAsciiPage()
{
    QWidget* p = TabSheet2 = page("TabSheet2");
    rgMode = RadioGroup(p, "rgMode", QStringLiteral("Default transfer type"),
                        {QStringLiteral("Auto-detect"), QStringLiteral("Ascii"), QStringLiteral("Binary")});
    lbExt = dataList(p, "lbExt");
    sbExtAdd = button(p, "sbExtAdd", QStringLiteral("Add"));
    sbExtModify = button(p, "sbExtModify", QStringLiteral("Modify"));
    sbExtRemove = button(p, "sbExtRemove", QStringLiteral("Remove"));

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(sbExtAdd);
    buttons->addWidget(sbExtModify);
    buttons->addWidget(sbExtRemove);
    buttons->addStretch(1);
    auto* list = new QHBoxLayout;
    list->addWidget(lbExt, 1);
    list->addLayout(buttons);
    auto* layout = new QVBoxLayout(p);
    layout->addWidget(rgMode);
    layout->addWidget(Caption(p, "LabelExt", QStringLiteral("Text Files Extension"), lbExt));
    layout->addLayout(list, 1);
    return p;
}

QWidget* T_Options::BuildLogPage()
{
    QWidget* p = TabSheet4 = page("TabSheet4");
    cbLog = check(p, "cbLog", QStringLiteral("Enable Log"));
    eLogFile = dataEdit(p, "eLogFile");
    sbLogFile = button(p, "sbLogFile", QStringLiteral("Log File Name"));
    namedBy_.append({eLogFile, sbLogFile});
    udLog = NumberField(p, "udLog", "eLog", optrange::LogSize);
    eLog = udLog->findChild<QLineEdit*>();
    udLogLines = NumberField(p, "udLogLines", "eLogLines", optrange::LogLines);
    eLogLines = udLogLines->findChild<QLineEdit*>();

    auto* file = new QHBoxLayout;
    file->addWidget(sbLogFile);
    file->addWidget(eLogFile, 1);
    auto* form = new QFormLayout;
    form->addRow(Caption(p, "LabelLogSize", QStringLiteral("Maximum capacity of log file (Kbytes)"), udLog), udLog);
    form->addRow(Caption(p, "LabelLogLines", QStringLiteral("Maximum capacity of log window (lines)"), udLogLines),
                 udLogLines);
    auto* layout = new QVBoxLayout(p);
    layout->addWidget(cbLog);
    layout->addLayout(file);
    layout->addLayout(form);
    layout->addStretch(1);
    return p;
}

QWidget* T_Options::BuildKeepAlivePage()
{
    QWidget* p = TabSheet5 = page("TabSheet5");
    cbKeep = check(p, "cbKeep", QStringLiteral("Keep connection"));
    udKeep = NumberField(p, "udKeep", "eKeep", optrange::StartKeep);
    eKeep = udKeep->findChild<QLineEdit*>();
    udDuration = NumberField(p, "udDuration", "eduration", optrange::DurationKeep);
    eduration = udDuration->findChild<QLineEdit*>();
    lbKeep = dataList(p, "lbKeep");
    sbKeepAdd = button(p, "sbKeepAdd", QStringLiteral("Add"));
    sbKeepDelete = button(p, "sbKeepDelete", QStringLiteral("Delete"));

    auto* form = new QFormLayout;
    form->addRow(Caption(p, "LabelKeepStart", QStringLiteral("Start after (seconds idle)"), udKeep), udKeep);
    form->addRow(Caption(p, "LabelKeepDuration", QStringLiteral("Keep alive for (minutes)"), udDuration), udDuration);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(sbKeepAdd);
    buttons->addWidget(sbKeepDelete);
    buttons->addStretch(1);
    auto* list = new QHBoxLayout;
    list->addWidget(lbKeep, 1);
    list->addLayout(buttons);
    auto* layout = new QVBoxLayout(p);
    layout->addWidget(cbKeep);
    layout->addLayout(form);
    layout->addWidget(Caption(p, "LabelKeepCmd", QStringLiteral("Commands"), lbKeep));
    layout->addLayout(list, 1);
    return p;
}

QWidget* T_Options::BuildProxyPage()
{
    QWidget* p = TabSheet6 = page("TabSheet6");
    rgType = RadioGroup(p, "rgType", QStringLiteral("Connection type"),
                        {QStringLiteral("Direct connection"), QStringLiteral("Proxy"), QStringLiteral("Sockets 4"),
                         QStringLiteral("Sockets 4 A"), QStringLiteral("Sockets 5")});

    pnlProxy = new QGroupBox(QStringLiteral("Proxy"), p);
    pnlProxy->setObjectName(QStringLiteral("pnlProxy"));
    eProxy = dataEdit(pnlProxy, "eProxy");
    eProxyPort = dataEdit(pnlProxy, "eProxyPort");
    eProxyPsw = dataEdit(pnlProxy, "eProxyPsw");
    passwordField(eProxyPsw);
    cbProxyPswMask = check(pnlProxy, "cbProxyPswMask", QStringLiteral("Masked Password"));
    auto* proxy = new QFormLayout(pnlProxy);
    proxy->addRow(Caption(pnlProxy, "LabelProxy", QStringLiteral("Server"), eProxy), eProxy);
    proxy->addRow(Caption(pnlProxy, "LabelProxyPort", QStringLiteral("Port"), eProxyPort), eProxyPort);
    proxy->addRow(Caption(pnlProxy, "LabelProxyPsw", QStringLiteral("Password"), eProxyPsw), eProxyPsw);
    proxy->addRow(QString(), cbProxyPswMask);

    pnlSocks = new QGroupBox(QStringLiteral("Sockets"), p);
    pnlSocks->setObjectName(QStringLiteral("pnlSocks"));
    eSocks = dataEdit(pnlSocks, "eSocks");
    eSocksPort = dataEdit(pnlSocks, "eSocksPort");
    eSocksUC = dataEdit(pnlSocks, "eSocksUC");
    eSocksPsw = dataEdit(pnlSocks, "eSocksPsw");
    passwordField(eSocksPsw);
    cbSocksPswMask = check(pnlSocks, "cbSocksPswMask", QStringLiteral("Masked Password"));
    auto* socks = new QFormLayout(pnlSocks);
    socks->addRow(Caption(pnlSocks, "LabelSocks", QStringLiteral("Server"), eSocks), eSocks);
    socks->addRow(Caption(pnlSocks, "LabelSocksPort", QStringLiteral("Port"), eSocksPort), eSocksPort);
    socks->addRow(Caption(pnlSocks, "LabelSocksUC", QStringLiteral("User Code"), eSocksUC), eSocksUC);
    socks->addRow(Caption(pnlSocks, "LabelSocksPsw", QStringLiteral("Password"), eSocksPsw), eSocksPsw);
    socks->addRow(QString(), cbSocksPswMask);

    // The firewall login is kept in the file but not offered (no connection
    // uses it): these controls stay hidden and give back what they show.
    cbFW = check(p, "cbFW", QStringLiteral("Enable FireWall"));
    gbFW = RadioGroup(p, "gbFW", QStringLiteral("FireWall"),
                      {QStringLiteral("General"), QStringLiteral("SITE site"), QStringLiteral("USER user"),
                       QStringLiteral("USER with logon"), QStringLiteral("USER/PASS/ACCT"), QStringLiteral("OPEN site"),
                       QStringLiteral("Custom")});
    eFWSimbol = dataEdit(gbFW, "eFWSimbol");
    gbFW->layout()->addWidget(eFWSimbol);
    cbFW->hide();
    gbFW->hide();

    auto* panels = new QHBoxLayout;
    panels->addWidget(pnlProxy);
    panels->addWidget(pnlSocks);
    auto* layout = new QVBoxLayout(p);
    layout->addWidget(rgType);
    layout->addLayout(panels);
    layout->addWidget(cbFW);
    layout->addWidget(gbFW);
    layout->addStretch(1);
    return p;
}

QWidget* T_Options::BuildDisplayPage()
{
    QWidget* p = TabSheet7 = page("TabSheet7");
    sbFont = button(p, "sbFont", QStringLiteral("Font"));
    sbPath = button(p, "sbPath", QStringLiteral("Initial Directory"));
    ePath = dataEdit(p, "ePath");
    namedBy_.append({ePath, sbPath});
    cbDownLoad = check(p, "cbDownLoad", QStringLiteral("Overwrite confirmation (download)"));
    cbUpload = check(p, "cbUpload", QStringLiteral("Overwrite confirmation (upload)"));
    gbPrompt = RadioGroup(p, "gbPrompt", QStringLiteral("Default Action :"),
                          {QStringLiteral("Skip"), QStringLiteral("Overwrite"), QStringLiteral("Resume")},
                          {QStringLiteral("rbSkip"), QStringLiteral("rbOverwrite"), QStringLiteral("rbResume")});
    gbDate = RadioGroup(p, "gbDate", QStringLiteral("Date format"),
                        {QStringLiteral("Default (Europe)"), QStringLiteral("USA")},
                        {QStringLiteral("rbDate"), QStringLiteral("rbDateA")});
    rbDate = gbDate->findChild<QRadioButton*>(QStringLiteral("rbDate"));
    rbDateA = gbDate->findChild<QRadioButton*>(QStringLiteral("rbDateA"));
    cbAskExit = check(p, "cbAskExit", QStringLiteral("Ask for exit"));
    cbPos = check(p, "cbPos", QStringLiteral("Save main form position"));
    cbKeyring = check(p, "cbKeyring", QStringLiteral("Keep site passwords in the desktop keyring"));

    auto* path = new QHBoxLayout;
    path->addWidget(sbPath);
    path->addWidget(ePath, 1);
    auto* groups = new QHBoxLayout;
    groups->addWidget(gbPrompt);
    groups->addWidget(gbDate);
    auto* layout = new QVBoxLayout(p);
    layout->addWidget(sbFont, 0, Qt::AlignLeft);
    layout->addLayout(path);
    layout->addWidget(cbDownLoad);
    layout->addWidget(cbUpload);
    layout->addLayout(groups);
    layout->addWidget(cbAskExit);
    layout->addWidget(cbPos);
    layout->addWidget(cbKeyring);
    layout->addStretch(1);
    return p;
}

QWidget* T_Options::BuildLanguagePage()
{
    QWidget* p = Language = page("Language");
    cbLng = check(p, "cbLng", QStringLiteral("Use localization"));
    cbFLng = new QComboBox(p);
    cbFLng->setObjectName(QStringLiteral("cbFLng"));
    markData(cbFLng); // language names, as the files are named
    LabelLangFile = Caption(p, "LabelLangFile", QStringLiteral("Language file"), cbFLng);
    cbLngInit = check(p, "cbLngInit", QStringLiteral("Recreate default language file"));
    cbLngInit->hide(); // the Language menu's business; kept as it is

    auto* file = new QHBoxLayout;
    file->addWidget(LabelLangFile);
    file->addWidget(cbFLng, 1);
    auto* layout = new QVBoxLayout(p);
    layout->addWidget(cbLng);
    layout->addLayout(file);
    layout->addWidget(cbLngInit);
    layout->addStretch(1);
    return p;
}
