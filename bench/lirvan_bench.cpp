// lirvan_bench: the store, its file, its filters, the birthday scan and the report's pagination at
// 1,000 to 1,000,000 contacts, side by side with SQLite doing the same work in the same run.
//
//   lirvan_bench [N ...]          (default: 1000 10000 100000 1000000)

#include "report/ContactReport.h"
#include "store/ContactStore.h"
#include "store/DataSource.h"
#include "store/SearchFilter.h"
#include "widgets/BirthdayScan.h"

#include <QCollator>
#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QRandomGenerator>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <sqlite3.h>
#include <sys/utsname.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <map>
#include <vector>

namespace {

using Row = std::array<QString, ContactStore::FieldCount>;

// ---- the data set ---------------------------------------------------------------------------

std::vector<Row> generate(int n)
{
    static const QStringList first{
        "João", "Ângela", "Conceição", "Bárbara", "Maria", "José", "Ana", "Antônio", "Francisco",
        "Luís", "Paulo", "Carlos", "Márcia", "Sebastião", "Lúcia", "Érico", "Fátima", "Raimundo",
        "Sônia", "Cláudia", "Vinícius", "Patrícia", "Luana", "Gabriel", "Letícia", "Otávio", "Íris",
        "Débora", "Júlio", "Mônica", "Rogério", "Tânia", "Célia", "Joaquim", "Beatriz", "Rafael"};
    static const QStringList last{
        "Silva", "Santos", "Oliveira", "Souza", "Rodrigues", "Ferreira", "Alves", "Pereira", "Lima",
        "Gomes", "Ribeiro", "Carvalho", "Araújo", "Gonçalves", "Conceição", "Assunção", "Magalhães",
        "Simões", "Brandão", "Falcão", "Romão", "Estêvão", "d'Ávila", "Guimarães", "Nóbrega"};
    static const QStringList categories{
        "Família", "Amigos", "Trabalho", "Clientes", "Fornecedores", "Médicos", "Escola", "Vizinhos",
        "Igreja", "Futebol", "Serviços", "Bancos"};
    static const QStringList cities{"São Paulo", "Rio de Janeiro", "Belo Horizonte", "Salvador",
                                    "Fortaleza", "Curitiba", "Recife", "Porto Alegre", "Belém", "Goiânia",
                                    "Florianópolis", "Maceió", "São Luís", "Cuiabá"};
    static const QString noteWords = QStringLiteral(
        "ligar depois das 18h cliente antigo prefere whatsapp aniversário em família pagar boleto "
        "endereço novo conferir cep mudou de emprego indicação do joão não ligar aos domingos ");

    QRandomGenerator rng(20261211);
    auto pick = [&](const QStringList &list) { return list.at(rng.bounded(list.size())); };
    auto digits = [&](int count) {
        QString s;
        for (int i = 0; i < count; ++i)
            s += QChar(u'0' + rng.bounded(10));
        return s;
    };
    auto ddd = [&] { return QString::number(11 + rng.bounded(89)); };
    std::vector<Row> rows(n);
    for (Row &row : rows) {
        row[ContactStore::Nome] = pick(first) + u' ' + pick(last) + (rng.bounded(3) ? u' ' + pick(last) : QString());
        row[ContactStore::Telefone] = QStringLiteral("(%1) %2-%3").arg(ddd(), digits(4), digits(4));
        if (rng.bounded(4))
            row[ContactStore::Celular] = QStringLiteral("(%1) 9%2-%3").arg(ddd(), digits(4), digits(4));
        if (rng.bounded(3) == 0)
            row[ContactStore::Comercial] = QStringLiteral("(%1) %2-%3").arg(ddd(), digits(4), digits(4));
        if (rng.bounded(2))
            row[ContactStore::CPF_CNPJ] = QStringLiteral("%1.%2.%3-%4").arg(digits(3), digits(3), digits(3), digits(2));
        if (rng.bounded(3) == 0)
            row[ContactStore::IE] = QStringLiteral("%1.%2.%3-%4").arg(digits(2), digits(3), digits(3), digits(1));
        if (rng.bounded(4))
            row[ContactStore::Endereco] = QStringLiteral("Rua %1, %2").arg(pick(last), QString::number(rng.bounded(3000)));
        row[ContactStore::Cidade] = pick(cities);
        if (rng.bounded(3))
            row[ContactStore::CEP] = digits(5) + u'-' + digits(3);
        if (rng.bounded(2))
            row[ContactStore::email] = row[ContactStore::Nome].section(u' ', 0, 0).toLower() + QStringLiteral("@exemplo.com.br");
        if (rng.bounded(6) == 0)
            row[ContactStore::site] = QStringLiteral("www.exemplo%1.com.br").arg(rng.bounded(1000));
        const int noteLength = rng.bounded(201);
        if (noteLength > 0) {
            const int start = rng.bounded(noteWords.size());
            QString note = (noteWords.mid(start) + noteWords + noteWords).left(noteLength);
            row[ContactStore::observacao] = note;
        }
        row[ContactStore::Categoria] = pick(categories);
        if (rng.bounded(5))
            row[ContactStore::Nascimento] = QDate(1930 + rng.bounded(90), 1 + rng.bounded(12), 1 + rng.bounded(28))
                                                .toString(QStringLiteral("dd/MM/yyyy"));
    }
    return rows;
}

qint64 rawUtf8Size(const std::vector<Row> &rows)
{
    qint64 bytes = 0;
    for (const Row &row : rows)
        for (const QString &value : row)
            bytes += value.toUtf8().size();
    return bytes;
}

// Fills a store the way the editor does, one committed contact at a time; rows are put in name
// order first so each commit appends.
void fill(ContactStore &store, std::vector<Row> rows)
{
    QCollator collator{QLocale(QLocale::Portuguese, QLocale::Brazil)};
    std::vector<std::pair<QCollatorSortKey, int>> keys;
    keys.reserve(rows.size());
    for (int i = 0; i < int(rows.size()); ++i)
        keys.emplace_back(collator.sortKey(rows[i][ContactStore::Nome]), i);
    std::stable_sort(keys.begin(), keys.end(),
                     [](const auto &a, const auto &b) { return a.first.compare(b.first) < 0; });
    for (const auto &[key, i] : keys) {
        store.Insert();
        for (int field = 0; field < ContactStore::FieldCount; ++field)
            if (!rows[i][field].isEmpty())
                store.SetAsString(ContactStore::fieldDef(field).name, rows[i][field]);
        store.Commit();
    }
}

// ---- timing ---------------------------------------------------------------------------------

double medianMs(int runs, const std::function<void()> &prepare, const std::function<void()> &work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        if (prepare)
            prepare();
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

qint64 residentBytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong() * 1024;
    return 0;
}

// ---- SQLite ---------------------------------------------------------------------------------

void check(int rc, sqlite3 *db, const char *what)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
        std::fprintf(stderr, "sqlite %s: %s\n", what, sqlite3_errmsg(db));
        std::exit(1);
    }
}

void exec(sqlite3 *db, const char *sql)
{
    check(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), db, sql);
}

const char *kCreate =
    "CREATE TABLE contatos (Nome TEXT, Telefone TEXT, Celular TEXT, Comercial TEXT, CPF_CNPJ TEXT, "
    "IE TEXT, Endereco TEXT, Cidade TEXT, CEP TEXT, email TEXT, site TEXT, observacao TEXT, "
    "Categoria TEXT, Nascimento TEXT)";

void sqliteInsertAll(sqlite3 *db, const std::vector<Row> &rows)
{
    exec(db, "BEGIN");
    sqlite3_stmt *insert = nullptr;
    check(sqlite3_prepare_v2(db, "INSERT INTO contatos VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?)", -1, &insert, nullptr),
          db, "prepare insert");
    for (const Row &row : rows) {
        for (int field = 0; field < ContactStore::FieldCount; ++field) {
            QByteArray value = row[field].toUtf8();
            if (field == ContactStore::Nascimento && !value.isEmpty())   // ISO, so text order is date order
                value = QDate::fromString(row[field], QStringLiteral("dd/MM/yyyy")).toString(Qt::ISODate).toUtf8();
            if (value.isEmpty())
                sqlite3_bind_null(insert, field + 1);
            else
                sqlite3_bind_text(insert, field + 1, value.constData(), int(value.size()), SQLITE_TRANSIENT);
        }
        check(sqlite3_step(insert), db, "insert");
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    exec(db, "COMMIT");
}

// Runs a query and walks every row, reading every column, as a view would.
int sqliteWalk(sqlite3 *db, const QString &sql, std::vector<std::string> *copy = nullptr)
{
    sqlite3_stmt *query = nullptr;
    check(sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &query, nullptr), db, "prepare query");
    int rows = 0;
    const int columns = sqlite3_column_count(query);
    while (sqlite3_step(query) == SQLITE_ROW) {
        ++rows;
        if (copy) {
            std::string record;
            for (int c = 0; c < columns; ++c) {
                const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(query, c));
                if (text)
                    record.append(text, size_t(sqlite3_column_bytes(query, c)));
                record.push_back('\0');
            }
            copy->push_back(std::move(record));
        }
    }
    sqlite3_finalize(query);
    return rows;
}

// The filter texts of the search row as SQL. User text here is plain letters and digits.
QString sqlSearch(const QString &name, const QString &phones, const QString &category)
{
    QString where = QStringLiteral("Nome IS NOT NULL");
    if (!name.isEmpty())
        where += QStringLiteral(" AND upper(Nome) LIKE '%%1%'").arg(name.toUpper());
    if (!category.isEmpty())
        where += QStringLiteral(" AND upper(Categoria) LIKE '%%1%'").arg(category.toUpper());
    if (!phones.isEmpty())
        where += QStringLiteral(" AND (upper(Telefone) LIKE '%%1%' OR upper(Celular) LIKE '%%1%' OR upper(Comercial) LIKE '%%1%')")
                     .arg(phones.toUpper());
    return QStringLiteral("SELECT rowid FROM contatos WHERE %1 ORDER BY Nome").arg(where);
}

// ---- the report -----------------------------------------------------------------------------

struct Line
{
    QString what;
    std::map<int, std::array<double, 2>> byN;   // ours, SQLite's (negative: none)
};

void machineLine()
{
    utsname u{};
    uname(&u);
    QString cpu;
    QFile info(QStringLiteral("/proc/cpuinfo"));
    if (info.open(QIODevice::ReadOnly))
        for (const QByteArray &line : info.readAll().split('\n'))
            if (line.startsWith("model name")) {
                cpu = QString::fromUtf8(line.mid(line.indexOf(':') + 1).trimmed());
                break;
            }
    std::printf("lirvan_bench: g++ %s, Qt %s, SQLite %s, %s build; %s, %d cores, %s %s\n", __VERSION__,
                qVersion(), sqlite3_libversion(),
#ifdef NDEBUG
                "optimised",
#else
                "debug",
#endif
                qPrintable(cpu), QThread::idealThreadCount(), u.sysname, u.release);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();

    // Child mode: resident memory of a freshly loaded store, and of SQLite holding the same rows.
    if (args.size() == 3 && args[1] == QLatin1String("--memory")) {
        // The collator's and the fold's tables are paid once per program, not per contact.
        ContactStore store;
        {
            QCollator warm{QLocale(QLocale::Portuguese, QLocale::Brazil)};
            warm.compare(QStringLiteral("Ângela"), QStringLiteral("Conceição"));
            ContactStore one;
            one.Insert();
            one.SetAsString(QStringLiteral("Nome"), QStringLiteral("Érico"));
            one.Commit();
        }
        const qint64 before = residentBytes();
        store.LoadFromFile(args[2]);
        const qint64 after = residentBytes();
        std::printf("%lld\n", after - before);
        return 0;
    }
    if (args.size() == 3 && args[1] == QLatin1String("--memory-sqlite")) {
        ContactStore store;
        store.LoadFromFile(args[2]);
        std::vector<Row> rows(store.RecordCount());
        for (int r = 0; r < store.RecordCount(); ++r)
            for (int field = 0; field < ContactStore::FieldCount; ++field)
                rows[r][field] = store.valueAt(r, field);
        sqlite3 *db = nullptr;
        sqlite3_open(":memory:", &db);
        exec(db, kCreate);
        const qint64 before = sqlite3_memory_used();
        sqliteInsertAll(db, rows);
        std::printf("%lld\n", qint64(sqlite3_memory_used() - before));
        sqlite3_close(db);
        return 0;
    }

    std::vector<int> sizes;
    for (int i = 1; i < args.size(); ++i)
        sizes.push_back(args[i].toInt());
    if (sizes.empty())
        sizes = {1000, 10000, 100000, 1000000};

    machineLine();
    QTemporaryDir dir;
    std::vector<Line> lines;
    auto record = [&](const QString &what, int n, double ours, double theirs) {
        auto it = std::find_if(lines.begin(), lines.end(), [&](const Line &l) { return l.what == what; });
        if (it == lines.end()) {
            lines.push_back({what, {}});
            it = lines.end() - 1;
        }
        it->byN[n] = {ours, theirs};
        std::fprintf(stderr, "  N=%d %-42s %10.3f ms  sqlite %10.3f ms\n", n, qPrintable(what), ours, theirs);
    };

    for (int n : sizes) {
        std::fprintf(stderr, "N = %d: generating...\n", n);
        const std::vector<Row> rows = generate(n);
        const qint64 raw = rawUtf8Size(rows);
        const int runs = n >= 1000000 ? 3 : 7;
        const QString path = dir.filePath(QStringLiteral("Lirvan-%1.VKX").arg(n));
        {
            ContactStore seed;
            fill(seed, rows);
            seed.SaveToFile(path);
        }

        // Start-up load and save.
        ContactStore store;
        const double load = medianMs(runs, nullptr, [&] { store.LoadFromFile(path); });
        const QString savePath = dir.filePath(QStringLiteral("save-%1.VKX").arg(n));
        const double save = medianMs(runs, nullptr, [&] { store.SaveToFile(savePath); });

        sqlite3 *disk = nullptr;
        const QString sqlitePath = dir.filePath(QStringLiteral("sqlite-%1.db").arg(n));
        const double sqliteSave = medianMs(runs, [&] {
            if (disk)
                sqlite3_close(disk);
            QFile::remove(sqlitePath);
            sqlite3_open(sqlitePath.toUtf8().constData(), &disk);
            exec(disk, kCreate);
        }, [&] { sqliteInsertAll(disk, rows); });
        sqlite3_close(disk);
        std::vector<std::string> copied;
        const double sqliteLoad = medianMs(runs, [&] { copied.clear(); }, [&] {
            sqlite3 *db = nullptr;
            sqlite3_open(sqlitePath.toUtf8().constData(), &db);
            sqliteWalk(db, QStringLiteral("SELECT * FROM contatos ORDER BY Nome"), &copied);
            sqlite3_close(db);
        });
        record(QStringLiteral("start-up load (file -> ordered by name)"), n, load, sqliteLoad);
        record(QStringLiteral("save whole store (with flush to disk)"), n, save, sqliteSave);

        // Key strokes: the filter text rebuilt, parsed and applied, the first screen of rows read.
        sqlite3 *mem = nullptr;
        sqlite3_open(":memory:", &mem);
        exec(mem, kCreate);
        sqliteInsertAll(mem, rows);
        auto applySearch = [&](const QString &name, const QString &phones, const QString &category) {
            const QString text = searchFilterText(name, phones, category);
            store.SetFiltered(false);
            if (text.isEmpty())
                return;
            store.SetFilter(text);
            store.SetFiltered(true);
            for (int row = 0; row < std::min(store.visibleRowCount(), 15); ++row)
                store.valueAt(row, ContactStore::Nome);
        };
        struct Stroke { QString what; QString before[3]; QString after[3]; };
        const Stroke strokes[] = {
            {QStringLiteral("key stroke, name box (\"an\" -> \"ana\")"), {"an", "", ""}, {"ana", "", ""}},
            {QStringLiteral("key stroke, phones box (\"9\" -> \"98\")"), {"", "9", ""}, {"", "98", ""}},
            {QStringLiteral("key stroke, category box (\"cl\" -> \"cli\")"), {"", "", "cl"}, {"", "", "cli"}},
            {QStringLiteral("backspace, name box (\"ana\" -> \"an\")"), {"ana", "", ""}, {"an", "", ""}},
        };
        for (const Stroke &s : strokes) {
            const double ours = medianMs(runs, [&] { applySearch(s.before[0], s.before[1], s.before[2]); },
                                         [&] { applySearch(s.after[0], s.after[1], s.after[2]); });
            const QString sql = sqlSearch(s.after[0], s.after[1], s.after[2]);
            const double theirs = medianMs(runs, nullptr, [&] { sqliteWalk(mem, sql); });
            record(s.what, n, ours, theirs);
        }
        const double letter = medianMs(runs, [&] { store.SetFiltered(false); }, [&] {
            store.SetFiltered(false);
            store.SetFilter(letterFilterText(QStringLiteral("m")));
            store.SetFiltered(true);
        });
        const double sqliteLetter = medianMs(runs, nullptr, [&] {
            sqliteWalk(mem, QStringLiteral("SELECT rowid FROM contatos WHERE upper(Nome) LIKE 'M%' ORDER BY Nome"));
        });
        record(QStringLiteral("letter button \"m\""), n, letter, sqliteLetter);
        const double showAll = medianMs(runs, [&] { applySearch("ana", "", ""); }, [&] { store.SetFiltered(false); });
        const double sqliteAll = medianMs(runs, nullptr, [&] {
            sqliteWalk(mem, QStringLiteral("SELECT rowid FROM contatos ORDER BY Nome"));
        });
        record(QStringLiteral("show all"), n, showAll, sqliteAll);

        // One contact saved from the editor: the commit into the name order, then the whole file.
        store.SetFiltered(false);
        int editCount = 0;
        auto editOne = [&] {
            store.setCurrentRow(store.visibleRowCount() / 2);
            store.Edit();
            store.SetAsString(QStringLiteral("Nome"), QStringLiteral("Márcia Editada %1").arg(editCount++));
        };
        const double commit = medianMs(runs, editOne, [&] { store.Commit(); });
        const double saved = medianMs(runs, editOne, [&] {
            store.Commit();
            store.SaveToFile(savePath);
        });
        sqlite3 *db = nullptr;
        sqlite3_open(sqlitePath.toUtf8().constData(), &db);
        const double sqliteUpdate = medianMs(runs, nullptr, [&] {
            exec(db, QStringLiteral("UPDATE contatos SET Nome = 'Márcia Editada %1' WHERE rowid = %2")
                         .arg(editCount++).arg(n / 2).toUtf8().constData());
        });
        sqlite3_close(db);
        record(QStringLiteral("commit one edited contact (in memory)"), n, commit, -1);
        record(QStringLiteral("\"Salvar\": commit + whole file written"), n, saved, sqliteUpdate);

        // The birthday scan and the report's pagination.
        DataSource source(&store);
        const QDate today = QDate::currentDate();
        const double scan = medianMs(runs, nullptr, [&] { birthdayAlertText(store, source, today); });
        const double sqliteScan = medianMs(runs, nullptr, [&] {
            sqliteWalk(mem, QStringLiteral("SELECT Nome, Nascimento FROM contatos WHERE substr(Nascimento, 6, 2) = '%1' "
                                           "ORDER BY Nascimento").arg(today.month(), 2, 10, QChar(u'0')));
        });
        record(QStringLiteral("birthday scan"), n, scan, sqliteScan);
        ContactReport report(&source);
        const double paginate = medianMs(runs, nullptr, [&] { report.build(QDateTime::currentDateTime()); });
        record(QStringLiteral("report pagination of all contacts"), n, paginate, -1);
        sqlite3_close(mem);

        // Resident memory per contact, each in a fresh process.
        auto child = [&](const char *mode) {
            QProcess p;
            p.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(mode), path});
            p.waitForFinished(-1);
            return p.readAllStandardOutput().trimmed().toDouble();
        };
        record(QStringLiteral("resident memory per contact, bytes"), n, child("--memory") / n,
               child("--memory-sqlite") / n);
        record(QStringLiteral("raw UTF-8 size per contact, bytes"), n, double(raw) / n, -1);
        QFile::remove(savePath);
        QFile::remove(sqlitePath);
        QFile::remove(path);
    }

    // One table: ours, SQLite's and their ratio (SQLite / ours: above 1 means we are faster or
    // smaller).
    std::printf("\n| measure (ms; memory in bytes) |");
    for (int n : sizes)
        std::printf(" N=%d ours | SQLite | ratio |", n);
    std::printf("\n|---|");
    for (size_t i = 0; i < sizes.size(); ++i)
        std::printf("---:|---:|---:|");
    std::printf("\n");
    for (const Line &line : lines) {
        std::printf("| %s |", qPrintable(line.what));
        for (int n : sizes) {
            const auto found = line.byN.find(n);
            if (found == line.byN.end()) {
                std::printf(" — | — | — |");
                continue;
            }
            const auto &[ours, theirs] = found->second;
            if (theirs < 0)
                std::printf(" %.3f | — | — |", ours);
            else
                std::printf(" %.3f | %.3f | %.1f× |", ours, theirs, ours > 0 ? theirs / ours : 0.0);
        }
        std::printf("\n");
    }
    return 0;
}
