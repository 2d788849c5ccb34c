// The window's session against a server that answers AUTH TLS with 234 and
// then never answers the handshake: the attempt is given up after the
// configured timeout, with its cause in the log, and the site list returns.
#include "SessionHarness.h"
#include "TlsFixtures.h"

TEST(SessionTlsStall, AHandshakeNeverAnsweredIsGivenUpWithItsCause)
{
    QString error;
    testtls::FaultServer srv;
    ASSERT_TRUE(srv.start("stall-control", &error)) << error.toStdString();
    SessionHarness h;
    TFTPOptions o = h.session.Options();
    o.TimeOut = 1;
    h.session.SetOptions(o);
    TFTPServerObj site = SessionHarness::site(srv.port());
    site.Security = ftpSecExplicitRequired;
    h.session.ConnectTo(site);
    ASSERT_TRUE(h.backAtSiteList(30000)) << h.pane.Lines().join('\n').toStdString();
    const QString log = h.pane.Lines().join('\n');
    // The session's own watchdog and the client's handshake limit both
    // stand at the timeout; whichever ends the attempt names the stall.
    EXPECT_TRUE(log.contains("! No answer from the server for 1 seconds")
                || log.contains("TLS handshake failed: the server did not answer it within 1 second (#20101)"))
        << log.toStdString();
    EXPECT_TRUE(log.contains("< 234 go ahead")) << log.toStdString();
    EXPECT_FALSE(log.contains("> USER")) << log.toStdString();
    EXPECT_FALSE(h.session.Ftp1().Connected());
}
