// The main window: start-up with and without a data file, its parts and their places, the
// keyboard, the contact grid over the store, the search row and the letter index.

#include "store/ContactStore.h"
#include "store/DataSource.h"
#include "ufrmPrincipal.h"
#include "widgets/ContactGrid.h"
#include "widgets/LetterIndex.h"
#include "widgets/RibbonBar.h"
#include "widgets/StatusBar.h"
#include "support/TestFiles.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSizeGrip>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QDeadlineTimer>
#include <QAbstractButton>
#include <QTest>
#include <QTimer>
#include <memory>

namespace {

// A contact as the test writes it: field name -> text.
using Contact = QList<QPair<QString, QString>>;

Contact named(const QString &name, const QString &phone = {}, const QString &category = {})
{
    Contact c;
    if (!name.isNull())
        c << qMakePair(QStringLiteral("Nome"), name);
    if (!phone.isEmpty())
        c << qMakePair(QStringLiteral("Telefone"), phone);
    if (!category.isEmpty())
        c << qMakePair(QStringLiteral("Categoria"), category);
    return c;
}

void writeDataFile(const QString &path, const QList<Contact> &contacts)
{
    ContactStore store;
    for (const Contact &contact : contacts) {
        store.Insert();
        for (const auto &[field, text] : contact)
            store.SetAsString(field, text);
        store.Commit();
    }
    store.SaveToFile(path);
}

// Answers every message box that becomes the active modal widget with its OK (or default)
// button and records what it showed. Polls for a bounded time only.
class BoxAnswerer : public QObject
{
public:
    struct Seen
    {
        QString objectName;
        QString title;
        QString text;
    };

    explicit BoxAnswerer(int budgetMs = 10000) : m_budget(budgetMs / kPollMs)
    {
        connect(&m_timer, &QTimer::timeout, this, [this] { poll(); });
        m_timer.start(kPollMs);
    }

    QList<Seen> seen;

private:
    static constexpr int kPollMs = 20;

    void poll()
    {
        if (--m_budget <= 0) {
            m_timer.stop();
            return;
        }
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        seen.append({box->objectName(), box->windowTitle(), box->text()});
        QAbstractButton *answer = box->button(QMessageBox::Ok);
        if (!answer)
            answer = box->defaultButton();
        if (answer)
            answer->click();
        else
            box->reject();
    }

    QTimer m_timer;
    int m_budget;
};

// Every contact of the search and letter cases; one has no name.
QList<Contact> searchContacts()
{
    return {
        named(QStringLiteral("Ana Maria"), QStringLiteral("3333-1000"), QStringLiteral("Cliente")),
        named(QStringLiteral("Bárbara"), QStringLiteral("9999-0001"), QStringLiteral("Família")),
        named(QStringLiteral("Álvaro"), QStringLiteral("2222-0002"), QStringLiteral("clientes VIP")),
        named(QStringLiteral("Diana"), QStringLiteral("4444-9912")),
        named(QStringLiteral("Bruno"), QStringLiteral("5555-3333"), QStringLiteral("Fornecedor")),
        named(QStringLiteral("Juliana"), {}, QStringLiteral("cliente")),
        named(QStringLiteral("Ângela"), QStringLiteral("8888-0000")),
        named(QStringLiteral("Otto")),
        named(QString(), QStringLiteral("3333-7777"), QStringLiteral("Cliente")),
    };
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TfrmPrincipal> m_window;

    QString dataFile() const { return m_dir->filePath(QStringLiteral("Lirvan.VKX")); }

    ProgramEnvironment environment() const
    {
        return ProgramEnvironment{m_dir->path(), QUrl(QStringLiteral("http://127.0.0.1:9")),
                                  [] { return false; }};
    }

    // Builds and shows the window over the temporary folder, as the program does.
    TfrmPrincipal *openWindow()
    {
        m_window = std::make_unique<TfrmPrincipal>(environment());
        new QAbstractItemModelTester(grid()->model(),
                                     QAbstractItemModelTester::FailureReportingMode::QtTest,
                                     m_window.get());
        m_window->show();
        if (!QTest::qWaitForWindowExposed(m_window.get()))
            return nullptr;
        return m_window.get();
    }

    template <typename T>
    T *part(const QString &name) const
    {
        return m_window->findChild<T *>(name);
    }

    ContactGrid *grid() const { return part<ContactGrid>(QStringLiteral("grdContatos")); }
    ContactStore *store() const { return m_window->store(); }

    QStringList listedNames() const
    {
        ContactGridModel *model = grid()->gridModel();
        QStringList names;
        for (int row = 0; row < model->recordRows(); ++row)
            names << model->index(row, 0).data().toString();
        return names;
    }

    LetterButton *letterButton(const QString &letter) const
    {
        const auto buttons = m_window->findChildren<LetterButton *>();
        for (LetterButton *button : buttons)
            if (button->text() == letter)
                return button;
        return nullptr;
    }

    void clickRow(int row)
    {
        ContactGrid *g = grid();
        const QRect cell = g->visualRect(g->model()->index(row, 0));
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, cell.center());
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    void cleanup()
    {
        m_window.reset();
        m_dir.reset();
    }

    void opensEmptyAndSilentWithoutDataFile()
    {
        BoxAnswerer answerer(1000);
        QVERIFY(openWindow());
        QCoreApplication::processEvents();
        QCOMPARE(store()->RecordCount(), 0);
        QCOMPARE(grid()->gridModel()->recordRows(), 0);
        // The header and one blank row, shown as current.
        QCOMPARE(grid()->model()->rowCount(), 1);
        QCOMPARE(grid()->shownCurrentRow(), 0);
        QCOMPARE(grid()->model()->index(0, 0).data().toString(), QString());
        QTest::qWait(200);
        QVERIFY(answerer.seen.isEmpty());
        QVERIFY(!QFileInfo::exists(dataFile()));
    }

    void listsContactsInNameOrder()
    {
        writeDataFile(dataFile(),
                      {named(QStringLiteral("Zélia")), named(QStringLiteral("ana")),
                       named(QStringLiteral("Ângela")), named(QStringLiteral("Bruno")),
                       Contact{{QStringLiteral("Nome"), QStringLiteral("Álvaro")},
                               {QStringLiteral("Telefone"), QStringLiteral("(11) 3333-1000")},
                               {QStringLiteral("Celular"), QStringLiteral("(11) 99999-0000")},
                               {QStringLiteral("Comercial"), QStringLiteral("(11) 4444-2000")},
                               {QStringLiteral("Cidade"), QStringLiteral("São Paulo")},
                               {QStringLiteral("email"), QStringLiteral("alvaro@exemplo.com.br")},
                               {QStringLiteral("site"), QStringLiteral("www.alvaro.com.br")},
                               {QStringLiteral("Categoria"), QStringLiteral("não mostrada")}}});
        QVERIFY(openWindow());
        QCOMPARE(listedNames(), (QStringList{QStringLiteral("Álvaro"), QStringLiteral("ana"),
                                             QStringLiteral("Ângela"), QStringLiteral("Bruno"),
                                             QStringLiteral("Zélia")}));
        QAbstractItemModel *model = grid()->model();
        QStringList firstRow;
        for (int column = 0; column < model->columnCount(); ++column)
            firstRow << model->index(0, column).data().toString();
        QCOMPARE(firstRow, (QStringList{QStringLiteral("Álvaro"), QStringLiteral("(11) 3333-1000"),
                                        QStringLiteral("(11) 99999-0000"),
                                        QStringLiteral("(11) 4444-2000"), QStringLiteral("São Paulo"),
                                        QStringLiteral("alvaro@exemplo.com.br"),
                                        QStringLiteral("www.alvaro.com.br")}));
        QCOMPARE(grid()->shownCurrentRow(), 0);
        QCOMPARE(store()->currentRow(), 0);
    }

    // Files the store cannot read, from plain garbage to rows that pass the checksum: the window
    // opens empty, the bytes are kept aside whole and the user is told once.
    void unreadableDataFileIsKeptAsideAndToldOnce_data()
    {
        QTest::addColumn<QByteArray>("garbage");
        QTemporaryDir scratch;
        const QString goodPath = scratch.filePath(QStringLiteral("good.VKX"));
        writeDataFile(goodPath, {named(QStringLiteral("Ana"), QStringLiteral("(11) 3333-4444")),
                                 named(QStringLiteral("Bruno"))});
        const QByteArray good = fileBytes(goodPath);
        QByteArray future = good;
        future[8] = char(9);
        QByteArray flipped = good;
        flipped[good.size() / 2] = char(flipped[good.size() / 2] ^ 0x04);
        QByteArray nonsense = good.left(good.size() - 4);
        nonsense.append(QByteArray(40, char(0xFF)));

        QTest::newRow("not a contact file") << QByteArray("this is not a contact file\0\1\2\3", 31);
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("cut in half") << good.left(good.size() / 2);
        QTest::newRow("future version") << future;
        QTest::newRow("one bit flipped") << flipped;
        QTest::newRow("checksum valid over nonsense") << sealed(nonsense);
    }

    void unreadableDataFileIsKeptAsideAndToldOnce()
    {
        QFETCH(QByteArray, garbage);
        {
            QFile file(dataFile());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(garbage);
        }
        BoxAnswerer answerer;
        QVERIFY(openWindow());
        QTRY_COMPARE_WITH_TIMEOUT(answerer.seen.size(), 1, 10000);
        QCOMPARE(answerer.seen.first().objectName, QStringLiteral("dataFileKeptAside"));
        QCOMPARE(answerer.seen.first().title, QStringLiteral(" Atenção "));

        const QStringList copies = QDir(m_dir->path())
                                       .entryList({QStringLiteral("Lirvan.VKX.*.bak")}, QDir::Files);
        QCOMPARE(copies.size(), 1);
        QCOMPARE(fileBytes(m_dir->filePath(copies.first())), garbage);
        QVERIFY(answerer.seen.first().text.contains(copies.first()));
        // Whatever still lies under the data file's name is the same unreadable bytes.
        if (QFileInfo::exists(dataFile()))
            QCOMPARE(fileBytes(dataFile()), garbage);

        QCOMPARE(store()->RecordCount(), 0);
        QCOMPARE(grid()->gridModel()->recordRows(), 0);

        // Showing the window again tells nothing more.
        m_window->hide();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        QTest::qWait(200);
        QCOMPARE(answerer.seen.size(), 1);
    }

    void closingWritesNothing_data()
    {
        QTest::addColumn<bool>("byButton");
        QTest::newRow("Fechar") << true;
        QTest::newRow("close box") << false;
    }

    void closingWritesNothing()
    {
        QFETCH(bool, byButton);
        writeDataFile(dataFile(), {named(QStringLiteral("Ana")), named(QStringLiteral("Bruno"))});
        const QByteArray before = fileBytes(dataFile());
        const QDateTime stamp = QFileInfo(dataFile()).lastModified();
        QVERIFY(openWindow());

        // A change settled in memory only: it must not reach the file at the end.
        store()->Insert();
        store()->SetAsString(QStringLiteral("Nome"), QStringLiteral("Carla"));
        store()->Commit();
        QCOMPARE(store()->RecordCount(), 3);

        BoxAnswerer answerer(1000);
        if (byButton)
            QTest::mouseClick(part<QAbstractButton>(QStringLiteral("btFechar")), Qt::LeftButton);
        else
            QVERIFY(m_window->close());
        QVERIFY(!m_window->isVisible());
        QTest::qWait(100);
        QVERIFY(answerer.seen.isEmpty());
        QCOMPARE(fileBytes(dataFile()), before);
        QCOMPARE(QFileInfo(dataFile()).lastModified(), stamp);
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{"Lirvan.VKX"});
    }

    void windowAndItsParts()
    {
        QVERIFY(openWindow());
        QCOMPARE(m_window->objectName(), QStringLiteral("frmPrincipal"));
        QCOMPARE(m_window->windowTitle(), QStringLiteral("..:: Lirvan - Agenda Telefônica ::.."));
        const Qt::WindowFlags flags = m_window->windowFlags();
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        QVERIFY(flags & Qt::WindowMinimizeButtonHint);
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QVERIFY(flags & Qt::WindowSystemMenuHint);
        QCOMPARE(m_window->size(), QSize(868, 598));
        QCOMPARE(m_window->dataFilePath(), dataFile());

        for (const char *name : {"cdsContatos", "dtsContatos", "Timer1"})
            QVERIFY2(m_window->findChild<QObject *>(QLatin1String(name)), name);
        auto *timer = m_window->findChild<QTimer *>(QStringLiteral("Timer1"));
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 5000);

        const struct { const char *name; QRect geometry; } parts[] = {
            {"menu", QRect(0, 0, 868, 142)},
            {"Panel1", QRect(0, 142, 868, 42)},
            {"Panel2", QRect(0, 184, 868, 42)},
            {"stbar", QRect(0, 579, 868, 19)},
            {"grdContatos", QRect(9, 269, 850, 306)},
            {"edPesquisa", QRect(124, 237, 214, 24)},
            {"edTelefones", QRect(412, 237, 133, 24)},
            {"edCategoria", QRect(620, 237, 237, 24)},
            {"imgFundo", QRect(0, 226, 868, 353)},
        };
        for (const auto &p : parts) {
            auto *widget = part<QWidget>(QLatin1String(p.name));
            QVERIFY2(widget, p.name);
            QCOMPARE(widget->geometry(), p.geometry);
        }

        // Search row labels, left to right.
        QList<QLabel *> labels;
        for (QLabel *label : m_window->findChildren<QLabel *>())
            if (!label->text().isEmpty())
                labels << label;
        std::sort(labels.begin(), labels.end(),
                  [](QLabel *a, QLabel *b) { return a->x() < b->x(); });
        QCOMPARE(labels.size(), 3);
        const QStringList captions{QStringLiteral("Pesquisar Contato"),
                                   QStringLiteral("Telefones:"), QStringLiteral("Categoria:")};
        const int lefts[] = {8, 344, 552};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(labels[i]->text(), captions[i]);
            QCOMPARE(labels[i]->pos(), QPoint(lefts[i], 240));
            QCOMPARE(labels[i]->font().pointSize(), 10);
        }
        for (const char *name : {"edPesquisa", "edTelefones", "edCategoria"}) {
            auto *box = part<QLineEdit>(QLatin1String(name));
            QVERIFY(box->text().isEmpty());
            QVERIFY(box->inputMask().isEmpty());
            QCOMPARE(box->font().pointSize(), 10);
        }
    }

    void commandBarLayout()
    {
        QVERIFY(openWindow());
        auto *bar = part<RibbonBar>(QStringLiteral("menu"));
        QCOMPARE(bar->caption(), m_window->windowTitle());
        QCOMPARE(bar->pageTitle(), QStringLiteral("  Lirvan  "));
        QCOMPARE(bar->pageRect(), QRect(4, 53, 860, 84));
        QCOMPARE(bar->tabRect().left(), 20);
        QCOMPARE(bar->groupCount(), 3);
        QCOMPARE(bar->groupRect(0), QRect(4 + 3, 53 + 3, 362, 78));
        QCOMPARE(bar->groupRect(1).left(), bar->groupRect(0).right() + 1 + 3);
        QCOMPARE(bar->groupRect(2).left(), bar->groupRect(1).right() + 1 + 3);
        QCOMPARE(bar->groupRect(2).width(), 86);

        const struct { const char *name; const char *caption; int group; int left; } buttons[] = {
            {"btBackup", "Novo Contato", 0, 2},
            {"AdvToolBarButton28", "Editar Contato", 0, 91},
            {"AdvToolBarButton27", "Excluir Contato", 0, 180},
            {"AdvToolBarButton1", "Imprimir", 0, 269},
            {"AdvToolBarButton30", "Sobre", 1, 2},
            {"btFechar", "Fechar", 2, 2},
        };
        for (const auto &b : buttons) {
            auto *button = part<QAbstractButton>(QLatin1String(b.name));
            QVERIFY2(button, b.name);
            QCOMPARE(button->text(), QString::fromUtf8(b.caption));
            QCOMPARE(button->size(), QSize(79, 60));
            QCOMPARE(button->x() - bar->groupRect(b.group).left(), b.left);
            QVERIFY(bar->groupRect(b.group).contains(button->geometry()));
            QCOMPARE(button->focusPolicy(), Qt::NoFocus);
            QVERIFY(button->shortcut().isEmpty());
        }
        // The group holding one button is as wide as that button and its margins.
        QVERIFY(bar->groupRect(1).width() >= 79 && bar->groupRect(1).width() <= 90);
    }

    void letterIndexLayout()
    {
        QVERIFY(openWindow());
        auto *all = part<LetterButton>(QStringLiteral("btPesquisa"));
        QVERIFY(all);
        QVERIFY(all->text().isEmpty());
        QCOMPARE(all->parentWidget()->objectName(), QStringLiteral("Panel1"));
        QCOMPARE(all->geometry(), QRect(103, 4, 38, 35));

        for (char c = 'a'; c <= 'z'; ++c) {
            const QString letter(QChar::fromLatin1(c));
            LetterButton *button = letterButton(letter);
            QVERIFY2(button, qPrintable(letter));
            const bool firstRow = c <= 'm';
            QCOMPARE(button->parentWidget()->objectName(),
                     firstRow ? QStringLiteral("Panel1") : QStringLiteral("Panel2"));
            const int left = firstRow ? 103 + 48 * (c - 'a' + 1) : 126 + 48 * (c - 'n');
            QCOMPARE(button->geometry(), QRect(left, 4, 38, 35));
            QCOMPARE(button->focusPolicy(), Qt::NoFocus);
        }
        QCOMPARE(m_window->findChildren<LetterButton *>().size(), 27);
    }

    void statusBarPanels()
    {
        QVERIFY(openWindow());
        auto *bar = part<StatusBar>(QStringLiteral("stbar"));
        QCOMPARE(bar->panelCount(), 4);
        QCOMPARE(bar->panelRect(0).width(), 130);
        QCOMPARE(bar->panelText(0), QString());
        QCOMPARE(bar->panelRect(1).width(), 100);
        QCOMPARE(bar->panelText(1), QStringLiteral("Versão 1.0"));
        QCOMPARE(bar->panelRect(2).width(), 200);
        QCOMPARE(bar->panelText(2), QString());
        QCOMPARE(bar->panelRect(3).left(), 430);
        QVERIFY(bar->panelText(3).contains(QStringLiteral("www.lirvan.com.br")));
        QVERIFY(bar->findChild<QSizeGrip *>());
    }

    void resizingKeepsTheWorkAreaInPlace()
    {
        QVERIFY(openWindow());
        m_window->resize(1000, 700);
        QTRY_COMPARE(m_window->size(), QSize(1000, 700));
        QCOMPARE(part<QWidget>(QStringLiteral("menu"))->geometry(), QRect(0, 0, 1000, 142));
        QCOMPARE(part<QWidget>(QStringLiteral("Panel1"))->geometry(), QRect(0, 142, 1000, 42));
        QCOMPARE(part<QWidget>(QStringLiteral("Panel2"))->geometry(), QRect(0, 184, 1000, 42));
        QCOMPARE(part<QWidget>(QStringLiteral("stbar"))->geometry(), QRect(0, 681, 1000, 19));
        QCOMPARE(part<QWidget>(QStringLiteral("imgFundo"))->geometry(), QRect(0, 226, 1000, 455));
        QCOMPARE(part<QWidget>(QStringLiteral("grdContatos"))->geometry(), QRect(9, 269, 850, 306));
        QCOMPARE(part<QWidget>(QStringLiteral("edCategoria"))->geometry(),
                 QRect(620, 237, 237, 24));
        QCOMPARE(part<StatusBar>(QStringLiteral("stbar"))->panelRect(3).left(), 430);
        QCOMPARE(part<RibbonBar>(QStringLiteral("menu"))->pageRect().width(), 992);
    }

    void tabMovesAmongBarGridAndBoxes()
    {
        QVERIFY(openWindow());
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        QWidget *bar = part<QWidget>(QStringLiteral("menu"));
        QTRY_COMPARE(QApplication::focusWidget(), bar);
        const QStringList order{QStringLiteral("grdContatos"), QStringLiteral("edPesquisa"),
                                QStringLiteral("edTelefones"), QStringLiteral("edCategoria"),
                                QStringLiteral("menu")};
        for (const QString &next : order) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget()->objectName(), next);
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("edCategoria"));
    }

    void gridFollowsClicksAndKeys()
    {
        QList<Contact> contacts;
        for (int i = 0; i < 40; ++i)
            contacts << named(QStringLiteral("Contato %1").arg(i, 2, 10, QLatin1Char('0')));
        writeDataFile(dataFile(), contacts);
        QVERIFY(openWindow());
        ContactGrid *g = grid();
        QCOMPARE(g->gridModel()->recordRows(), 40);

        clickRow(3);
        QCOMPARE(store()->currentRow(), 3);
        QCOMPARE(store()->AsString(QStringLiteral("Nome")), QStringLiteral("Contato 03"));
        QCOMPARE(g->shownCurrentRow(), 3);
        QCOMPARE(QApplication::focusWidget(), g);

        QTest::keyClick(g, Qt::Key_Down);
        QCOMPARE(store()->currentRow(), 4);
        QTest::keyClick(g, Qt::Key_Up);
        QTest::keyClick(g, Qt::Key_Up);
        QCOMPARE(store()->currentRow(), 2);
        QCOMPARE(g->shownCurrentRow(), 2);

        const int page = g->viewport()->height() / 21;
        QVERIFY(page > 1);
        QTest::keyClick(g, Qt::Key_PageDown);
        QCOMPARE(store()->currentRow(), 2 + page);
        QTest::keyClick(g, Qt::Key_PageUp);
        QCOMPARE(store()->currentRow(), 2);
        QTest::keyClick(g, Qt::Key_PageUp);
        QCOMPARE(store()->currentRow(), 0);
        QTest::keyClick(g, Qt::Key_Up);
        QCOMPARE(store()->currentRow(), 0);

        for (int i = 0; i < 10; ++i)
            QTest::keyClick(g, Qt::Key_PageDown);
        QCOMPARE(store()->currentRow(), 39);
        QTest::keyClick(g, Qt::Key_Down);
        QCOMPARE(store()->currentRow(), 39);
        QCOMPARE(store()->RecordCount(), 40);
        QCOMPARE(store()->State(), StoreState::Browse);
        // The current row is in view.
        QVERIFY(g->viewport()->rect().contains(g->visualRect(g->model()->index(39, 0))));

        // Keys that would add or remove in other grids do nothing here.
        for (Qt::Key key : {Qt::Key_Insert, Qt::Key_Delete, Qt::Key_Return})
            QTest::keyClick(g, key);
        QCOMPARE(store()->RecordCount(), 40);
        QCOMPARE(store()->State(), StoreState::Browse);

        // The store's cursor moves the grid.
        store()->MoveFirst();
        QCOMPARE(g->shownCurrentRow(), 0);
        store()->setCurrentRow(25);
        QCOMPARE(g->shownCurrentRow(), 25);
        QVERIFY(g->viewport()->rect().contains(g->visualRect(g->model()->index(25, 0))));
    }

    void scrollBarCarriesTheCursor()
    {
        QList<Contact> contacts;
        for (int i = 0; i < 60; ++i)
            contacts << named(QStringLiteral("Pessoa %1").arg(i, 2, 10, QLatin1Char('0')));
        writeDataFile(dataFile(), contacts);
        QVERIFY(openWindow());
        ContactGrid *g = grid();
        QCOMPARE(store()->currentRow(), 0);

        g->verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
        QTRY_VERIFY(store()->currentRow() > 0);
        const QRect current = g->visualRect(g->model()->index(store()->currentRow(), 0));
        QVERIFY(g->viewport()->rect().contains(current));
        QCOMPARE(g->shownCurrentRow(), store()->currentRow());

        g->verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMinimum);
        QTRY_VERIFY(g->viewport()->rect().contains(
            g->visualRect(g->model()->index(store()->currentRow(), 0))));
        QVERIFY(store()->currentRow() < 20);
    }

    void pendingNewRowAndEscape()
    {
        writeDataFile(dataFile(), {named(QStringLiteral("Ana")), named(QStringLiteral("Bruno")),
                                   named(QStringLiteral("Carla"))});
        QVERIFY(openWindow());
        ContactGrid *g = grid();
        clickRow(1);
        store()->Insert();
        QCOMPARE(g->gridModel()->recordRows(), 4);
        const int pending = store()->currentRow();
        QVERIFY(store()->isPendingRow(pending));
        QCOMPARE(g->shownCurrentRow(), pending);
        QCOMPARE(g->model()->index(pending, 0).data().toString(), QString());

        store()->SetAsString(QStringLiteral("Telefone"), QStringLiteral("1234"));
        QCOMPARE(g->model()->index(pending, 1).data().toString(), QStringLiteral("1234"));

        QTest::keyClick(g, Qt::Key_Escape);
        QCOMPARE(store()->State(), StoreState::Browse);
        QCOMPARE(store()->RecordCount(), 3);
        QCOMPARE(g->gridModel()->recordRows(), 3);
        QCOMPARE(listedNames(), (QStringList{"Ana", "Bruno", "Carla"}));
        QCOMPARE(g->shownCurrentRow(), store()->currentRow());
    }

    void clickSettlesPendingChange()
    {
        writeDataFile(dataFile(), {named(QStringLiteral("Ana")), named(QStringLiteral("Carla"))});
        QVERIFY(openWindow());
        store()->Insert();
        store()->SetAsString(QStringLiteral("Nome"), QStringLiteral("Bruno"));
        const int pending = store()->currentRow();
        clickRow(pending == 0 ? 1 : 0);
        QCOMPARE(store()->State(), StoreState::Browse);
        QCOMPARE(listedNames(), (QStringList{"Ana", "Bruno", "Carla"}));
        QCOMPARE(grid()->shownCurrentRow(), store()->currentRow());
    }

    void doubleClickAnywhereOpensTheEditor()
    {
        writeDataFile(dataFile(), {named(QStringLiteral("Ana"))});
        QVERIFY(openWindow());
        ContactGrid *g = grid();
        QSignalSpy spy(g, &ContactGrid::gridDoubleClicked);
        // Each double click opens the editor modally on the current contact; "Voltar" closes it.
        int editorsSeen = 0;
        QTimer answerer;
        answerer.setInterval(20);
        connect(&answerer, &QTimer::timeout, [&] {
            QWidget *modal = QApplication::activeModalWidget();
            if (modal && modal->objectName() == QLatin1String("frmContatos")) {
                ++editorsSeen;
                if (auto *back = modal->findChild<QAbstractButton *>(QStringLiteral("btVoltar")))
                    QTest::mouseClick(back, Qt::LeftButton);
            }
        });
        answerer.start();
        QDeadlineTimer limit(10000);
        const QPoint onRow = g->visualRect(g->model()->index(0, 2)).center();
        QTest::mouseDClick(g->viewport(), Qt::LeftButton, {}, onRow);
        QTest::mouseDClick(g->viewport(), Qt::LeftButton, {}, QPoint(100, 200));
        QTest::mouseDClick(g->horizontalHeader()->viewport(), Qt::LeftButton, {}, QPoint(30, 8));
        QVERIFY(!limit.hasExpired());
        answerer.stop();
        QCOMPARE(spy.count(), 3);
        QCOMPARE(editorsSeen, 3);
        QCOMPARE(store()->RecordCount(), 1);
        QCOMPARE(store()->State(), StoreState::Browse);
    }

    void switchedOffDataSourceFreezesTheGrid()
    {
        writeDataFile(dataFile(), searchContacts());
        QVERIFY(openWindow());
        ContactGrid *g = grid();
        clickRow(4);
        const QStringList before = listedNames();

        m_window->dataSource()->SetEnabled(false);
        store()->SetFilter(QStringLiteral("upper(Nome) like 'B%'"));
        store()->SetFiltered(true);
        store()->MoveFirst();
        QCOMPARE(listedNames().size(), before.size());
        QCOMPARE(g->shownCurrentRow(), 4);

        m_window->dataSource()->SetEnabled(true);
        QCOMPARE(listedNames(), (QStringList{"Bárbara", "Bruno"}));
        QCOMPARE(g->shownCurrentRow(), store()->currentRow());
    }

    void searchRowNarrowsAsTheUserTypes()
    {
        writeDataFile(dataFile(), searchContacts());
        QVERIFY(openWindow());
        QCOMPARE(listedNames().size(), 9);
        auto *name = part<QLineEdit>(QStringLiteral("edPesquisa"));

        const struct { char typed; const char *filter; QStringList names; } steps[] = {
            {'a', " nome is not null  and upper(Nome) like '%A%'",
             {"Álvaro", "Ana Maria", "Ângela", "Bárbara", "Diana", "Juliana"}},
            {'n', " nome is not null  and upper(Nome) like '%AN%'",
             {"Ana Maria", "Ângela", "Diana", "Juliana"}},
            {'a', " nome is not null  and upper(Nome) like '%ANA%'",
             {"Ana Maria", "Diana", "Juliana"}},
        };
        for (const auto &step : steps) {
            QTest::keyClicks(name, QString(QChar::fromLatin1(step.typed)));
            QCOMPARE(store()->Filter(), QString::fromUtf8(step.filter));
            QVERIFY(store()->Filtered());
            QCOMPARE(listedNames(), step.names);
            QCOMPARE(store()->currentRow(), 0);
        }

        // Emptying the box shows everyone again, the nameless contact included.
        name->clear();
        QVERIFY(!store()->Filtered());
        QCOMPARE(listedNames().size(), 9);
        QVERIFY(listedNames().contains(QString()));
    }

    void searchRowCombinesItsBoxes()
    {
        writeDataFile(dataFile(), searchContacts());
        QVERIFY(openWindow());
        QTest::keyClicks(part<QLineEdit>(QStringLiteral("edPesquisa")), QStringLiteral("ana"));
        QTest::keyClicks(part<QLineEdit>(QStringLiteral("edTelefones")), QStringLiteral("99"));
        QTest::keyClicks(part<QLineEdit>(QStringLiteral("edCategoria")), QStringLiteral("clien"));
        QCOMPARE(store()->Filter(),
                 QStringLiteral(" nome is not null  and upper(Nome) like '%ANA%'"
                                " and upper(categoria) like '%CLIEN%'"
                                " and (upper(telefone) like '%99%' or upper(celular) like '%99%'"
                                " or upper(comercial) like '%99%')"));
        QCOMPARE(listedNames(), QStringList{});
        // No contact: the grid keeps its one blank row.
        QCOMPARE(grid()->model()->rowCount(), 1);

        part<QLineEdit>(QStringLiteral("edPesquisa"))->clear();
        part<QLineEdit>(QStringLiteral("edCategoria"))->clear();
        part<QLineEdit>(QStringLiteral("edTelefones"))->setText(QStringLiteral("3333"));
        // Named contacts only, by any of the three numbers.
        QCOMPARE(listedNames(), (QStringList{"Ana Maria", "Bruno"}));

        part<QLineEdit>(QStringLiteral("edTelefones"))->clear();
        QTest::keyClicks(part<QLineEdit>(QStringLiteral("edCategoria")), QStringLiteral("cliente"));
        QCOMPARE(listedNames(), (QStringList{"Álvaro", "Ana Maria", "Juliana"}));
    }

    void lettersAndShowAll()
    {
        writeDataFile(dataFile(), searchContacts());
        QVERIFY(openWindow());
        auto *name = part<QLineEdit>(QStringLiteral("edPesquisa"));
        QTest::keyClicks(name, QStringLiteral("ana"));

        QTest::mouseClick(letterButton(QStringLiteral("b")), Qt::LeftButton);
        QCOMPARE(store()->Filter(), QStringLiteral("upper(Nome) like 'B%'"));
        QVERIFY(store()->Filtered());
        QCOMPARE(listedNames(), (QStringList{"Bárbara", "Bruno"}));
        QCOMPARE(name->text(), QStringLiteral("ana"));

        QTest::mouseClick(letterButton(QStringLiteral("a")), Qt::LeftButton);
        QCOMPARE(listedNames(), (QStringList{"Álvaro", "Ana Maria", "Ângela"}));

        QTest::mouseClick(letterButton(QStringLiteral("x")), Qt::LeftButton);
        QCOMPARE(listedNames(), QStringList{});
        QCOMPARE(grid()->model()->rowCount(), 1);

        QTest::mouseClick(part<QAbstractButton>(QStringLiteral("btPesquisa")), Qt::LeftButton);
        QVERIFY(!store()->Filtered());
        QCOMPARE(listedNames().size(), 9);
        QCOMPARE(name->text(), QStringLiteral("ana"));

        // Typing after a letter replaces the letter's filter.
        QTest::mouseClick(letterButton(QStringLiteral("o")), Qt::LeftButton);
        QCOMPARE(listedNames(), QStringList{"Otto"});
        QTest::keyClick(name, Qt::Key_Backspace);
        QCOMPARE(store()->Filter(), QStringLiteral(" nome is not null  and upper(Nome) like '%AN%'"));
        QCOMPARE(listedNames(), (QStringList{"Ana Maria", "Ângela", "Diana", "Juliana"}));
    }

    void currentRowIsPaintedInItsOwnColour()
    {
        writeDataFile(dataFile(), {named(QStringLiteral("Ana")), named(QStringLiteral("Bruno"))});
        QVERIFY(openWindow());
        ContactGrid *g = grid();
        clickRow(1);
        QCoreApplication::processEvents();
        const QImage shot = g->viewport()->grab().toImage();
        const QRect current = g->visualRect(g->model()->index(1, 3));
        const QRect other = g->visualRect(g->model()->index(0, 3));
        QCOMPARE(shot.pixelColor(current.center()), QColor(242, 245, 255));
        QCOMPARE(shot.pixelColor(other.center()), g->palette().color(QPalette::Base));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
