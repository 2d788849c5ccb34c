#include "ui/FtpLinkStart.h"

#include "session/Session.h"
#include "session/UserInterface.h"
#include "sites/FtpLink.h"
#include "ui/T_Main.h"

#include <QAbstractItemModel>
#include <QItemSelectionModel>
#include <QPointer>
#include <QTreeView>

bool OpenLinkArguments(T_Main& window, const QStringList& arguments)
{
    for (const QString& argument : arguments) {
        if (LooksLikeLink(argument))
            return OpenFtpLink(window, argument);
    }
    return false;
}

namespace {

// Selects the row named name in the remote pane once the link's directory is
// listed. The first listing decides, whatever it holds; a session that ends
// before it selects nothing later.
void selectWhenListed(T_Main& window, const QString& name)
{
    struct Watch {
        QMetaObject::Connection listed, ended;
        void stop() { QObject::disconnect(listed); QObject::disconnect(ended); }
    };
    auto watch = std::make_shared<Watch>();
    QPointer<T_Main> guard(&window);
    watch->listed = QObject::connect(window.Session(), &TSession::ListingShown, &window, [guard, name, watch] {
        watch->stop();
        auto* view = guard ? guard->findChild<QTreeView*>(QStringLiteral("FTPView")) : nullptr;
        QAbstractItemModel* model = view ? view->model() : nullptr;
        for (int r = 0; model && r < model->rowCount(); ++r) {
            const QModelIndex at = model->index(r, 0);
            if (at.data().toString() == name) {
                view->selectionModel()->select(at, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
                view->setCurrentIndex(at);
                view->scrollTo(at);
                return;
            }
        }
    });
    watch->ended = QObject::connect(window.Session(), &TSession::SiteListShownChanged, &window, [watch](bool shown) {
        if (shown)
            watch->stop();
    });
}

} // namespace

bool OpenFtpLink(T_Main& window, const QString& text)
{
    QString error;
    const std::optional<TFtpLink> link = ParseFtpLink(text, &error);
    if (!link) {
        if (IUserInterface* ui = userInterface())
            ui->ShowMessageBox(error, QStringLiteral("Varnoth"), mb::IconWarning);
        return false;
    }
    TSession* session = window.Session();
    if (!session || !window.SiteListShown())
        return false;
    session->ConnectTo(SiteForFtpLink(*link));
    // Still on the site list: the password question was cancelled.
    if (session->CurrentPhase() == TSession::Phase::SiteList)
        return false;
    if (!link->FileName.isEmpty())
        selectWhenListed(window, link->FileName);
    return true;
}
