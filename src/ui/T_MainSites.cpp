// T_Main and the site properties dialog: New Server and Server Properties on
// the site list of the right pane.
#include "ui/T_Main.h"

#include "session/SiteList.h"
#include "sites/SiteKeyring.h"
#include "sites/SiteRecord.h"
#include "ui/RemotePaneColumns.h"
#include "ui/TFFtpBase.h"

#include <QTreeView>

namespace {

// Shows the site list's row in the view.
void scrollToRow(QTreeView* view, TRemotePaneColumns* columns, int row)
{
    if (row < 0)
        return;
    const QModelIndex at = columns->index(row, 0);
    view->setCurrentIndex(at);
    view->scrollTo(at);
}

} // namespace

bool T_Main::NewServer()
{
    if (!siteListShown_)
        return false;
    TFTPServerObj site = CreateSite();
    site.Pasv = 1; // sites made with New Server start in passive mode
    return AddEditedSite(site);
}

// Shows the dialog on a new site; a saved one joins the current folder.
bool T_Main::AddEditedSite(TFTPServerObj site)
{
    if (!EditSite(site, this))
        return false;
    const int row = siteList_->AddSite(site);
    siteList_->SaveSiteList();
    scrollToRow(FTPView, siteColumns_, row);
    return true;
}

bool T_Main::ServerProperties()
{
    if (!siteListShown_)
        return false;
    const int selected = siteList_->SelectedRow();
    if (const TFTPServerObj* current = siteList_->Site(selected)) {
        TFTPServerObj site = *current;
        // The dialog shows the password kept in the keyring, so it can be
        // seen and changed there like any other.
        const bool fromKeyring = !site.SecretId.isEmpty() && FetchSitePassword(site);
        if (!EditSite(site, this))
            return false;
        if (fromKeyring && site.Password.isEmpty()) {
            // Cleared in the dialog: the keyring forgets it too. (When it
            // could not be read, an empty field means "unchanged".)
            ClearKeyringSecret(site.SecretId);
            site.SecretId.clear();
        }
        const int row = siteList_->ReplaceSite(selected, site);
        siteList_->SaveSiteList();
        scrollToRow(FTPView, siteColumns_, row);
        return true;
    }
    // No site selected (nothing, a folder or ".."): a new site with the plain
    // defaults.
    return AddEditedSite(CreateSite());
}
