#include "i18n/MsgLanguage.h"

TMsgLanguage::TMsgLanguage(QObject* parent, const QStringList& items)
    : QObject(parent), items_(items)
{
    setObjectName(QStringLiteral("msl"));
}

QString TMsgLanguage::Text(int index) const
{
    return index >= 0 && index < items_.size() ? items_.at(index) : QString();
}

bool TMsgLanguage::SetText(int index, const QString& text)
{
    if (index < 0 || index >= items_.size())
        return false;
    items_[index] = text;
    return true;
}

TMsgLanguage* TMsgLanguage::Of(const QObject* window)
{
    if (!window)
        return nullptr;
    return window->findChild<TMsgLanguage*>(QStringLiteral("msl"), Qt::FindDirectChildrenOnly);
}
