// The contact data file: round trip, hostile files at start-up, and saves that fail part-way.

#include "store/ContactStore.h"
#include "store/StartupLoad.h"
#include "support/FaultShim.h"
#include "support/RefusingFolder.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Every field of a contact as text, in field order.
QStringList contactAt(ContactStore &store, int row)
{
    QStringList values;
    for (int field = 0; field < ContactStore::FieldCount; ++field)
        values << store.valueAt(row, field);
    return values;
}

QList<QStringList> everything(ContactStore &store)
{
    QList<QStringList> all;
    for (int row = 0; row < store.visibleRowCount(); ++row)
        all << contactAt(store, row);
    return all;
}

void addFull(ContactStore &store, const QStringList &values)
{
    store.Insert();
    for (int field = 0; field < ContactStore::FieldCount; ++field)
        store.SetAsString(ContactStore::fieldDef(field).name, values.value(field));
    store.Commit();
}

QStringList fullWidthContact(QChar fill)
{
    QStringList values;
    for (int field = 0; field < ContactStore::Nascimento; ++field)
        values << QString(ContactStore::fieldDef(field).width, fill);
    values << QStringLiteral("31/12/9999");
    return values;
}

QStringList files(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

// A small valid file: three contacts.
QByteArray sampleFile(const QString &folder)
{
    ContactStore store;
    addFull(store, {"Ana", "(11) 3333-4444", "", "", "", "", "Rua A", "São Paulo", "01000-000", "", "", "",
                    "família", "07/03/1975"});
    addFull(store, {"Bia"});
    addFull(store, {"Caio", "", "", "", "", "", "", "", "", "", "", "obs", "", ""});
    const QString path = folder + QStringLiteral("/sample.VKX");
    store.SaveToFile(path);
    return fileBytes(path);
}

// A save that fails leaves the old file byte for byte, reports the error, leaves no temporary.
enum Fault { TargetIsFolder, ParentIsFile, FolderRefusesNewFiles, DiskFullEarly, DiskFullAtLastByte, FsyncFails, RenameFails };

} // namespace

class TestDataFile : public QObject
{
    Q_OBJECT

private slots:
    void init() { FaultShim::clear(); }
    void cleanup() { FaultShim::clear(); }

    void roundTripKeepsEveryFieldAndRecord()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QString::fromLatin1(kDataFileName));
        ContactStore store;
        addFull(store, fullWidthContact(u'ç'));
        addFull(store, {"João d'Ávila", "(11) 98765-4321", "(11) 3333-4444", "0800 123", "123.456.789-00",
                        "12.345.678-9", "Rua da Conceição, 10", "Conceição do Mato Dentro", "35860-000",
                        "joao@example.com.br", "www.example.com.br", "linha 1\nlinha 2 😀", "Clientes",
                        "29/02/2000"});
        addFull(store, {});     // a contact with no values at all
        addFull(store, {"Ana", "", "", "", "", "", "", "", "", "", "", "", "", "01/01/0001"});
        const QList<QStringList> before = everything(store);
        store.SaveToFile(path);

        ContactStore loaded;
        loaded.LoadFromFile(path);
        QCOMPARE(loaded.RecordCount(), 4);
        QCOMPARE(everything(loaded), before);
        loaded.MoveFirst();
        QVERIFY(loaded.IsNull(QStringLiteral("Nome")));
        QVERIFY(loaded.IsNull(QStringLiteral("Nascimento")));
    }

    void savesEveryRecordNotOnlyTheVisibleOnes()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("x.VKX"));
        ContactStore store;
        addFull(store, {"Ana"});
        addFull(store, {"Bruno"});
        store.SetFilter(QStringLiteral("upper(Nome) like 'A%'"));
        store.SetFiltered(true);
        QCOMPARE(store.visibleRowCount(), 1);
        store.SaveToFile(path);
        ContactStore loaded;
        loaded.LoadFromFile(path);
        QCOMPARE(loaded.RecordCount(), 2);
    }

    void loadPutsRecordsInNameOrder_data()
    {
        QTest::addColumn<QString>("savedOrder");
        QTest::newRow("saved in name order") << "Nome";
        QTest::newRow("saved in birth order") << "Nascimento";
    }

    void loadPutsRecordsInNameOrder()
    {
        QFETCH(QString, savedOrder);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("x.VKX"));
        ContactStore store;
        const QStringList names{"Zé", "Érico", "eduardo", "Ana Maria", "Ana", "ana", "Ângela", "André", "Ana",
                                "Bárbara", "bruno", "Ana-Lúcia", "Ana 2", "Ana 10", "Ø", "Čeněk", ""};
        int day = 1;
        for (const QString &name : names)
            addFull(store, {name, QString::number(day), "", "", "", "", "", "", "", "", "", "", "",
                            QStringLiteral("%1/01/1990").arg(28 - day++)});
        QStringList expected;
        QStringList expectedPhones;
        for (int row = 0; row < store.visibleRowCount(); ++row) {
            expected << store.valueAt(row, ContactStore::Nome);
            expectedPhones << store.valueAt(row, ContactStore::Telefone);
        }
        store.SetIndexFieldNames(savedOrder);
        store.SaveToFile(path);
        ContactStore loaded;
        loaded.LoadFromFile(path);
        QStringList names2;
        QStringList phones;
        for (int row = 0; row < loaded.visibleRowCount(); ++row) {
            names2 << loaded.valueAt(row, ContactStore::Nome);
            phones << loaded.valueAt(row, ContactStore::Telefone);
        }
        QCOMPARE(names2, expected);
        if (savedOrder == QLatin1String("Nome"))
            QCOMPARE(phones, expectedPhones);   // equal names keep their stored order
    }

    void startupWithoutFileIsSilentAndEmpty()
    {
        QTemporaryDir dir;
        ContactStore store;
        const StartupLoadOutcome outcome = loadAtStartup(store, dir.filePath(QString::fromLatin1(kDataFileName)));
        QVERIFY(!outcome.keptAside);
        QVERIFY(store.Active());
        QVERIFY(store.NoneVisible());
        QVERIFY(files(dir.path()).isEmpty());
    }

    void startupRemovesStaleTemporariesOnly()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QString::fromLatin1(kDataFileName));
        writeFileBytes(path, sampleFile(dir.path()));
        QFile::remove(dir.filePath(QStringLiteral("sample.VKX")));
        writeFileBytes(path + QStringLiteral(".aB3xYz"), "half a save");
        writeFileBytes(path + QStringLiteral(".20260101-101010.bak"), "kept aside earlier");
        writeFileBytes(dir.filePath(QStringLiteral("Outro.VKX.aB3xYz")), "not ours");
        ContactStore store;
        QVERIFY(!loadAtStartup(store, path).keptAside);
        QCOMPARE(store.RecordCount(), 3);
        QCOMPARE(files(dir.path()), QStringList({"Lirvan.VKX", "Lirvan.VKX.20260101-101010.bak",
                                                 "Outro.VKX.aB3xYz"}));
    }

    void hostileFilesAreKeptAside_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTemporaryDir dir;
        const QByteArray good = sampleFile(dir.path());
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("wrong magic") << QByteArray("NOTOURS!").append(good.mid(8));
        QTest::newRow("text file") << QByteArray("Nome;Telefone\nAna;1234\n");
        for (int cut : {4, 12, 20, int(good.size() / 2), int(good.size() - 5), int(good.size() - 1)})
            QTest::addRow("truncated at %d", cut) << good.left(cut);
        QByteArray future = good;
        future[8] = char(2);
        QTest::newRow("future version") << future;
        for (int at : {10, 30, int(good.size() / 2), int(good.size() - 8)}) {
            QByteArray flipped = good;
            flipped[at] = char(flipped[at] ^ 0x10);
            QTest::addRow("bit flipped at %d", at) << flipped;
        }
        QTest::newRow("trailing bytes") << good + QByteArray("xx");

        // Rows whose checksum is valid, so the loader's own checks must catch them.
        auto putU32 = [](QByteArray &bytes, int at, quint32 v) {
            for (int i = 0; i < 4; ++i)
                bytes[at + i] = char(v >> (8 * i));
        };
        int countAt = 8 + 4 + 4 + 2;   // magic, version, flags, field count
        for (int field = 0; field < ContactStore::FieldCount; ++field)
            countAt += 1 + int(ContactStore::fieldDef(field).name.size()) + 1 + 2;
        for (quint32 count : {4u, 1000u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
            QByteArray bytes = good;
            putU32(bytes, countAt, count);
            QTest::addRow("record count %u, checksum valid", count) << resealed(bytes);
        }
        QByteArray longText = good;   // first record's last end offset made huge
        longText[countAt + 4 + 2 + 4 + 2 * 12] = char(0xFF);
        longText[countAt + 4 + 2 + 4 + 2 * 12 + 1] = char(0xFF);
        QTest::newRow("text length past the end, checksum valid") << resealed(longText);
        QByteArray widths = good;     // a field definition that does not match
        widths[8 + 4 + 4 + 2 + 1 + 4 + 1] = char(0xFF);
        QTest::newRow("field width changed, checksum valid") << resealed(widths);
        QByteArray nonsense = good.left(countAt + 4);
        for (int i = 0; i < 300; ++i)
            nonsense.append(char((i * 37 + 11) & 0xFF));
        nonsense.append(QByteArray(4, 0));
        QTest::newRow("nonsense records, checksum valid") << resealed(nonsense);
        QByteArray badUtf8 = good;    // a byte inside the first name that is not UTF-8
        const qsizetype nameAt = badUtf8.indexOf("Ana");
        badUtf8[nameAt + 1] = char(0xC3);
        QTest::newRow("invalid UTF-8, checksum valid") << resealed(badUtf8);
    }

    void hostileFilesAreKeptAside()
    {
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        const QString path = dir.filePath(QString::fromLatin1(kDataFileName));
        writeFileBytes(path, bytes);
        ContactStore store;
        const StartupLoadOutcome outcome = loadAtStartup(store, path);
        QVERIFY(outcome.keptAside);
        QVERIFY(!outcome.reason.isEmpty());
        if (QByteArray(QTest::currentDataTag()).contains("checksum valid"))
            QVERIFY2(!outcome.reason.contains(QStringLiteral("soma de verificação")), qPrintable(outcome.reason));
        QVERIFY(outcome.copyPath.startsWith(path + QStringLiteral(".")));
        QVERIFY(outcome.copyPath.endsWith(QStringLiteral(".bak")));
        QCOMPARE(fileBytes(outcome.copyPath), bytes);
        // The program goes on with an empty, open store; the next save cannot touch the copy.
        QVERIFY(store.Active());
        QVERIFY(store.NoneVisible());
        store.Insert();
        store.SetAsString(QStringLiteral("Nome"), QStringLiteral("Novo"));
        store.Commit();
        store.SaveToFile(path);
        QCOMPARE(fileBytes(outcome.copyPath), bytes);
    }

    // Every prefix of a small file, as cut (checksum wrong) and resealed with a valid checksum
    // over the cut bytes, so that the loader's own structure checks must reject it without
    // reading past the data: each one is kept aside whole and the store opens empty.
    void everyTruncationIsRejected()
    {
        QTemporaryDir dir;
        const QByteArray good = sampleFile(dir.path());
        const QString path = dir.filePath(QString::fromLatin1(kDataFileName));
        for (qsizetype cut = 0; cut < good.size(); ++cut) {
            QList<QByteArray> variants{good.left(cut)};
            if (cut != good.size() - 4)   // sealing that cut rebuilds the whole file
                variants << sealed(good.left(cut));
            for (const QByteArray &bytes : variants) {
                writeFileBytes(path, bytes);
                ContactStore store;
                const StartupLoadOutcome outcome = loadAtStartup(store, path);
                const QByteArray where = QByteArray("cut at ") + QByteArray::number(cut)
                                         + (bytes.size() == cut ? " as cut" : " resealed");
                QVERIFY2(outcome.keptAside, where.constData());
                QVERIFY2(!outcome.reason.isEmpty(), where.constData());
                QVERIFY2(fileBytes(outcome.copyPath) == bytes, where.constData());
                QVERIFY2(store.Active() && store.NoneVisible(), where.constData());
                QVERIFY(QFile::remove(outcome.copyPath));
            }
        }
    }

    void failedSaveKeepsOldFile_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("reason");   // what the user is told, in Portuguese
        QTest::newRow("target is a folder") << int(TargetIsFolder) << "o caminho indicado é uma pasta";
        QTest::newRow("parent is a file") << int(ParentIsFile) << "parte do caminho não é uma pasta";
        QTest::newRow("folder refuses new files") << int(FolderRefusesNewFiles)
                                                  << "permissão negada (a pasta não aceita novos arquivos)";
        QTest::newRow("disk fills early") << int(DiskFullEarly) << "não há espaço livre no disco";
        QTest::newRow("disk fills at the last byte") << int(DiskFullAtLastByte) << "não há espaço livre no disco";
        QTest::newRow("fsync fails") << int(FsyncFails) << "erro de leitura ou gravação no disco";
        QTest::newRow("rename fails") << int(RenameFails) << "erro de leitura ou gravação no disco";
    }

    void failedSaveKeepsOldFile()
    {
        QFETCH(int, fault);
        if (fault >= DiskFullEarly && !FaultShim::loaded())
            QSKIP("the fault shim could not be preloaded");
        QTemporaryDir dir;
        QString path = dir.filePath(QString::fromLatin1(kDataFileName));
        const QByteArray old = sampleFile(dir.path());
        QFile::remove(dir.filePath(QStringLiteral("sample.VKX")));
        if (fault == TargetIsFolder)
            QVERIFY(QDir(dir.path()).mkdir(QString::fromLatin1(kDataFileName)));
        else
            writeFileBytes(path, old);
        if (fault == ParentIsFile)
            path = path + QStringLiteral("/Lirvan.VKX");

        ContactStore store;
        for (int i = 0; i < 200; ++i)
            addFull(store, {QStringLiteral("Contato %1").arg(i), QStringLiteral("(11) 9%1").arg(i)});
        QTemporaryDir scratch;
        store.SaveToFile(scratch.filePath(QStringLiteral("measure.VKX")));
        const qint64 newSize = QFileInfo(scratch.filePath(QStringLiteral("measure.VKX"))).size();
        const QStringList before = files(dir.path());

        const QByteArray where = dir.path().toLocal8Bit();
        switch (fault) {
        case DiskFullEarly: FaultShim::failWritesAfter(where, 100); break;
        case DiskFullAtLastByte: FaultShim::failWritesAfter(where, newSize - 1); break;
        case FsyncFails: FaultShim::failFsync(where); break;
        case RenameFails: FaultShim::failRename(where); break;
        default: break;
        }
        RefusingFolder refusing(fault == FolderRefusesNewFiles ? dir.path() : QString());
        if (fault == FolderRefusesNewFiles)
            QVERIFY(refusing.refuses());
        const QString error = errorOf([&] { store.SaveToFile(path); });
        refusing.restore();
        FaultShim::clear();

        QFETCH(QString, reason);
        QCOMPARE(error, QStringLiteral("Não foi possível gravar o arquivo de contatos \"%1\": %2")
                            .arg(QDir::toNativeSeparators(path), reason));
        QCOMPARE(files(dir.path()), before);
        if (fault != TargetIsFolder)
            QCOMPARE(fileBytes(dir.filePath(QString::fromLatin1(kDataFileName))), old);
        QCOMPARE(store.RecordCount(), 200);   // memory keeps what was saved there
    }
};

int main(int argc, char **argv)
{
    FaultShim::ensureLoaded(argc, argv);
    QCoreApplication app(argc, argv);
    TestDataFile test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_datafile.moc"
