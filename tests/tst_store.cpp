// The store's state rules, order, widths and dates.

#include "store/ContactStore.h"
#include "support/TestFiles.h"

#include <QSignalSpy>
#include <QTest>

namespace {

void add(ContactStore &store, const QString &name, const QString &birth = QString(),
         const QString &phone = QString())
{
    store.Insert();
    if (!name.isNull())
        store.SetAsString(QStringLiteral("Nome"), name);
    if (!birth.isEmpty())
        store.SetAsString(QStringLiteral("Nascimento"), birth);
    if (!phone.isEmpty())
        store.SetAsString(QStringLiteral("Telefone"), phone);
    store.Commit();
}

QStringList visibleNames(ContactStore &store)
{
    QStringList names;
    for (int row = 0; row < store.visibleRowCount(); ++row)
        names << store.valueAt(row, ContactStore::Nome);
    return names;
}

// How a pending change is settled by the next move, insert or filter switch.
enum class Pending { InsertTyped, InsertUntouched, EditTyped, EditUntouched };
enum class Move { MoveFirst, Next, Insert, ClickRow, Filtered, IndexFieldNames };

} // namespace

Q_DECLARE_METATYPE(Pending)
Q_DECLARE_METATYPE(Move)

class TestStore : public QObject
{
    Q_OBJECT

private slots:
    void startsOpenEmptyOrderedByName()
    {
        ContactStore store;
        QCOMPARE(store.objectName(), QStringLiteral("cdsContatos"));
        QVERIFY(store.Active());
        QCOMPARE(store.RecordCount(), 0);
        QVERIFY(store.NoneVisible());
        QVERIFY(store.AtEnd());
        QCOMPARE(store.IndexFieldNames(), QStringLiteral("Nome"));
        QVERIFY(!store.Filtered());
        QCOMPARE(store.State(), StoreState::Browse);
        QCOMPARE(store.AsString(QStringLiteral("Nome")), QString());
    }

    void nameOrderCollatesAccentsAndPutsNullsFirst()
    {
        ContactStore store;
        for (const QString &name : {QStringLiteral("Zé"), QStringLiteral("bruno"), QStringLiteral("Ângela"),
                                    QStringLiteral("André"), QString(), QStringLiteral("Bárbara"),
                                    QStringLiteral("ana"), QStringLiteral("Érico"), QStringLiteral("Eduardo")})
            add(store, name);
        QCOMPARE(visibleNames(store),
                 QStringList({QString(), QStringLiteral("ana"), QStringLiteral("André"), QStringLiteral("Ângela"),
                              QStringLiteral("Bárbara"), QStringLiteral("bruno"), QStringLiteral("Eduardo"),
                              QStringLiteral("Érico"), QStringLiteral("Zé")}));
    }

    void equalNamesKeepTheOrderTheyWereStored()
    {
        ContactStore store;
        add(store, QStringLiteral("Maria"), QString(), QStringLiteral("1"));
        add(store, QStringLiteral("Ana"));
        add(store, QStringLiteral("Maria"), QString(), QStringLiteral("2"));
        add(store, QStringLiteral("Maria"), QString(), QStringLiteral("3"));
        QStringList phones;
        for (int row = 1; row < 4; ++row)
            phones << store.valueAt(row, ContactStore::Telefone);
        QCOMPARE(phones, QStringList({"1", "2", "3"}));
    }

    void committedRecordIsCurrentAtItsPlace()
    {
        ContactStore store;
        add(store, QStringLiteral("Carla"));
        add(store, QStringLiteral("Ana"));
        add(store, QStringLiteral("Bia"));
        QCOMPARE(store.currentRow(), 1);
        QCOMPARE(store.AsString(QStringLiteral("nome")), QStringLiteral("Bia"));
        // An edit that changes the key moves the record and keeps it current.
        store.Edit();
        store.SetAsString(QStringLiteral("Nome"), QStringLiteral("Zuleica"));
        store.Commit();
        QCOMPARE(visibleNames(store), QStringList({"Ana", "Carla", "Zuleica"}));
        QCOMPARE(store.currentRow(), 2);
    }

    void pendingInsertShowsAsAnEmptyRowAtTheCursor()
    {
        ContactStore store;
        add(store, QStringLiteral("Ana"));
        add(store, QStringLiteral("Bia"));
        add(store, QStringLiteral("Caio"));
        store.setCurrentRow(1);
        store.Insert();
        QCOMPARE(store.visibleRowCount(), 4);
        QVERIFY(store.isPendingRow(1));
        QCOMPARE(visibleNames(store), QStringList({"Ana", QString(), "Bia", "Caio"}));
        QVERIFY(!store.NoneVisible());
        store.Cancel();
        QCOMPARE(visibleNames(store), QStringList({"Ana", "Bia", "Caio"}));
        QCOMPARE(store.AsString(QStringLiteral("Nome")), QStringLiteral("Bia"));
    }

    void settling_data()
    {
        QTest::addColumn<Pending>("pending");
        QTest::addColumn<Move>("move");
        QTest::addColumn<QStringList>("namesAfter");

        const QStringList base{"Ana", "Bia", "Caio"};
        const QStringList withNew{"Ana", "Bia", "Caio", "Duda"};
        const QStringList edited{"Ana", "Caio", "Xavier"};
        for (auto [move, tag] : {std::pair{Move::MoveFirst, "MoveFirst"}, {Move::Next, "Next"},
                                 {Move::Insert, "Insert"}, {Move::ClickRow, "click"},
                                 {Move::Filtered, "Filtered"}, {Move::IndexFieldNames, "order"}}) {
            QTest::addRow("insert typed, %s", tag) << Pending::InsertTyped << move << withNew;
            QTest::addRow("insert untouched, %s", tag) << Pending::InsertUntouched << move << base;
            QTest::addRow("edit typed, %s", tag) << Pending::EditTyped << move << edited;
            QTest::addRow("edit untouched, %s", tag) << Pending::EditUntouched << move << base;
        }
    }

    void settling()
    {
        QFETCH(Pending, pending);
        QFETCH(Move, move);
        QFETCH(QStringList, namesAfter);

        ContactStore store;
        add(store, QStringLiteral("Caio"));
        add(store, QStringLiteral("Ana"));
        add(store, QStringLiteral("Bia"));
        store.setCurrentRow(1);
        switch (pending) {
        case Pending::InsertTyped:
            store.Insert();
            store.SetAsString(QStringLiteral("Nome"), QStringLiteral("Duda"));
            break;
        case Pending::InsertUntouched:
            store.Insert();
            break;
        case Pending::EditTyped:
            store.Edit();
            store.SetAsString(QStringLiteral("Nome"), QStringLiteral("Xavier"));
            break;
        case Pending::EditUntouched:
            store.Edit();
            break;
        }
        switch (move) {
        case Move::MoveFirst: store.MoveFirst(); break;
        case Move::Next: store.Next(); break;
        case Move::Insert: store.Insert(); break;
        case Move::ClickRow: store.setCurrentRow(0); break;
        case Move::Filtered: store.SetFiltered(false); break;
        case Move::IndexFieldNames: store.SetIndexFieldNames(QStringLiteral("Nome")); break;
        }
        if (move == Move::Insert) {
            QCOMPARE(store.State(), StoreState::Insert);
            store.Cancel();
        }
        QCOMPARE(store.State(), StoreState::Browse);
        QCOMPARE(visibleNames(store), namesAfter);
        QCOMPARE(store.RecordCount(), namesAfter.size());
    }

    void wrongStateOperations()
    {
        ContactStore store;
        add(store, QStringLiteral("Ana"));
        QSignalSpy resets(&store, &ContactStore::rowsReset);
        QCOMPARE(errorOf([&] { store.Commit(); }),
                 QStringLiteral("cdsContatos: Dataset not in edit or insert mode"));
        QCOMPARE(errorOf([&] { store.SetAsString(QStringLiteral("Nome"), QStringLiteral("x")); }),
                 QStringLiteral("cdsContatos: Dataset not in edit or insert mode"));
        store.Cancel(); // nothing pending: does nothing
        QCOMPARE(resets.count(), 0);
        QCOMPARE(visibleNames(store), QStringList({"Ana"}));

        store.setObjectName(QStringLiteral("outro"));
        QCOMPARE(errorOf([&] { store.Commit(); }), QStringLiteral("outro: Dataset not in edit or insert mode"));

        ContactStore empty;
        QVERIFY(!errorOf([&] { empty.Delete(); }).isEmpty());
        QVERIFY(!errorOf([&] { empty.Edit(); }).isEmpty());
        QCOMPARE(errorOf([&] { empty.AsString(QStringLiteral("Apelido")); }),
                 QStringLiteral("cdsContatos: Field 'Apelido' not found"));
    }

    void editWhilePendingDoesNothing()
    {
        ContactStore store;
        add(store, QStringLiteral("Ana"));
        store.Insert();
        store.Edit();
        QCOMPARE(store.State(), StoreState::Insert);
    }

    void deleteByState()
    {
        ContactStore store;
        add(store, QStringLiteral("Ana"));
        add(store, QStringLiteral("Bia"));
        add(store, QStringLiteral("Caio"));

        // Insert state: only the pending new record goes.
        store.setCurrentRow(1);
        store.Insert();
        store.SetAsString(QStringLiteral("Nome"), QStringLiteral("Novo"));
        store.Delete();
        QCOMPARE(visibleNames(store), QStringList({"Ana", "Bia", "Caio"}));
        QCOMPARE(store.State(), StoreState::Browse);

        // Edit state: the change is dropped and the record being edited goes.
        store.setCurrentRow(1);
        store.Edit();
        store.SetAsString(QStringLiteral("Nome"), QStringLiteral("Zeca"));
        store.Delete();
        QCOMPARE(visibleNames(store), QStringList({"Ana", "Caio"}));
        QCOMPARE(store.AsString(QStringLiteral("Nome")), QStringLiteral("Caio")); // the next one

        // Browse state, last row: the previous one becomes current.
        store.Delete();
        QCOMPARE(visibleNames(store), QStringList({"Ana"}));
        QCOMPARE(store.AsString(QStringLiteral("Nome")), QStringLiteral("Ana"));
        store.Delete();
        QVERIFY(store.NoneVisible());
        QCOMPARE(store.RecordCount(), 0);
        QCOMPARE(store.currentRow(), -1);
    }

    void walkVisitsEveryRecordOnce()
    {
        ContactStore store;
        add(store, QStringLiteral("Bia"));
        add(store, QStringLiteral("Ana"));
        QStringList walked;
        for (store.MoveFirst(); !store.AtEnd(); store.Next())
            walked << store.AsString(QStringLiteral("Nome"));
        QCOMPARE(walked, QStringList({"Ana", "Bia"}));
        QCOMPARE(store.AsString(QStringLiteral("Nome")), QStringLiteral("Bia")); // stays on the last
    }

    void textIsCutToWidth_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("stored");
        QTest::newRow("phone at width") << "Telefone" << QString(30, u'9') << QString(30, u'9');
        QTest::newRow("phone over width") << "Telefone" << QString(31, u'9') << QString(30, u'9');
        QTest::newRow("CEP") << "CEP" << "12345-678901" << "12345-6789";
        QTest::newRow("note of 1200") << "observacao" << QString(1200, u'n') << QString(1000, u'n');
        QTest::newRow("accents count as one") << "CEP" << "ãããããããããããã" << "ãããããããããã";
        QTest::newRow("no pair is split") << "CEP" << (QString(9, u'a') + QString::fromUtf8("😀"))
                                          << QString(9, u'a');
        QTest::newRow("kept as typed") << "Nome" << "  ana  DA silva " << "  ana  DA silva ";
        QTest::newRow("emptied reads null") << "Nome" << "" << "";
    }

    void textIsCutToWidth()
    {
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(QString, stored);
        ContactStore store;
        store.Insert();
        store.SetAsString(field, QStringLiteral("x"));
        store.SetAsString(field, text);
        store.Commit();
        QCOMPARE(store.AsString(field), stored);
        QCOMPARE(store.IsNull(field), stored.isEmpty());
    }

    void dates_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("date");     // invalid: null
        QTest::addColumn<QString>("error");
        QTest::newRow("dd/MM/yyyy") << "07/03/1975" << QDate(1975, 3, 7) << QString();
        QTest::newRow("short parts") << "7/3/1975" << QDate(1975, 3, 7) << QString();
        QTest::newRow("leap day") << "29/02/2000" << QDate(2000, 2, 29) << QString();
        QTest::newRow("empty is null") << "" << QDate() << QString();
        QTest::newRow("blanks are null") << "   " << QDate() << QString();
        // The editor's date box hands over an empty text when every position is blank.
        QTest::newRow("bare slashes") << "  /  /    " << QDate() << "'  /  /    ' is not a valid date";
        QTest::newRow("no such day") << "31/02/2000" << QDate() << "'31/02/2000' is not a valid date";
        QTest::newRow("half typed") << "12/03/    " << QDate() << "'12/03/    ' is not a valid date";
        QTest::newRow("letters") << "ab/cd/efgh" << QDate() << "'ab/cd/efgh' is not a valid date";
        QTest::newRow("month 13") << "01/13/2000" << QDate() << "'01/13/2000' is not a valid date";
    }

    void dates()
    {
        QFETCH(QString, text);
        QFETCH(QDate, date);
        QFETCH(QString, error);
        ContactStore store;
        store.Insert();
        store.SetAsString(QStringLiteral("Nascimento"), QStringLiteral("01/01/1990"));
        QCOMPARE(errorOf([&] { store.SetAsString(QStringLiteral("nascimento"), text); }), error);
        if (!error.isEmpty()) {
            // A text that does not convert leaves the field as it was.
            QCOMPARE(store.AsDateTime(QStringLiteral("Nascimento")), QDate(1990, 1, 1));
            return;
        }
        store.Commit();
        QCOMPARE(store.AsDateTime(QStringLiteral("Nascimento")), date);
        QCOMPARE(store.IsNull(QStringLiteral("Nascimento")), !date.isValid());
        QCOMPARE(store.AsString(QStringLiteral("Nascimento")),
                 date.isValid() ? date.toString(QStringLiteral("dd/MM/yyyy")) : QString());
    }

    void birthDateOrderAndBackToName()
    {
        ContactStore store;
        add(store, QStringLiteral("Ana"), QStringLiteral("10/03/1980"));
        add(store, QStringLiteral("Bia"));
        add(store, QStringLiteral("Caio"), QStringLiteral("05/03/1975"));
        add(store, QStringLiteral("Dora"), QStringLiteral("05/03/1975"));
        store.SetIndexFieldNames(QStringLiteral("Nascimento"));
        QCOMPARE(visibleNames(store), QStringList({"Bia", "Caio", "Dora", "Ana"}));
        store.SetIndexFieldNames(QStringLiteral("Nome"));
        QCOMPARE(visibleNames(store), QStringList({"Ana", "Bia", "Caio", "Dora"}));

        // A record saved while ordered by birth date is in its place once the name order is back.
        store.SetIndexFieldNames(QStringLiteral("Nascimento"));
        add(store, QStringLiteral("Beto"), QStringLiteral("01/01/1990"));
        QCOMPARE(visibleNames(store).last(), QStringLiteral("Beto"));
        store.SetIndexFieldNames(QStringLiteral("Nome"));
        QCOMPARE(visibleNames(store), QStringList({"Ana", "Beto", "Bia", "Caio", "Dora"}));
        QVERIFY(!errorOf([&] { store.SetIndexFieldNames(QStringLiteral("Cidade")); }).isEmpty());
    }

    void failedLoadKeepsWhatCloseKept()
    {
        ContactStore store;
        add(store, QStringLiteral("Ana"));
        QVERIFY(!errorOf([&] { store.LoadFromFile(QStringLiteral("/nonexistent/Lirvan.VKX")); }).isEmpty());
        QVERIFY(!store.Active());
        QVERIFY(!errorOf([&] { store.MoveFirst(); }).isEmpty());
        store.Open();
        store.Open();
        QCOMPARE(visibleNames(store), QStringList({"Ana"}));
    }
};

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
