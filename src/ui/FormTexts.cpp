#include "ui/FormTexts.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDockWidget>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMetaProperty>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableView>
#include <QTextEdit>
#include <QTreeView>
#include <QVariantMap>
#include <QWidget>

// How the property names of a language file reach the Qt widgets:
//
//   key part            widget                          Qt property
//   ------------------  ------------------------------  ------------------------------
//   Self.Caption        the window itself               windowTitle
//   X.Caption           QAction (not a separator)       text
//                       QMenu                           title
//                       QGroupBox                       title
//                       QAbstractButton (push, tool,    text
//                         check, radio buttons)
//                       QLabel                          text
//                       QDockWidget                     windowTitle
//                       page of a QTabWidget            the page's tab text
//   X.Text              QLineEdit                       text
//                       editable QComboBox              the edit text
//   X.Hint              any QWidget                     toolTip
//                       QAction                         toolTip, when set apart
//                                                       from the text
//   X.Items.N           QComboBox, QListWidget          item N's text (a combo box
//                                                       keeps its selected item)
//                       QGroupBox holding radio buttons item N = the N-th radio
//                                                       button (a radio group)
//                       any object with a QStringList   line N (TMsgLanguage "msl")
//                         property "Items"
//   X.Lines.N           QPlainTextEdit, QTextEdit       line N of the plain text
//                       any object with a QStringList   line N
//                         property "Lines"
//   X.Columns.N.Caption QTreeView, QTableView (also     horizontal header text of
//                         QTreeWidget, QTableWidget)    column N (when the model
//                                                       accepts header texts)
//
// Property names compare without regard to case, as do component names.
// A widget with the dynamic property "noTranslate" set to true is left out:
// its texts are data (a drive list, a path, a version) that a language file
// must neither record nor replace.

namespace {

const char* const kBuiltInProperty = "varnothBuiltInTexts";
// A widget whose texts are data rather than wording (mounted volumes, a
// settings path, a version number) carries this property set to true.
const char* const kNoTranslate = "noTranslate";

enum class Kind { None, String, List, Collection };

bool isNestedWindow(const QObject* o)
{
    const auto* w = qobject_cast<const QWidget*>(o);
    return w && w->isWindow() && !qobject_cast<const QMenu*>(w);
}

// Every named object that belongs to the window, depth first in creation
// order; objects of windows nested inside it belong to those windows.
void collectComponents(QObject* parent, QList<QObject*>& out)
{
    for (QObject* c : parent->children()) {
        if (isNestedWindow(c))
            continue;
        const QString name = c->objectName();
        if (!name.isEmpty() && !name.startsWith(QLatin1String("qt_")) && !c->property(kNoTranslate).toBool())
            out << c;
        collectComponents(c, out);
    }
}

QObject* findComponent(const QList<QObject*>& comps, const QString& name)
{
    for (QObject* c : comps)
        if (c->objectName() == name)
            return c;
    for (QObject* c : comps)
        if (c->objectName().compare(name, Qt::CaseInsensitive) == 0)
            return c;
    return nullptr;
}

bool same(const QString& a, const char* b) { return a.compare(QLatin1String(b), Qt::CaseInsensitive) == 0; }

QTabWidget* tabOfPage(QObject* o, int* index)
{
    auto* page = qobject_cast<QWidget*>(o);
    if (!page || !page->parentWidget() || !qobject_cast<QStackedWidget*>(page->parentWidget()))
        return nullptr;
    auto* tabs = qobject_cast<QTabWidget*>(page->parentWidget()->parentWidget());
    if (!tabs)
        return nullptr;
    *index = tabs->indexOf(page);
    return *index >= 0 ? tabs : nullptr;
}

// The tool tip Qt derives from an action's text when none is set.
QString derivedToolTip(const QAction* a)
{
    QString t = a->text();
    t.remove(QStringLiteral("..."));
    QString out;
    for (int i = 0; i < t.size(); ++i) {
        if (t[i] == '&' && i + 1 < t.size()) {
            out += t[++i];
            continue;
        }
        out += t[i];
    }
    return out;
}

QList<QRadioButton*> radioItems(QObject* o)
{
    auto* box = qobject_cast<QGroupBox*>(o);
    if (!box)
        return {};
    return box->findChildren<QRadioButton*>(QString(), Qt::FindDirectChildrenOnly);
}

int metaStringListProperty(QObject* o, const QString& name)
{
    const QMetaObject* mo = o->metaObject();
    for (int i = 0; i < mo->propertyCount(); ++i) {
        const QMetaProperty p = mo->property(i);
        if (p.typeId() == QMetaType::QStringList && QString::fromLatin1(p.name()).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

// ---- string properties -------------------------------------------------

bool hasString(QObject* o, const QString& prop)
{
    int tab = -1;
    if (same(prop, "Caption")) {
        if (auto* a = qobject_cast<QAction*>(o))
            return !a->isSeparator();
        return qobject_cast<QMenu*>(o) || qobject_cast<QGroupBox*>(o) || qobject_cast<QAbstractButton*>(o)
            || qobject_cast<QLabel*>(o) || qobject_cast<QDockWidget*>(o) || tabOfPage(o, &tab);
    }
    if (same(prop, "Text")) {
        if (qobject_cast<QLineEdit*>(o) && !qobject_cast<QComboBox*>(o->parent()))
            return true;
        auto* cb = qobject_cast<QComboBox*>(o);
        return cb && cb->isEditable();
    }
    if (same(prop, "Hint"))
        return qobject_cast<QWidget*>(o) || qobject_cast<QAction*>(o);
    return false;
}

QString getString(QObject* o, const QString& prop)
{
    int tab = -1;
    if (same(prop, "Caption")) {
        if (auto* a = qobject_cast<QAction*>(o)) return a->text();
        if (auto* m = qobject_cast<QMenu*>(o)) return m->title();
        if (auto* g = qobject_cast<QGroupBox*>(o)) return g->title();
        if (auto* b = qobject_cast<QAbstractButton*>(o)) return b->text();
        if (auto* l = qobject_cast<QLabel*>(o)) return l->text();
        if (auto* d = qobject_cast<QDockWidget*>(o)) return d->windowTitle();
        if (QTabWidget* t = tabOfPage(o, &tab)) return t->tabText(tab);
    } else if (same(prop, "Text")) {
        if (auto* e = qobject_cast<QLineEdit*>(o)) return e->text();
        if (auto* cb = qobject_cast<QComboBox*>(o)) return cb->currentText();
    } else if (same(prop, "Hint")) {
        if (auto* a = qobject_cast<QAction*>(o)) {
            const QString tip = a->toolTip();
            return tip == derivedToolTip(a) ? QString() : tip;
        }
        if (auto* w = qobject_cast<QWidget*>(o)) return w->toolTip();
    }
    return {};
}

void setString(QObject* o, const QString& prop, const QString& v)
{
    int tab = -1;
    if (same(prop, "Caption")) {
        if (auto* a = qobject_cast<QAction*>(o)) a->setText(v);
        else if (auto* m = qobject_cast<QMenu*>(o)) m->setTitle(v);
        else if (auto* g = qobject_cast<QGroupBox*>(o)) g->setTitle(v);
        else if (auto* b = qobject_cast<QAbstractButton*>(o)) b->setText(v);
        else if (auto* l = qobject_cast<QLabel*>(o)) l->setText(v);
        else if (auto* d = qobject_cast<QDockWidget*>(o)) d->setWindowTitle(v);
        else if (QTabWidget* t = tabOfPage(o, &tab)) t->setTabText(tab, v);
    } else if (same(prop, "Text")) {
        if (auto* e = qobject_cast<QLineEdit*>(o)) e->setText(v);
        else if (auto* cb = qobject_cast<QComboBox*>(o)) cb->setEditText(v);
    } else if (same(prop, "Hint")) {
        if (auto* a = qobject_cast<QAction*>(o)) a->setToolTip(v);
        else if (auto* w = qobject_cast<QWidget*>(o)) w->setToolTip(v);
    }
}

// ---- string-list properties ----------------------------------------------

bool hasList(QObject* o, const QString& prop)
{
    if (same(prop, "Items")) {
        if (qobject_cast<QComboBox*>(o) || qobject_cast<QListWidget*>(o) || !radioItems(o).isEmpty())
            return true;
    } else if (same(prop, "Lines")) {
        if (qobject_cast<QPlainTextEdit*>(o) || qobject_cast<QTextEdit*>(o))
            return true;
    } else {
        return false;
    }
    return metaStringListProperty(o, prop) >= 0;
}

QStringList plainLines(const QString& text)
{
    return text.isEmpty() ? QStringList() : text.split('\n');
}

QStringList getList(QObject* o, const QString& prop)
{
    QStringList lines;
    if (same(prop, "Items")) {
        if (auto* cb = qobject_cast<QComboBox*>(o)) {
            for (int i = 0; i < cb->count(); ++i) lines << cb->itemText(i);
            return lines;
        }
        if (auto* lw = qobject_cast<QListWidget*>(o)) {
            for (int i = 0; i < lw->count(); ++i) lines << lw->item(i)->text();
            return lines;
        }
        const auto radios = radioItems(o);
        if (!radios.isEmpty()) {
            for (auto* r : radios) lines << r->text();
            return lines;
        }
    } else if (same(prop, "Lines")) {
        if (auto* p = qobject_cast<QPlainTextEdit*>(o)) return plainLines(p->toPlainText());
        if (auto* t = qobject_cast<QTextEdit*>(o)) return plainLines(t->toPlainText());
    }
    const int idx = metaStringListProperty(o, prop);
    return idx >= 0 ? o->metaObject()->property(idx).read(o).toStringList() : lines;
}

// Replaces line index (already checked to be in range).
void setListLine(QObject* o, const QString& prop, int index, const QString& v)
{
    if (same(prop, "Items")) {
        if (auto* cb = qobject_cast<QComboBox*>(o)) {
            // Changing an item's text must not change which item is chosen.
            const int selected = cb->currentIndex();
            const QSignalBlocker block(cb);
            cb->setItemText(index, v);
            cb->setCurrentIndex(selected);
            return;
        }
        if (auto* lw = qobject_cast<QListWidget*>(o)) {
            lw->item(index)->setText(v);
            return;
        }
        const auto radios = radioItems(o);
        if (!radios.isEmpty()) {
            radios[index]->setText(v);
            return;
        }
    } else if (same(prop, "Lines")) {
        if (auto* p = qobject_cast<QPlainTextEdit*>(o)) {
            QStringList l = plainLines(p->toPlainText());
            l[index] = v;
            p->setPlainText(l.join('\n'));
            return;
        }
        if (auto* t = qobject_cast<QTextEdit*>(o)) {
            QStringList l = plainLines(t->toPlainText());
            l[index] = v;
            t->setPlainText(l.join('\n'));
            return;
        }
    }
    const int idx = metaStringListProperty(o, prop);
    if (idx < 0)
        return;
    const QMetaProperty mp = o->metaObject()->property(idx);
    QStringList l = mp.read(o).toStringList();
    if (index < l.size()) {
        l[index] = v;
        mp.write(o, l);
    }
}

// ---- collections: list view columns -------------------------------------

QAbstractItemModel* headerModel(QObject* o)
{
    auto* view = qobject_cast<QAbstractItemView*>(o);
    if (!view || !view->model())
        return nullptr;
    // Columns of tree and table views, also while their header is hidden (a
    // list shown in a simple style keeps its column titles for later).
    if (!qobject_cast<QTreeView*>(o) && !qobject_cast<QTableView*>(o))
        return nullptr;
    QAbstractItemModel* m = view->model();
    if (m->columnCount() == 0)
        return nullptr;
    // A model that does not take header texts (a file system model, say)
    // has no translatable columns.
    const QVariant first = m->headerData(0, Qt::Horizontal, Qt::DisplayRole);
    return m->setHeaderData(0, Qt::Horizontal, first, Qt::DisplayRole) ? m : nullptr;
}

bool hasCollection(QObject* o, const QString& prop)
{
    return same(prop, "Columns") && headerModel(o);
}

// ---- one key -------------------------------------------------------------

Kind kindOf(QObject* o, const QString& prop)
{
    if (hasString(o, prop)) return Kind::String;
    if (hasList(o, prop)) return Kind::List;
    if (hasCollection(o, prop)) return Kind::Collection;
    return Kind::None;
}

QString canonicalKey(QObject* o, const char* prop, int index = -1, const char* sub = nullptr)
{
    QString k = o->objectName() + '.' + QLatin1String(prop);
    if (index >= 0) k += '.' + QString::number(index);
    if (sub) k += '.' + QLatin1String(sub);
    return k;
}

class Applier {
public:
    Applier(QWidget* w, bool remember) : window_(w), remember_(remember)
    {
        collectComponents(window_, comps_);
        builtIn_ = window_->property(kBuiltInProperty).toMap();
    }
    ~Applier()
    {
        if (remember_)
            window_->setProperty(kBuiltInProperty, builtIn_);
    }

    void apply(const QString& rawKey, const QString& value)
    {
        const QString key = rawKey.trimmed();
        if (key.compare(QLatin1String("Self.Caption"), Qt::CaseInsensitive) == 0) {
            keep(QStringLiteral("Self.Caption"), window_->windowTitle());
            window_->setWindowTitle(value);
            return;
        }
        const TTextKey k = ParseTextKey(key);
        QObject* o = findComponent(comps_, k.Component);
        if (!o || k.Property.isEmpty())
            return;
        switch (kindOf(o, k.Property)) {
        case Kind::String: {
            const QString current = getString(o, k.Property);
            if (current.isEmpty() && remember_)
                return; // a text the window does not show stays absent
            keep(o->objectName() + '.' + k.Property, current);
            setString(o, k.Property, value);
            return;
        }
        case Kind::List: {
            const QStringList lines = getList(o, k.Property);
            if (!k.HasIndex || k.Index < 0 || k.Index >= lines.size())
                return;
            keep(o->objectName() + '.' + k.Property + '.' + QString::number(k.Index), lines.at(k.Index));
            setListLine(o, k.Property, k.Index, value);
            return;
        }
        case Kind::Collection: {
            QAbstractItemModel* m = headerModel(o);
            if (!k.HasIndex || k.Index < 0 || k.Index >= m->columnCount() || !same(k.SubProperty, "Caption"))
                return;
            keep(o->objectName() + '.' + k.Property + '.' + QString::number(k.Index) + ".Caption",
                 m->headerData(k.Index, Qt::Horizontal, Qt::DisplayRole).toString());
            m->setHeaderData(k.Index, Qt::Horizontal, value, Qt::DisplayRole);
            return;
        }
        case Kind::None:
            return;
        }
    }

private:
    void keep(const QString& key, const QString& original)
    {
        if (remember_ && !builtIn_.contains(key))
            builtIn_.insert(key, original);
    }

    QWidget* window_;
    bool remember_;
    QList<QObject*> comps_;
    QVariantMap builtIn_;
};

} // namespace

QString FormSection(const QWidget* window)
{
    return QString::fromLatin1(window->metaObject()->className()).toUpper();
}

TLangPairs CollectFormTexts(QWidget* window)
{
    TLangPairs out;
    out.append({QStringLiteral("Self.Caption"), EncodeLangValue(window->windowTitle())});
    QList<QObject*> comps;
    collectComponents(window, comps);
    for (QObject* o : comps) {
        // A radio button of a radio group is written as the group's item.
        if (qobject_cast<QRadioButton*>(o) && !radioItems(o->parent()).isEmpty())
            continue;
        for (const char* prop : {"Caption", "Text", "Hint"}) {
            if (!hasString(o, QLatin1String(prop)))
                continue;
            const QString v = getString(o, QLatin1String(prop));
            if (v.isEmpty() || (qstrcmp(prop, "Caption") == 0 && v == QLatin1String("-")))
                continue;
            out.append({canonicalKey(o, prop), EncodeLangValue(v)});
        }
        for (const char* prop : {"Items", "Lines"}) {
            if (!hasList(o, QLatin1String(prop)))
                continue;
            const QStringList lines = getList(o, QLatin1String(prop));
            for (int i = 0; i < lines.size(); ++i)
                if (!lines[i].isEmpty())
                    out.append({canonicalKey(o, prop, i), EncodeLangValue(lines[i])});
        }
        if (QAbstractItemModel* m = headerModel(o)) {
            for (int i = 0; i < m->columnCount(); ++i)
                out.append({canonicalKey(o, "Columns", i, "Caption"),
                             EncodeLangValue(m->headerData(i, Qt::Horizontal, Qt::DisplayRole).toString())});
        }
    }
    return out;
}

void ApplyFormTexts(QWidget* window, const TLangPairs& pairs)
{
    if (!window)
        return;
    Applier a(window, true);
    for (const auto& p : pairs)
        a.apply(p.first, DecodeLangValue(p.second));
}

void ReadFormTexts(QWidget* window, const QString& filePath)
{
    if (!window)
        return;
    ApplyFormTexts(window, ReadLanguageSection(filePath, FormSection(window)));
}

bool WriteFormTexts(QWidget* window, const QString& filePath)
{
    if (!window)
        return false;
    return WriteLanguageSection(filePath, FormSection(window), CollectFormTexts(window));
}

void RestoreBuiltInTexts(QWidget* window)
{
    if (!window)
        return;
    const QVariantMap builtIn = window->property(kBuiltInProperty).toMap();
    Applier a(window, false);
    for (auto it = builtIn.cbegin(); it != builtIn.cend(); ++it)
        a.apply(it.key(), it.value().toString());
    window->setProperty(kBuiltInProperty, QVariantMap());
}
