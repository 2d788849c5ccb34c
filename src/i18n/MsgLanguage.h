#pragma once
// TMsgLanguage: the message list every window carries as a child named "msl".
// It holds the texts the window's code shows at run time (messages, prompts,
// captions of question boxes) in a fixed order; the code takes them by index,
// and a language file translates them like any other list ("msl.Items.N").
#include <QObject>
#include <QString>
#include <QStringList>

class TMsgLanguage : public QObject {
    Q_OBJECT
    // The one translatable property; language files address its lines as
    // "msl.Items.N".
    Q_PROPERTY(QStringList Items READ Items WRITE setItems)

public:
    // Creates the list as a child of parent (the window), named "msl".
    explicit TMsgLanguage(QObject* parent = nullptr, const QStringList& items = {});

    QStringList Items() const { return items_; }
    void setItems(const QStringList& items) { items_ = items; } // copies the lines

    int Count() const { return int(items_.size()); }

    // The text at index, or an empty string when the index is out of range
    // (a missing message must never crash the caller).
    QString Text(int index) const;

    // Replaces one line; false (and no change) when the index is out of range.
    bool SetText(int index, const QString& text);

    // The message list of a window (its child named "msl"), or nullptr.
    static TMsgLanguage* Of(const QObject* window);

private:
    QStringList items_;
};
