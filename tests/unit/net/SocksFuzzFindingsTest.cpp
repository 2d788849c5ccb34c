// SOCKS replies the fuzzer found (tests/data/fuzz/socks-*): a refused
// user/password answer followed by stray bytes is still reported as the
// refusal the server sent, as it is when the stray bytes arrive later.
#include "FakeSocksServer.h"
#include "TestEnv.h"
#include "net/SocksReply.h"
#include "net/WSocket.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

QByteArray dataFile(const char* name)
{
    QFile f(testenv::sourceDir() + "/tests/data/fuzz/" + name);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << "missing data file " << name;
    return f.readAll();
}

} // namespace

TEST(SocksFuzzFindings, RefusedAuthenticationWithStrayBytesIsStillTheRefusal)
{
    const QByteArray reply = dataFile("socks-auth-refused-with-extra.bin");
    ASSERT_GE(reply.size(), 3);

    // However much of it has arrived, once judged the answer stays the refusal.
    const auto* b = reinterpret_cast<const unsigned char*>(reply.constData());
    for (int count = 2; count <= reply.size(); ++count) {
        const socks::Reply r = socks::ReadAuthReply(b, count);
        EXPECT_EQ(r.status, socks::Reply::Failed) << count;
        EXPECT_EQ(r.error, 20015) << count;
    }

    // And through a real negotiation, all in one piece.
    FakeSocksServer srv;
    srv.addStep(3, QByteArray("\x05\x02", 2));
    srv.addStep(3 + 1, reply);
    TWSocket s;
    int error = -1;
    QString message;
    s.SetSocksServer("127.0.0.1");
    s.SetSocksPort(QString::number(srv.port()));
    s.SetSocksLevel("5");
    s.SetSocksAuthentication(socksAuthenticateUsercode);
    s.SetSocksUsercode("u");
    s.SetSocksPassword("wrong");
    s.SetAddr("10.1.2.3");
    s.SetPort("21");
    s.OnSocksError = [&](TCustomWSocket*, int e, const QString& m) {
        error = e;
        message = m;
    };
    s.Connect();
    ASSERT_TRUE(testenv::waitFor([&] { return s.State() == wsClosed; }));
    EXPECT_EQ(error, 20015);
    EXPECT_EQ(message, "socks authentication failed");
}
