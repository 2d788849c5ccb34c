#include "ui/FormLanguage.h"

#include "i18n/LanguageFile.h"
#include "settings/Globals.h"
#include "ui/FormTexts.h"

#include <QAction>
#include <QMenu>
#include <QMetaObject>
#include <QPointer>
#include <QWidget>

// Lets a window rebuild texts it composes from its messages (a slot named
// "LanguageChanged()", when it has one).
static void notifyLanguageChanged(QWidget* window)
{
    if (window->metaObject()->indexOfMethod("LanguageChanged()") >= 0)
        QMetaObject::invokeMethod(window, "LanguageChanged", Qt::DirectConnection);
}

void TranslateForm(QWidget* window)
{
    if (!window)
        return;
    if (LangInit && LangFile == DefaultLanguageName())
        WriteFormTexts(window, LanguageFilePath(DefaultLanguageName()));
    if (LangOn) {
        ReadFormTexts(window, LanguageFilePath(LangFile));
        notifyLanguageChanged(window);
    }
}

void PostRetranslate(QWidget* mainWindow, int param)
{
    QPointer<QWidget> target(mainWindow);
    QMetaObject::invokeMethod(
        mainWindow,
        [target, param] {
            if (target)
                RetranslateForm(target, param);
        },
        Qt::QueuedConnection);
}

static void retranslateOne(QWidget* window, const QString& file)
{
    RestoreBuiltInTexts(window);
    ReadFormTexts(window, file);
    notifyLanguageChanged(window);
}

void RetranslateForm(QWidget* mainWindow, int param)
{
    if (!mainWindow || (!LangOn && param != 1))
        return;
    const QString file = LanguageFilePath(LangOn ? LangFile : DefaultLanguageName());
    retranslateOne(mainWindow, file);
    const auto children = mainWindow->findChildren<QWidget*>();
    for (QWidget* w : children)
        if (w->isWindow() && !qobject_cast<QMenu*>(w))
            retranslateOne(w, file);
}

static QAction* englishEntry(QMenu* miLang)
{
    const auto actions = miLang->actions();
    for (QAction* a : actions)
        if (a->objectName() == QLatin1String("miEnglish"))
            return a;
    return nullptr;
}

void BuildLanguageMenu(QWidget* mainWindow, QMenu* miLang)
{
    if (!miLang)
        return;
    QAction* english = englishEntry(miLang);
    if (!english) {
        miLang->clear();
        english = new QAction(QStringLiteral("Default (English)"), miLang);
        english->setObjectName(QStringLiteral("miEnglish"));
        miLang->addAction(english);
        miLang->addSeparator();
    }
    english->setData(-1);
    english->setCheckable(true);
    if (!english->property("varnothLangConnected").toBool()) {
        QObject::connect(english, &QAction::triggered, miLang,
                         [mainWindow, miLang, english] { miEnglishClick(mainWindow, miLang, english); });
        english->setProperty("varnothLangConnected", true);
    }

    // 1. Drop every entry after the fixed two.
    const auto actions = miLang->actions();
    for (int i = 2; i < actions.size(); ++i) {
        miLang->removeAction(actions[i]);
        if (actions[i]->parent() == miLang)
            delete actions[i];
    }
    english->setChecked(false);

    // 2. One entry per language file.
    const QStringList names = ListLanguages();
    bool matched = false;
    for (int i = 0; i < names.size(); ++i) {
        auto* a = new QAction(names[i], miLang);
        a->setData(i);
        a->setCheckable(true);
        const bool chosen = names[i].compare(LangFile, Qt::CaseInsensitive) == 0;
        a->setChecked(chosen);
        if (chosen) {
            matched = true;
            LangFile = names[i];
        }
        QObject::connect(a, &QAction::triggered, miLang, [mainWindow, miLang, a] { miEnglishClick(mainWindow, miLang, a); });
        miLang->addAction(a);
    }

    // 3. Fall back to the default language when the choice has no file.
    if (LangFile == DefaultLanguageName() || !matched || !LanguageFileExists(LangFile)) {
        LangFile = DefaultLanguageName();
        LangOn = false;
        english->setChecked(true);
    }

    // 4.
    if (LangOn)
        TranslateForm(mainWindow);
}

void miEnglishClick(QWidget* mainWindow, QMenu* miLang, QAction* clicked)
{
    if (!miLang || !clicked)
        return;
    const auto actions = miLang->actions();
    for (QAction* a : actions)
        if (a->isCheckable())
            a->setChecked(false);
    clicked->setChecked(true);
    if (clicked->data().toInt() != -1) {
        QString name = clicked->text();
        const int amp = name.indexOf('&');
        if (amp >= 0)
            name.remove(amp, 1);
        LangFile = name;
        LangOn = true;
        LangInit = false;
    } else {
        LangOn = false;
        LangFile = DefaultLanguageName();
        if (QAction* english = englishEntry(miLang))
            english->setChecked(true);
    }
    PostRetranslate(mainWindow, 1);
}
