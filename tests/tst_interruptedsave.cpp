// Saves killed at random moments: the data file is always the last complete save, never a torn
// one. A child copy of this program saves in a loop until it is killed; the test then reads what
// is on disk. A second child writes the file in place (truncate and write) as a negative control,
// to show the same check does catch a torn file.

#include "store/ContactStore.h"
#include "store/StartupLoad.h"
#include "support/TestFiles.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <cstdio>
#include <sys/prctl.h>

namespace {

const QString kSaverSwitch = QStringLiteral("--saver");

QString contactName(int n)
{
    return QStringLiteral("Contato %1").arg(n, 6, 10, QLatin1Char('0'));
}

// 200 characters that name their contact, so a record carrying another one's note shows up.
QString contactNote(int n)
{
    const QString piece = QStringLiteral("Nota do contato %1. ").arg(n, 6, 10, QLatin1Char('0'));
    return piece.repeated(200 / piece.size() + 1).left(200);
}

// Writes the bytes a save would write straight over the data file, in small flushed pieces: the
// file is truncated first, so a kill in between leaves it cut short.
void saveInPlace(ContactStore &store, const QString &path, const QString &sidePath)
{
    store.SaveToFile(sidePath);
    const QByteArray bytes = fileBytes(sidePath);
    if (bytes.isEmpty())
        throw StoreError("side file unreadable");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw StoreError(file.errorString().toStdString());
    constexpr qsizetype kChunk = 256;
    for (qsizetype at = 0; at < bytes.size(); at += kChunk) {
        const QByteArray piece = bytes.mid(at, kChunk);
        if (file.write(piece) != piece.size() || !file.flush())
            throw StoreError(file.errorString().toStdString());
    }
}

// The child: continues the contacts already in the file and saves after each new one, until
// killed. "saved" on standard output announces that the first save of this run is complete.
int runSaver(const QString &folder, const QString &mode)
{
    // Never outlive the test: die with it, and stop on our own after a minute in any case.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    QElapsedTimer lifetime;
    lifetime.start();

    const bool inPlace = mode == QLatin1String("naive");
    if (!inPlace && mode != QLatin1String("atomic")) {
        std::fprintf(stderr, "unknown saver mode\n");
        return 2;
    }
    const QString path = QDir(folder).filePath(QString::fromLatin1(kDataFileName));
    const QString sidePath = QFileInfo(folder).absoluteDir().filePath(QStringLiteral("side.VKX"));
    try {
        ContactStore store;
        if (QFileInfo::exists(path))
            store.LoadFromFile(path);
        bool announced = false;
        for (int n = store.RecordCount() + 1; lifetime.elapsed() < 60000; ++n) {
            store.Insert();
            store.SetAsString(QStringLiteral("Nome"), contactName(n));
            store.SetAsString(QStringLiteral("observacao"), contactNote(n));
            store.Commit();
            if (inPlace)
                saveInPlace(store, path, sidePath);
            else
                store.SaveToFile(path);
            if (!announced) {
                std::fputs("saved\n", stdout);
                std::fflush(stdout);
                announced = true;
            }
        }
    } catch (const std::exception &e) {
        std::fprintf(stderr, "saver failed: %s\n", e.what());
        return 3;
    }
    return 4;
}

// Why the file is not a whole save of contacts 1..N, or empty when it is; `count` gets N.
QString tornReason(const QString &path, int *count)
{
    ContactStore store;
    try {
        store.LoadFromFile(path);
    } catch (const std::exception &e) {
        return QStringLiteral("does not load: %1").arg(QString::fromUtf8(e.what()));
    }
    const int rows = store.visibleRowCount();
    if (rows != store.RecordCount())
        return QStringLiteral("%1 records but %2 rows").arg(store.RecordCount()).arg(rows);
    for (int row = 0; row < rows; ++row) {
        if (store.valueAt(row, ContactStore::Nome) != contactName(row + 1))
            return QStringLiteral("row %1 is \"%2\"").arg(row).arg(store.valueAt(row, ContactStore::Nome));
        if (store.valueAt(row, ContactStore::observacao) != contactNote(row + 1))
            return QStringLiteral("row %1 has another note").arg(row);
    }
    *count = rows;
    return QString();
}

} // namespace

class InterruptedSaveTest : public QObject
{
    Q_OBJECT

private:
    // Starts a saver on `folder`, lets it save for a random 5-60 ms after its first complete save,
    // then kills it.
    void killSaverMidway(const QString &folder, const QString &mode)
    {
        QProcess child;
        child.start(QStringLiteral("/proc/self/exe"), {kSaverSwitch, folder, mode});
        QVERIFY2(child.waitForStarted(10000), qPrintable(child.errorString()));
        const QDeadlineTimer deadline(20000);
        while (!child.canReadLine() && child.state() == QProcess::Running && !deadline.hasExpired())
            child.waitForReadyRead(100);
        if (!child.canReadLine()) {
            child.kill();
            child.waitForFinished(10000);
            QFAIL(qPrintable(QStringLiteral("the saver never completed a save: %1")
                                 .arg(QString::fromLocal8Bit(child.readAllStandardError()))));
        }
        QThread::msleep(QRandomGenerator::global()->bounded(5, 61));
        child.kill();
        QVERIFY(child.waitForFinished(10000));
        // Killed while still saving, not stopped by an error of its own.
        QVERIFY2(child.exitStatus() == QProcess::CrashExit,
                 qPrintable(QString::fromLocal8Bit(child.readAllStandardError())));
    }

private slots:
    void atomicSaveSurvivesKills()
    {
        QTemporaryDir temp;
        QVERIFY(temp.isValid());
        const QString folder = temp.filePath(QStringLiteral("programa"));
        QVERIFY(QDir().mkpath(folder));
        const QString path = QDir(folder).filePath(QString::fromLatin1(kDataFileName));

        int previous = 0;
        int leftovers = 0;
        constexpr int kRounds = 150;
        for (int round = 1; round <= kRounds; ++round) {
            killSaverMidway(folder, QStringLiteral("atomic"));
            if (QTest::currentTestFailed())
                return;

            int count = 0;
            const QString torn = tornReason(path, &count);
            QVERIFY2(torn.isEmpty(), qPrintable(QStringLiteral("round %1: %2").arg(round).arg(torn)));
            // The child announced a complete save of one contact more than it loaded.
            QVERIFY2(count > previous, qPrintable(QStringLiteral("round %1: %2 contacts after %3")
                                                      .arg(round).arg(count).arg(previous)));
            previous = count;

            const QStringList before = QDir(folder).entryList(QDir::Files | QDir::Hidden);
            leftovers += before.size() - 1;

            ContactStore store;
            const StartupLoadOutcome outcome = loadAtStartup(store, path);
            QVERIFY2(!outcome.keptAside, qPrintable(outcome.reason));
            QCOMPARE(store.RecordCount(), count);
            // Nothing but the data file: temporaries removed, nothing kept aside.
            QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System),
                     QStringList{QString::fromLatin1(kDataFileName)});
        }
        qInfo("%d rounds, %d contacts at the end, %d temporaries left by killed saves were removed",
              kRounds, previous, leftovers);
    }

    // Negative control: the same kills against a save that writes the file in place do leave a
    // torn file, and the check above sees it.
    void inPlaceSaveIsCaughtTorn()
    {
        QTemporaryDir temp;
        QVERIFY(temp.isValid());
        const QString folder = temp.filePath(QStringLiteral("programa"));
        QVERIFY(QDir().mkpath(folder));
        const QString path = QDir(folder).filePath(QString::fromLatin1(kDataFileName));

        QByteArray lastGood;
        int previous = 0;
        int tornRounds = 0;
        int rounds = 0;
        QString firstTear;
        // Enough tears to show the check is no fluke; the rounds stay bounded either way.
        while (rounds < 100 && tornRounds < 10) {
            ++rounds;
            killSaverMidway(folder, QStringLiteral("naive"));
            if (QTest::currentTestFailed())
                return;

            int count = 0;
            QString torn = tornReason(path, &count);
            if (torn.isEmpty() && count <= previous)
                torn = QStringLiteral("%1 contacts after %2").arg(count).arg(previous);
            if (torn.isEmpty()) {
                previous = count;
                lastGood = fileBytes(path);
                continue;
            }
            ++tornRounds;
            if (firstTear.isEmpty())
                firstTear = torn;
            // Put the last whole file back so the next saver can continue from it.
            if (lastGood.isEmpty()) {
                QVERIFY(QFile::remove(path));
            } else {
                QFile f(path);
                QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
                QCOMPARE(f.write(lastGood), lastGood.size());
            }
        }
        qInfo("%d rounds, %d torn files; first: %s", rounds, tornRounds, qPrintable(firstTear));
        QVERIFY2(tornRounds > 0, "no kill tore the file written in place: the check proved nothing");
    }
};

int main(int argc, char **argv)
{
    if (argc == 4 && kSaverSwitch == QLatin1String(argv[1])) {
        QCoreApplication app(argc, argv);
        return runSaver(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    }
    QCoreApplication app(argc, argv);
    InterruptedSaveTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_interruptedsave.moc"
