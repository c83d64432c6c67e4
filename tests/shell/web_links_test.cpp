// The web links, the update check against a version server on 127.0.0.1
// that this test runs, and the about box, all through the viewer's commands.
#include "dialogs/about_dlg.h"
#include "glossant/dictionary_text.h"
#include "shell/update_check.h"
#include "shell/web_links.h"
#include "ui/command_ids.h"
#include "ui/ui_text.h"
#include "varnoth_version.h"
#include "viewer_fixture.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <QUrlQuery>

#include <memory>

namespace {

// A version server: answers every request with a fixed status and body, or
// (silent) accepts the connection and never answers.
class version_server : public QObject {
public:
    version_server()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Serve(socket); });
            }
        });
    }
    bool Listening() const { return m_server.isListening(); }
    QString Site() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }

    int status = 200;
    QByteArray body;
    bool silent = false;
    QList<QByteArray> request_lines;

private:
    void Serve(QTcpSocket* socket)
    {
        QByteArray& request = m_requests[socket];
        request += socket->readAll();
        if (!request.contains("\r\n\r\n"))
            return;
        request_lines.append(request.left(request.indexOf("\r\n")));
        if (silent)
            return;
        socket->write("HTTP/1.1 " + QByteArray::number(status) + " Answer\r\nContent-Type: text/plain\r\n"
                      + "Content-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QHash<QTcpSocket*, QByteArray> m_requests;
};

QString Hex(unsigned long value)
{
    return QString::number(value, 16);
}

} // namespace

class WebLinksTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<viewer_fixture> m_viewer;
    std::unique_ptr<version_server> m_server;
    std::vector<QUrl> m_opened;
    url_opener m_previous_opener;

    void ExpectOneBox(std::u16string_view key, unsigned icon)
    {
        QCOMPARE(m_viewer->boxes.size(), std::size_t(1));
        QCOMPARE(ToQString(m_viewer->boxes[0].text), ToQString(DictionaryText(key)));
        QCOMPARE(m_viewer->boxes[0].flags & MB_ICONMASK, icon);
    }

private slots:
    void initTestCase()
    {
        m_viewer = std::make_unique<viewer_fixture>();
        QVERIFY(m_viewer->Ready());
        m_server = std::make_unique<version_server>();
        QVERIFY(m_server->Listening());
        m_viewer->app->settings.site_address = m_server->Site().toStdU16String();
        m_previous_opener = SetUrlOpener([this](const QUrl& address) {
            m_opened.push_back(address);
            return true;
        });
    }
    void cleanupTestCase()
    {
        SetUrlOpener(m_previous_opener);
        m_viewer.reset();
        m_server.reset();
    }
    void init()
    {
        m_viewer->boxes.clear();
        m_viewer->answer = IDOK;
        m_opened.clear();
        m_server->request_lines.clear();
        m_server->silent = false;
        m_server->status = 200;
    }

    void VisitAddresses_FollowTheFormatFieldByField()
    {
        const std::u16string site = u"https://logs.example:8443/tools";
        struct row {
            int command; // 0: only the address is built
            std::u16string_view target;
        };
        const row rows[] = {{ids::kHelpOnlineHelp, kWebTargetHelp},
                            {ids::kHelpFeedback, kWebTargetFeedback},
                            {0, kWebTargetDownload},
                            {0, kWebTargetProduct}};
        for (const row& r : rows) {
            const std::u16string text = VisitAddress(site, r.target, u"2.3.1");
            QCOMPARE(ToQString(text), QStringLiteral("https://logs.example:8443/tools/script/product_visit.php?"
                                                     "p=vrnt&v=2.3.1&target=")
                                          + ToQString(r.target));
            const QUrl url(ToQString(text));
            QCOMPARE(url.scheme(), QStringLiteral("https"));
            QCOMPARE(url.host(), QStringLiteral("logs.example"));
            QCOMPARE(url.port(), 8443);
            QCOMPARE(url.path(), QStringLiteral("/tools/script/product_visit.php"));
            const QList<QPair<QString, QString>> items = QUrlQuery(url).queryItems();
            QCOMPARE(items.size(), 3);
            QCOMPARE(items[0], qMakePair(QStringLiteral("p"), QStringLiteral("vrnt")));
            QCOMPARE(items[1], qMakePair(QStringLiteral("v"), QStringLiteral("2.3.1")));
            QCOMPARE(items[2], qMakePair(QStringLiteral("target"), ToQString(r.target)));
        }
        // A version with query characters cannot add keys.
        QCOMPARE(QUrlQuery(QUrl(ToQString(VisitAddress(site, u"help", u"1&target=x")))).queryItems().size(), 3);

        // The commands open the running version's address on the configured site.
        const std::u16string running = QString::fromLatin1(kVarnothVersion).toStdU16String();
        const std::u16string configured = m_viewer->app->settings.site_address;
        m_viewer->Route(ids::kHelpOnlineHelp);
        m_viewer->Route(ids::kHelpFeedback);
        QCOMPARE(m_opened.size(), std::size_t(2));
        QCOMPARE(m_opened[0], QUrl(ToQString(VisitAddress(configured, kWebTargetHelp, running))));
        QCOMPARE(m_opened[1], QUrl(ToQString(VisitAddress(configured, kWebTargetFeedback, running))));
        QVERIFY(m_viewer->boxes.empty());
    }

    void WebPage_ThatTheDesktopCannotOpen_IsReportedWithItsAddress()
    {
        const url_opener recorder = SetUrlOpener([](const QUrl&) { return false; });
        m_viewer->Route(ids::kHelpOnlineHelp);
        SetUrlOpener(recorder);
        QCOMPARE(m_viewer->boxes.size(), std::size_t(1));
        QCOMPARE(m_viewer->boxes[0].flags & MB_ICONMASK, unsigned(MB_ICONERROR));
        QVERIFY(ToQString(m_viewer->boxes[0].text).contains(QStringLiteral("/script/product_visit.php?p=vrnt")));
    }

    void ReadHexNumber_Table()
    {
        struct row {
            const char* bytes;
            uint32_t value;
        };
        const row rows[] = {
            {"", 0},          {"0", 0},  {"2030100", 0x2030100},   {" \t\r\n2030101x", 0x2030101}, {"aBcDeF", 0xABCDEF},
            {"0x2030101", 0}, // stops at the "x"
            {"-1", 0},        {"g1", 0}, {"FFFFFFFF", 0xFFFFFFFF}, {"123456789", 0xFFFFFFFF}};
        for (const row& r : rows)
            QCOMPARE(ReadHexNumber(r.bytes), r.value);
    }

    void CheckForUpdate_EveryAnswerKind_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("outcome");
        const QByteArray running = Hex(kVarnothVersionValue).toLatin1();
        const QByteArray next = Hex(kVarnothVersionValue + 1).toLatin1();
        const int up = int(update_outcome::up_to_date);
        const int newer = int(update_outcome::newer_available);
        const int unknown = int(update_outcome::version_unknown);
        QTest::newRow("equal") << 200 << running << up;
        QTest::newRow("equal, blanks around") << 200 << (" \t" + running + "\r\n") << up;
        QTest::newRow("older") << 200 << QByteArray("1ffffff") << up;
        QTest::newRow("one greater") << 200 << next << newer;
        QTest::newRow("zero") << 200 << QByteArray("0") << unknown;
        QTest::newRow("empty") << 200 << QByteArray() << unknown;
        QTest::newRow("not hexadecimal") << 200 << QByteArray("version 3") << unknown;
        // Only nine bytes count: the tenth digit would make it newer.
        QTest::newRow("ten bytes") << 200 << ("00" + running.rightJustified(7, '0') + "5") << up;
        QTest::newRow("a long page") << 200 << (next + QByteArray(100000, 'z')) << newer;
        QTest::newRow("not found") << 404 << QByteArray("404") << unknown;
    }
    void CheckForUpdate_EveryAnswerKind()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(int, outcome);
        m_server->status = status;
        m_server->body = body;
        m_viewer->answer = IDNO;
        m_viewer->Route(ids::kHelpCheckUpdate);

        QCOMPARE(m_server->request_lines, QList<QByteArray>{"GET /script/version_check.php?p=vrnt HTTP/1.1"});
        switch (update_outcome(outcome)) {
        case update_outcome::up_to_date: ExpectOneBox(u"IDS_MSG_NO_NEW_VERSION", MB_ICONINFORMATION); break;
        case update_outcome::newer_available:
            ExpectOneBox(u"IDS_MSG_NEW_VERSION_DETECTED", MB_ICONQUESTION);
            QCOMPARE(m_viewer->boxes[0].flags & MB_TYPEMASK, unsigned(MB_YESNO));
            break;
        default: ExpectOneBox(u"IDS_MSG_FAILED_GET_VERSION", MB_ICONERROR);
        }
        QVERIFY(m_opened.empty()); // No: the download page stays closed
        QVERIFY(!QApplication::overrideCursor());
    }

    void CheckForUpdate_NewVersionAndYes_OpensTheDownloadPage()
    {
        m_server->body = Hex(kVarnothVersionValue + 0x100).toLatin1();
        m_viewer->answer = IDYES;
        m_viewer->Route(ids::kHelpCheckUpdate);
        ExpectOneBox(u"IDS_MSG_NEW_VERSION_DETECTED", MB_ICONQUESTION);
        QCOMPARE(m_opened.size(), std::size_t(1));
        QCOMPARE(m_opened[0], QUrl(ToQString(VisitAddress(m_viewer->app->settings.site_address, kWebTargetDownload,
                                                          QString::fromLatin1(kVarnothVersion).toStdU16String()))));
    }

    void CheckForUpdate_SilentServer_CountsAsNoConnection()
    {
        m_server->silent = true;
        const update_outcome outcome = CheckForUpdate(m_viewer->app->settings.site_address, 1500);
        QCOMPARE(int(outcome), int(update_outcome::connection_failed));
        QCOMPARE(m_server->request_lines.size(), 1); // the request did arrive
        ExpectOneBox(u"IDS_MSG_FAILED_CONNECT_SERVER", MB_ICONERROR);
        QVERIFY(!QApplication::overrideCursor());
    }

    void CheckForUpdate_ClosedPort_CountsAsNoConnection()
    {
        quint16 port = 0;
        {
            QTcpServer closed;
            QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
            port = closed.serverPort();
        }
        const std::u16string site = QStringLiteral("http://127.0.0.1:%1").arg(port).toStdU16String();
        QCOMPARE(int(CheckForUpdate(site)), int(update_outcome::connection_failed));
        ExpectOneBox(u"IDS_MSG_FAILED_CONNECT_SERVER", MB_ICONERROR);
    }

    void AboutBox_ShowsNameAndVersion_LinksAndUpdateButtonWork()
    {
        m_server->body = Hex(kVarnothVersionValue).toLatin1();
        m_viewer->app->settings.support_mail = u"help@logs.example";
        bool inspected = false;
        // The safety net: a dialog left open fails the test instead of hanging it.
        QTimer guard;
        guard.setSingleShot(true);
        connect(&guard, &QTimer::timeout, [] {
            if (QWidget* modal = QApplication::activeModalWidget())
                modal->close();
        });
        guard.start(kTestWaitMs);
        QTimer::singleShot(0, this, [&] {
            auto* about = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget());
            if (!about)
                return;
            inspected = true;
            QCOMPARE(qobject_cast<QLabel*>(about->Control(about_ids::kName))->text(),
                     ToQString(m_viewer->app->Title()));
            QCOMPARE(qobject_cast<QLabel*>(about->Control(about_ids::kVersion))->text(),
                     QString::fromLatin1(kVarnothVersion));
            for (int link : {about_ids::kWebSite, about_ids::kSupport, about_ids::kFeedback}) {
                auto* label = qobject_cast<QLabel*>(about->Control(link));
                QVERIFY(label && label->isEnabled());
                emit label->linkActivated(QStringLiteral("#%1").arg(link));
            }
            QTest::mouseClick(qobject_cast<QPushButton*>(about->Control(about_ids::kCheckUpdate)), Qt::LeftButton);
            about->findChild<QPushButton*>(IdObjectName(1))->click();
        });
        m_viewer->Route(ids::kHelpAbout);
        QVERIFY(inspected);
        QVERIFY(!QApplication::activeModalWidget());

        const std::u16string site = m_viewer->app->settings.site_address;
        const std::u16string running = QString::fromLatin1(kVarnothVersion).toStdU16String();
        QCOMPARE(m_opened.size(), std::size_t(3));
        QCOMPARE(m_opened[0], QUrl(ToQString(VisitAddress(site, kWebTargetProduct, running))));
        QCOMPARE(m_opened[1], QUrl(QStringLiteral("mailto:help@logs.example")));
        QCOMPARE(m_opened[2], QUrl(ToQString(VisitAddress(site, kWebTargetFeedback, running))));
        ExpectOneBox(u"IDS_MSG_NO_NEW_VERSION", MB_ICONINFORMATION); // the update button ran the check

        // Without a support address the link is off and nothing opens.
        m_viewer->app->settings.support_mail.clear();
        m_opened.clear();
        QTimer::singleShot(0, this, [&] {
            if (auto* about = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget())) {
                QVERIFY(!about->Control(about_ids::kSupport)->isEnabled());
                about->FollowLink(about_ids::kSupport);
                about->accept();
            }
        });
        m_viewer->Route(ids::kHelpAbout);
        QVERIFY(m_opened.empty());
    }
};

QTEST_MAIN(WebLinksTest)
#include "web_links_test.moc"
