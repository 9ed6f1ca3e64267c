// The settings file editor and the one-time install notice, against a loopback HTTP server.

#include "notice/IniFile.h"
#include "notice/InstallNotice.h"
#include "support/FaultShim.h"
#include "support/RefusingFolder.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

Q_DECLARE_METATYPE(NoticeOutcome)

namespace {

const QByteArray kNoticeTarget("/lirvan/cadastro_lirvan.php?versao=1.0");
const QByteArray kNoFile("<no file>");
#ifdef Q_OS_WIN
const QByteArray kEol("\r\n");
#else
const QByteArray kEol("\n");
#endif

// A small HTTP/1.1 server on 127.0.0.1 that records every request and answers by a fixed plan.
class NoticeServer : public QObject
{
    Q_OBJECT

public:
    enum Plan {
        Ok,               // 200 with a body
        ServerError,      // 500
        NotFound,         // 404
        RedirectChain,    // 302 (sets a cookie) -> 301 absolute -> 200
        RedirectLoop,     // 302 to the next step, without end
        RedirectNoTarget, // 302 without a Location header
        RedirectToFile,   // 302 to a file: URL
        Silent,           // accepts the connection, never answers
        Refused,          // not listening at all
    };
    Q_ENUM(Plan)

    struct Request
    {
        QByteArray method;
        QByteArray target;
        QByteArray version;
        QHash<QByteArray, QByteArray> headers; // names in lower case
    };

    explicit NoticeServer(Plan plan) : m_plan(plan)
    {
        connect(&m_server, &QTcpServer::newConnection, this, &NoticeServer::accept);
        if (!m_server.listen(QHostAddress::LocalHost))
            qFatal("cannot listen on 127.0.0.1");
        m_port = m_server.serverPort();
        if (plan == Refused)
            m_server.close();
    }

    QUrl url() const { return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_port)); }
    const QList<Request> &requests() const { return m_requests; }

private:
    void accept()
    {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            socket->setParent(this);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
        }
    }

    void serve(QTcpSocket *socket)
    {
        QByteArray &buffer = m_buffers[socket];
        buffer += socket->readAll();
        for (qsizetype end; (end = buffer.indexOf("\r\n\r\n")) >= 0;) {
            const QList<QByteArray> lines = buffer.left(end).split('\n');
            buffer.remove(0, end + 4);
            Request request;
            const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
            request.method = first.value(0);
            request.target = first.value(1);
            request.version = first.value(2);
            for (qsizetype i = 1; i < lines.size(); ++i) {
                const qsizetype colon = lines[i].indexOf(':');
                if (colon > 0)
                    request.headers.insert(lines[i].left(colon).trimmed().toLower(),
                                           lines[i].mid(colon + 1).trimmed());
            }
            m_requests.append(request);
            socket->write(answer(request));
        }
    }

    QByteArray response(const QByteArray &status, const QByteArray &headers = QByteArray())
    {
        const QByteArray body("<html><body>obrigado</body></html>");
        return "HTTP/1.1 " + status + "\r\n" + headers + "Content-Type: text/html\r\n"
               + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
    }

    QByteArray answer(const Request &request)
    {
        switch (m_plan) {
        case Ok:
            return response("200 OK");
        case ServerError:
            return response("500 Internal Server Error");
        case NotFound:
            return response("404 Not Found");
        case RedirectChain:
            if (request.target == kNoticeTarget)
                return response("302 Found",
                                "Location: /passo1?a=1\r\nSet-Cookie: sessao=abc123; Path=/\r\n");
            if (request.target == "/passo1?a=1")
                return response("301 Moved Permanently",
                                "Location: " + url().toEncoded() + "/passo2\r\n");
            return response("200 OK");
        case RedirectLoop:
            return response("302 Found", "Location: /volta?n="
                                             + QByteArray::number(m_requests.size()) + "\r\n");
        case RedirectNoTarget:
            return response("302 Found");
        case RedirectToFile:
            return response("302 Found", "Location: file:///etc/hostname\r\n");
        case Silent:
        case Refused:
            break;
        }
        return QByteArray();
    }

    QTcpServer m_server;
    Plan m_plan;
    quint16 m_port = 0;
    QList<Request> m_requests;
    QHash<QTcpSocket *, QByteArray> m_buffers;
};

} // namespace

class TestNotice : public QObject
{
    Q_OBJECT

private slots:
    void init() { FaultShim::clear(); }
    void cleanup() { FaultShim::clear(); }

    void readString_data();
    void readString();
    void writeString_data();
    void writeString();
    void writeErrors_data();
    void writeErrors();
    void failedWriteKeepsOldFile_data();
    void failedWriteKeepsOldFile();

    void notice_data();
    void notice();
    void redirectsCarryCookies();
    void unwritableSettingsFileIsRetriedEveryTime();
};

void TestNotice::readString_data()
{
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("expected");

    QTest::newRow("no file") << false << QByteArray() << "padrão";
    QTest::newRow("empty file") << true << QByteArray() << "padrão";
    QTest::newRow("plain") << true << QByteArray("[ATUALIZAR]\nINFO=N\n") << "N";
    QTest::newRow("names in other case")
        << true << QByteArray("[atualizar]\ninfo=x\n") << "x";
    QTest::newRow("blanks around names and value")
        << true << QByteArray("  [ Atualizar ]  \n\t Info \t=   valor com espaço  \t\n")
        << "valor com espaço";
    QTest::newRow("CRLF") << true << QByteArray("[ATUALIZAR]\r\nINFO=S\r\n") << "S";
    QTest::newRow("byte order mark") << true << QByteArray("\xEF\xBB\xBF[ATUALIZAR]\nINFO=N")
                                     << "N";
    QTest::newRow("comments are not keys")
        << true << QByteArray("[ATUALIZAR]\n;INFO=N\n# INFO=N\n") << "padrão";
    QTest::newRow("key in another section")
        << true << QByteArray("[OUTRA]\nINFO=N\n[ATUALIZAR]\nX=1\n") << "padrão";
    QTest::newRow("key before any section") << true << QByteArray("INFO=N\n[ATUALIZAR]\n")
                                            << "padrão";
    QTest::newRow("section is a prefix only")
        << true << QByteArray("[ATUALIZARX]\nINFO=N\n") << "padrão";
    QTest::newRow("key is a prefix only") << true << QByteArray("[ATUALIZAR]\nINFOX=N\n")
                                          << "padrão";
    QTest::newRow("empty value is a value") << true << QByteArray("[ATUALIZAR]\nINFO=\n") << "";
    QTest::newRow("equals sign in the value")
        << true << QByteArray("[ATUALIZAR]\nINFO=a=b\n") << "a=b";
    QTest::newRow("first of two keys")
        << true << QByteArray("[ATUALIZAR]\nINFO=1\nINFO=2\n") << "1";
    QTest::newRow("section repeated later")
        << true << QByteArray("[ATUALIZAR]\nX=1\n[OUTRA]\nINFO=no\n[ATUALIZAR]\nINFO=sim\n")
        << "sim";
    QTest::newRow("UTF-8 value") << true << QByteArray("[ATUALIZAR]\nINFO=Não\n") << "Não";
}

void TestNotice::readString()
{
    QFETCH(bool, exists);
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("LIRVAN.ini"));
    if (exists)
        writeFileBytes(path, content);

    IniFile ini(path);
    QCOMPARE(ini.readString(QStringLiteral("ATUALIZAR"), QStringLiteral("INFO"),
                            QStringLiteral("padrão")),
             expected);
    QCOMPARE(QFileInfo::exists(path), exists);
}

void TestNotice::writeString_data()
{
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("no file") << false << QByteArray() << "[ATUALIZAR]" + kEol + "INFO=N" + kEol;
    QTest::newRow("empty file") << true << QByteArray() << "[ATUALIZAR]" + kEol + "INFO=N" + kEol;
    QTest::newRow("replace the line")
        << true << QByteArray("[ATUALIZAR]\nINFO=S\n") << QByteArray("[ATUALIZAR]\nINFO=N\n");
    QTest::newRow("replace a line spelled otherwise, keep CRLF")
        << true << QByteArray("[atualizar]\r\n   info  =  n \r\n")
        << QByteArray("[atualizar]\r\nINFO=N\r\n");
    QTest::newRow("replace the last line without line ending")
        << true << QByteArray("[ATUALIZAR]\r\nINFO=S") << QByteArray("[ATUALIZAR]\r\nINFO=N");
    QTest::newRow("add to the end of its section, before the blank line")
        << true << QByteArray("[ATUALIZAR]\r\nOutra=1\r\n\r\n[Geral]\r\nA=B\r\n")
        << QByteArray("[ATUALIZAR]\r\nOutra=1\r\nINFO=N\r\n\r\n[Geral]\r\nA=B\r\n");
    QTest::newRow("add under an empty section")
        << true << QByteArray("[ATUALIZAR]\n[Geral]\nA=B\n")
        << QByteArray("[ATUALIZAR]\nINFO=N\n[Geral]\nA=B\n");
    QTest::newRow("add after a section at the end without line ending")
        << true << QByteArray("[Geral]\r\nA=B\r\n[ATUALIZAR]")
        << QByteArray("[Geral]\r\nA=B\r\n[ATUALIZAR]\r\nINFO=N");
    QTest::newRow("comment that looks like the key stays")
        << true << QByteArray("[ATUALIZAR]\n;INFO=N\n")
        << QByteArray("[ATUALIZAR]\n;INFO=N\nINFO=N\n");
    QTest::newRow("append the section, CRLF kept")
        << true << QByteArray("; topo\r\n[Geral]\r\nA=B\r\n")
        << QByteArray("; topo\r\n[Geral]\r\nA=B\r\n[ATUALIZAR]\r\nINFO=N\r\n");
    QTest::newRow("append the section after a last line without line ending")
        << true << QByteArray("[Geral]\nA=B") << QByteArray("[Geral]\nA=B\n[ATUALIZAR]\nINFO=N\n");
    QTest::newRow("same name in another section is left alone")
        << true << QByteArray("[Geral]\nINFO=S\n") << QByteArray("[Geral]\nINFO=S\n[ATUALIZAR]\nINFO=N\n");
    QTest::newRow("byte order mark kept")
        << true << QByteArray("\xEF\xBB\xBF[ATUALIZAR]\r\nINFO=S\r\n")
        << QByteArray("\xEF\xBB\xBF[ATUALIZAR]\r\nINFO=N\r\n");
    QTest::newRow("only a byte order mark")
        << true << QByteArray("\xEF\xBB\xBF") << "\xEF\xBB\xBF[ATUALIZAR]" + kEol + "INFO=N" + kEol;
    QTest::newRow("first of two keys replaced")
        << true << QByteArray("[ATUALIZAR]\nINFO=1\nINFO=2\n")
        << QByteArray("[ATUALIZAR]\nINFO=N\nINFO=2\n");
    QTest::newRow("every other byte kept")
        << true
        << QByteArray("\xEF\xBB\xBF; Configuração\r\n[Geral]\r\n  Pasta = C:\\Lirvan  \r\n\r\n"
                      "# antigo\r\n [ atualizar ]\t\r\n  ; INFO=N\r\n   Info   =   s   \r\n"
                      "Outra=1\r\n\r\n\r\n[Fim]\r\nx=y")
        << QByteArray("\xEF\xBB\xBF; Configuração\r\n[Geral]\r\n  Pasta = C:\\Lirvan  \r\n\r\n"
                      "# antigo\r\n [ atualizar ]\t\r\n  ; INFO=N\r\nINFO=N\r\n"
                      "Outra=1\r\n\r\n\r\n[Fim]\r\nx=y");
}

void TestNotice::writeString()
{
    QFETCH(bool, exists);
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, expected);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("LIRVAN.ini"));
    if (exists)
        writeFileBytes(path, content);

    IniFile ini(path);
    ini.writeString(QStringLiteral("ATUALIZAR"), QStringLiteral("INFO"), QStringLiteral("N"));
    QCOMPARE(fileBytes(path), expected);
    QCOMPARE(ini.readString(QStringLiteral("ATUALIZAR"), QStringLiteral("INFO"), QString()),
             QStringLiteral("N"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("LIRVAN.ini")});
}

void TestNotice::writeErrors_data()
{
    QTest::addColumn<QString>("where");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("message");

    QTest::newRow("the file is a folder")
        << "folder" << "INFO" << "N" << "Não foi possível ler o arquivo de configurações";
    QTest::newRow("the folder is missing")
        << "missing" << "INFO" << "N" << "Não foi possível gravar o arquivo de configurações";
    QTest::newRow("a line break in the value")
        << "file" << "INFO" << "N\n[OUTRA]" << "O valor de \"INFO\" não pode conter";
    QTest::newRow("an equals sign in the key")
        << "file" << "IN=FO" << "N" << "Nome de chave inválido";
}

void TestNotice::writeErrors()
{
    QFETCH(QString, where);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QString, message);
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("LIRVAN.ini"));
    const QByteArray old("[ATUALIZAR]\r\nINFO=S\r\n");
    if (where == u"folder")
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("LIRVAN.ini")));
    else if (where == u"missing")
        path = dir.filePath(QStringLiteral("nao-existe/LIRVAN.ini"));
    else
        writeFileBytes(path, old);

    IniFile ini(path);
    const QString error = errorOf([&] { ini.writeString(QStringLiteral("ATUALIZAR"), key, value); });
    QVERIFY2(error.startsWith(message), qPrintable(error));
    if (where == u"file")
        QCOMPARE(fileBytes(path), old);
    if (where == u"folder")
        QVERIFY(QFileInfo(path).isDir());
    if (where == u"missing")
        QVERIFY(!QFileInfo::exists(QFileInfo(path).path()));
}

void TestNotice::failedWriteKeepsOldFile_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("disk full at once") << "write0";
    QTest::newRow("disk full before the last byte") << "writeLast";
    QTest::newRow("fsync fails") << "fsync";
    QTest::newRow("rename fails") << "rename";
    QTest::newRow("folder refuses new files") << "refuse";
}

void TestNotice::failedWriteKeepsOldFile()
{
    QFETCH(QString, fault);
    if (fault != u"refuse" && !FaultShim::loaded())
        QSKIP("the fault shim could not be preloaded");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("LIRVAN.ini"));
    const QByteArray old("[Geral]\r\nA=B\r\n[ATUALIZAR]\r\nINFO=S\r\n");
    writeFileBytes(path, old);

    const QByteArray where = dir.path().toLocal8Bit();
    if (fault == u"write0")
        FaultShim::failWritesAfter(where, 0);
    else if (fault == u"writeLast")
        FaultShim::failWritesAfter(where, old.size() - 1);
    else if (fault == u"fsync")
        FaultShim::failFsync(where);
    else if (fault == u"rename")
        FaultShim::failRename(where);
    RefusingFolder refusing(fault == u"refuse" ? dir.path() : QString());
    if (fault == u"refuse")
        QVERIFY(refusing.refuses());
    IniFile ini(path);
    const QString error = errorOf(
        [&] { ini.writeString(QStringLiteral("ATUALIZAR"), QStringLiteral("INFO"), QStringLiteral("N")); });
    refusing.restore();
    FaultShim::clear();

    QVERIFY2(error.startsWith(QStringLiteral("Não foi possível gravar o arquivo de configurações")),
             qPrintable(error));
    QCOMPARE(fileBytes(path), old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("LIRVAN.ini")});
}

void TestNotice::notice_data()
{
    QTest::addColumn<bool>("online");
    QTest::addColumn<QByteArray>("before"); // kNoFile: no settings file
    QTest::addColumn<NoticeServer::Plan>("plan");
    QTest::addColumn<int>("timeoutMs");
    QTest::addColumn<NoticeOutcome>("outcome");
    QTest::addColumn<int>("requests");
    QTest::addColumn<QByteArray>("after");

    const QByteArray unmarked("[ATUALIZAR]\r\nINFO=S\r\n");
    const QByteArray marked("[ATUALIZAR]\r\nINFO=N\r\n");
    const QByteArray created = "[ATUALIZAR]" + kEol + "INFO=N" + kEol;
    using S = NoticeServer;
    using O = NoticeOutcome;
    QTest::newRow("offline, no file")
        << false << kNoFile << S::Ok << 10000 << O::Offline << 0 << kNoFile;
    QTest::newRow("offline, unmarked file")
        << false << unmarked << S::Ok << 10000 << O::Offline << 0 << unmarked;
    QTest::newRow("online, no file")
        << true << kNoFile << S::Ok << 10000 << O::Sent << 1 << created;
    QTest::newRow("online, INFO=S")
        << true << unmarked << S::Ok << 10000 << O::Sent << 1 << marked;
    QTest::newRow("online, INFO=n in lower case")
        << true << QByteArray("[ATUALIZAR]\r\nINFO=n\r\n") << S::Ok << 10000 << O::Sent << 1
        << marked;
    QTest::newRow("online, INFO=N")
        << true << marked << S::Ok << 10000 << O::AlreadySent << 0 << marked;
    QTest::newRow("online, INFO = N with blanks, names in lower case")
        << true << QByteArray("[atualizar]\ninfo =  N  \n") << S::Ok << 10000 << O::AlreadySent
        << 0 << QByteArray("[atualizar]\ninfo =  N  \n");
    QTest::newRow("server error")
        << true << unmarked << S::ServerError << 10000 << O::Failed << 1 << unmarked;
    QTest::newRow("server error, no file")
        << true << kNoFile << S::ServerError << 10000 << O::Failed << 1 << kNoFile;
    QTest::newRow("not found")
        << true << unmarked << S::NotFound << 10000 << O::Failed << 1 << unmarked;
    QTest::newRow("connection refused")
        << true << unmarked << S::Refused << 10000 << O::Failed << 0 << unmarked;
    QTest::newRow("redirects ending well")
        << true << unmarked << S::RedirectChain << 10000 << O::Sent << 3 << marked;
    QTest::newRow("redirect loop ends after 15 requests")
        << true << unmarked << S::RedirectLoop << 10000 << O::Sent << 15 << marked;
    QTest::newRow("redirect without a target")
        << true << unmarked << S::RedirectNoTarget << 10000 << O::Failed << 1 << unmarked;
    QTest::newRow("redirect to a local file is not followed")
        << true << unmarked << S::RedirectToFile << 10000 << O::Failed << 1 << unmarked;
    QTest::newRow("server never answers")
        << true << unmarked << S::Silent << 1500 << O::Failed << 1 << unmarked;
    QTest::newRow("other sections, comments, CRLF and odd spacing kept")
        << true
        << QByteArray("; Lirvan\r\n[Geral]\r\n  Pasta = C:\\Lirvan \r\n\r\n# antigo\r\n"
                      "[ atualizar ]\r\n  ; INFO=N\r\n   Info   =   s   \r\nOutra=1\r\n\r\n"
                      "[Fim]\r\nx=y")
        << S::Ok << 10000 << O::Sent << 1
        << QByteArray("; Lirvan\r\n[Geral]\r\n  Pasta = C:\\Lirvan \r\n\r\n# antigo\r\n"
                      "[ atualizar ]\r\n  ; INFO=N\r\nINFO=N\r\nOutra=1\r\n\r\n"
                      "[Fim]\r\nx=y");
}

void TestNotice::notice()
{
    QFETCH(bool, online);
    QFETCH(QByteArray, before);
    QFETCH(NoticeServer::Plan, plan);
    QFETCH(int, timeoutMs);
    QFETCH(NoticeOutcome, outcome);
    QFETCH(int, requests);
    QFETCH(QByteArray, after);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("LIRVAN.ini"));
    if (before != kNoFile)
        writeFileBytes(path, before);
    NoticeServer server(plan);
    int asked = 0;

    const NoticeOutcome result = sendInstallNotice(dir.path(), server.url(), [&] {
        ++asked;
        return online;
    }, timeoutMs);

    QCOMPARE(result, outcome);
    QCOMPARE(asked, 1);
    QCOMPARE(server.requests().size(), requests);
    for (const NoticeServer::Request &request : server.requests()) {
        QCOMPARE(request.method, QByteArray("GET"));
        QCOMPARE(request.version, QByteArray("HTTP/1.1"));
        QCOMPARE(request.headers.value("accept"), QByteArray("text/html, */*"));
        QCOMPARE(request.headers.value("content-type"),
                 QByteArray("application/x-www-form-urlencoded"));
        QCOMPARE(request.headers.value("user-agent"), QByteArray("Lirvan/1.0"));
        QCOMPARE(request.headers.value("host"), server.url().authority().toLatin1());
    }
    if (requests > 0)
        QCOMPARE(server.requests().first().target, kNoticeTarget);
    if (plan == NoticeServer::RedirectLoop)
        QCOMPARE(server.requests().last().target, QByteArray("/volta?n=14"));

    if (after == kNoFile)
        QVERIFY(!QFileInfo::exists(path));
    else
        QCOMPARE(fileBytes(path), after);
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(),
             after == kNoFile ? 0 : 1);
}

void TestNotice::redirectsCarryCookies()
{
    QTemporaryDir dir;
    NoticeServer server(NoticeServer::RedirectChain);
    QCOMPARE(sendInstallNotice(dir.path(), server.url(), [] { return true; }),
             NoticeOutcome::Sent);
    QCOMPARE(server.requests().size(), 3);
    QCOMPARE(server.requests().at(0).headers.value("cookie"), QByteArray());
    QCOMPARE(server.requests().at(1).target, QByteArray("/passo1?a=1"));
    QCOMPARE(server.requests().at(1).headers.value("cookie"), QByteArray("sessao=abc123"));
    QCOMPARE(server.requests().at(2).target, QByteArray("/passo2"));
    QCOMPARE(server.requests().at(2).headers.value("cookie"), QByteArray("sessao=abc123"));
}

void TestNotice::unwritableSettingsFileIsRetriedEveryTime()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("LIRVAN.ini")));
    NoticeServer server(NoticeServer::Ok);

    for (int start = 1; start <= 2; ++start) {
        QCOMPARE(sendInstallNotice(dir.path(), server.url(), [] { return true; }),
                 NoticeOutcome::Failed);
        QCOMPARE(server.requests().size(), start);
    }
    QVERIFY(QFileInfo(dir.filePath(QStringLiteral("LIRVAN.ini"))).isDir());
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("LIRVAN.ini")});
}

int main(int argc, char **argv)
{
    FaultShim::ensureLoaded(argc, argv);
    QCoreApplication app(argc, argv);
    TestNotice test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_notice.moc"
