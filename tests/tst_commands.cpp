// The contact commands driven through the real main window: "Novo Contato", "Editar Contato",
// a double click on the grid, "Excluir Contato", "Imprimir" and "Sobre", over a data file in a
// temporary folder. Every modal window is answered from a bounded poll of the active modal widget.

#include "store/ContactStore.h"
#include "store/DataSource.h"
#include "ufrmContatos.h"
#include "support/FaultShim.h"
#include "support/RefusingFolder.h"
#include "ufrmPrincipal.h"
#include "widgets/ContactGrid.h"
#include "widgets/DBEdit.h"
#include "widgets/LetterIndex.h"
#include "widgets/RibbonBar.h"
#include "support/TestFiles.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <functional>
#include <memory>

namespace {

void writeDataFile(const QString &path, const QStringList &names)
{
    ContactStore store;
    for (const QString &name : names) {
        store.Insert();
        store.SetAsString(QStringLiteral("Nome"), name);
        store.SetAsString(QStringLiteral("Telefone"), QStringLiteral("3333-") + name.left(4));
        store.Commit();
    }
    store.SaveToFile(path);
}

// The names the data file holds, in the store's order.
QStringList namesInFile(const QString &path)
{
    ContactStore saved;
    saved.LoadFromFile(path);
    saved.Open();
    QStringList names;
    for (int row = 0; row < saved.visibleRowCount(); ++row)
        names << saved.valueAt(row, ContactStore::Nome);
    return names;
}

// Types `text` key by key; letters beyond ASCII go as key events carrying their text.
void typeText(QWidget *target, const QString &text)
{
    for (const QChar ch : text) {
        if (ch.unicode() < 128)
            QTest::keyClick(target, ch.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, target, Qt::Key(ch.toUpper().unicode()), QString(ch),
                                Qt::NoModifier);
    }
}

// What a modal window was when it was answered.
struct SeenModal
{
    bool seen = false;
    QString className;
    QString objectName;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    bool editorExisted = false;   // whether a contact editor existed while it was up
};

// Waits, for a bounded time, for the next modal window whose object name is `name` to become
// the active modal widget, records it and hands it to `answer`. Should the wait run out while
// some other modal window is up, that window is closed so the test cannot hang.
std::shared_ptr<SeenModal> whenModal(const QString &name, std::function<void(QWidget *)> answer)
{
    auto seen = std::make_shared<SeenModal>();
    auto *poll = new QTimer;
    const QDeadlineTimer deadline(10000);
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [=] {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal && modal->objectName() == name) {
            poll->stop();
            poll->deleteLater();
            seen->seen = true;
            seen->className = QString::fromLatin1(modal->metaObject()->className());
            seen->objectName = modal->objectName();
            seen->title = modal->windowTitle();
            const QWidgetList windows = QApplication::topLevelWidgets();
            seen->editorExisted = frmContatos != nullptr
                || std::any_of(windows.cbegin(), windows.cend(),
                               [](QWidget *w) { return qobject_cast<TfrmContatos *>(w); });
            if (auto *box = qobject_cast<QMessageBox *>(modal)) {
                seen->text = box->text();
                seen->icon = box->icon();
                if (QAbstractButton *def = box->defaultButton())
                    seen->defaultButton = box->standardButton(def);
            }
            answer(modal);
        } else if (deadline.hasExpired()) {
            poll->stop();
            poll->deleteLater();
            if (modal)
                modal->close();
        }
    });
    poll->start();
    return seen;
}

// Answers a message box with one of its standard buttons.
std::function<void(QWidget *)> press(QMessageBox::StandardButton which)
{
    return [which](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QAbstractButton *button = box ? box->button(which) : nullptr;
        if (button)
            QTest::mouseClick(button, Qt::LeftButton);
        else
            modal->close();
    };
}

std::function<void(QWidget *)> closeIt()
{
    return [](QWidget *modal) { modal->close(); };
}

// Works in the editor: types `name` at the end of the name box, then ends with `finish`
// ("btSalvar", "btVoltar", or empty for the close box).
std::function<void(QWidget *)> inEditor(const QString &name, const QString &finish)
{
    return [name, finish](QWidget *modal) {
        auto *editor = qobject_cast<TfrmContatos *>(modal);
        if (!editor) {
            modal->close();
            return;
        }
        if (!name.isEmpty()) {
            QTest::keyClick(editor->DBEdit1, Qt::Key_End);
            typeText(editor->DBEdit1, name);
            QTest::keyClick(editor->DBEdit1, Qt::Key_Tab);
        }
        if (finish == QLatin1String("btSalvar"))
            QTest::mouseClick(editor->btSalvar, Qt::LeftButton);
        else if (finish == QLatin1String("btVoltar"))
            QTest::mouseClick(editor->btVoltar, Qt::LeftButton);
        else
            editor->close();
    };
}

const QStringList kContacts{QStringLiteral("Ana"), QStringLiteral("Bruno"), QStringLiteral("Carla"),
                            QStringLiteral("Diana"), QStringLiteral("Beatriz")};
const QStringList kSorted{QStringLiteral("Ana"), QStringLiteral("Beatriz"), QStringLiteral("Bruno"),
                          QStringLiteral("Carla"), QStringLiteral("Diana")};

} // namespace

class TestCommands : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TfrmPrincipal> m_window;

    QString dataFile() const { return m_dir->filePath(QStringLiteral("Lirvan.VKX")); }

    bool openWindow()
    {
        m_window = std::make_unique<TfrmPrincipal>(
            ProgramEnvironment{m_dir->path(), QUrl(QStringLiteral("http://127.0.0.1:9")),
                               [] { return false; }});
        m_window->show();
        return QTest::qWaitForWindowExposed(m_window.get());
    }

    template <typename T>
    T *part(const QString &name) const
    {
        T *found = m_window->findChild<T *>(name);
        if (!found)
            qFatal("no part %s", qPrintable(name));
        return found;
    }

    ContactGrid *grid() const { return part<ContactGrid>(QStringLiteral("grdContatos")); }
    ContactStore *store() const { return m_window->store(); }

    void clickCommand(const char *name)
    {
        QTest::mouseClick(part<QAbstractButton>(QString::fromLatin1(name)), Qt::LeftButton);
    }

    QStringList listedNames() const
    {
        ContactGridModel *model = grid()->gridModel();
        QStringList names;
        for (int row = 0; row < model->recordRows(); ++row)
            names << model->index(row, 0).data().toString();
        return names;
    }

    void clickContact(const QString &name)
    {
        const int row = listedNames().indexOf(name);
        QVERIFY2(row >= 0, qPrintable(name));
        ContactGrid *g = grid();
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {},
                          g->visualRect(g->model()->index(row, 0)).center());
        QCOMPARE(store()->currentRow(), row);
        QCOMPARE(store()->AsString(QStringLiteral("Nome")), name);
    }

    LetterButton *letterButton(const QString &letter) const
    {
        const auto buttons = m_window->findChildren<LetterButton *>();
        for (LetterButton *button : buttons)
            if (button->text() == letter)
                return button;
        qFatal("no letter button %s", qPrintable(letter));
    }

    // The editor, opened by a command, has gone again.
    void editorGone()
    {
        QTRY_VERIFY(!frmContatos);
        QTRY_VERIFY(m_window->findChildren<TfrmContatos *>().isEmpty());
        QVERIFY(!QApplication::activeModalWidget());
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        writeDataFile(dataFile(), kContacts);
        QVERIFY(openWindow());
        QCOMPARE(listedNames(), kSorted);
    }

    void cleanup()
    {
        m_window.reset();
        QVERIFY(!frmContatos);
        m_dir.reset();
    }

    void newContactIsSavedAndListedInOrder_data()
    {
        QTest::addColumn<QString>("nome");
        QTest::addColumn<int>("place");
        QTest::newRow("first") << QStringLiteral("Adriana") << 0;
        QTest::newRow("after a prefix") << QStringLiteral("Anita") << 1;
        QTest::newRow("between") << QStringLiteral("Bianca") << 2;
        QTest::newRow("accented") << QStringLiteral("Álvaro") << 0;
        QTest::newRow("last") << QStringLiteral("Zélia") << 5;
    }

    void newContactIsSavedAndListedInOrder()
    {
        QFETCH(QString, nome);
        QFETCH(int, place);
        auto editor = whenModal(QStringLiteral("frmContatos"), inEditor(nome, QStringLiteral("btSalvar")));
        clickCommand("btBackup");
        QVERIFY(editor->seen);
        QCOMPARE(editor->className, QStringLiteral("TfrmContatos"));
        editorGone();

        QStringList expected = kSorted;
        expected.insert(place, nome);
        QCOMPARE(listedNames(), expected);
        QCOMPARE(store()->State(), StoreState::Browse);
        QCOMPARE(store()->AsString(QStringLiteral("Nome")), nome);
        QCOMPARE(namesInFile(dataFile()), expected);

        // A new start on the same folder lists it at its place.
        m_window.reset();
        QVERIFY(openWindow());
        QCOMPARE(listedNames(), expected);
    }

    void voltarLeavesNoTrace()
    {
        const QByteArray before = fileBytes(dataFile());
        auto editor = whenModal(QStringLiteral("frmContatos"),
                                inEditor(QStringLiteral("Bianca"), QStringLiteral("btVoltar")));
        clickCommand("btBackup");
        QVERIFY(editor->seen);
        editorGone();
        QCOMPARE(store()->State(), StoreState::Browse);
        QCOMPARE(store()->RecordCount(), kContacts.size());
        QCOMPARE(listedNames(), kSorted);
        QCOMPARE(fileBytes(dataFile()), before);
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{"Lirvan.VKX"});
    }

    void nothingVisibleWarns_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Editar Contato") << QStringLiteral("AdvToolBarButton28");
        QTest::newRow("double click") << QStringLiteral("grid");
        QTest::newRow("Excluir Contato") << QStringLiteral("AdvToolBarButton27");
    }

    void nothingVisibleWarns()
    {
        QFETCH(QString, how);
        const QByteArray before = fileBytes(dataFile());
        auto *search = part<QLineEdit>(QStringLiteral("edPesquisa"));
        search->setFocus();
        QTest::keyClicks(search, QStringLiteral("zzzz"));
        QVERIFY(store()->NoneVisible());
        QVERIFY(listedNames().isEmpty());

        auto warning = whenModal(QStringLiteral("warnNothingSelected"), press(QMessageBox::Ok));
        if (how == QLatin1String("grid")) {
            ContactGrid *g = grid();
            QTest::mouseDClick(g->viewport(), Qt::LeftButton, {},
                               g->visualRect(g->model()->index(0, 0)).center());
        } else {
            clickCommand(qPrintable(how));
        }
        QVERIFY(warning->seen);
        QCOMPARE(warning->title, QStringLiteral(" Atenção "));
        QCOMPARE(warning->text, QStringLiteral(" Nenhum registro selecionado ! "));
        QCOMPARE(warning->icon, QMessageBox::Warning);
        QVERIFY(!warning->editorExisted);
        QVERIFY(!frmContatos);
        QVERIFY(m_window->findChildren<TfrmContatos *>().isEmpty());

        // Nothing else was asked and nothing changed.
        QTest::qWait(100);
        QVERIFY(!QApplication::activeModalWidget());
        QCOMPARE(store()->State(), StoreState::Browse);
        QCOMPARE(store()->RecordCount(), kContacts.size());
        QCOMPARE(fileBytes(dataFile()), before);
        search->clear();
        QCOMPARE(listedNames(), kSorted);
    }

    void deleteAsksFirst_data()
    {
        QTest::addColumn<bool>("consent");
        QTest::addColumn<QString>("letter");   // empty: no filter
        QTest::addColumn<QString>("victim");
        QTest::addColumn<QStringList>("listedAfter");
        QTest::newRow("Não") << false << QString() << QStringLiteral("Carla") << kSorted;
        QTest::newRow("Sim") << true << QString() << QStringLiteral("Carla")
                             << QStringList{"Ana", "Beatriz", "Bruno", "Diana"};
        QTest::newRow("Sim under a filter") << true << QStringLiteral("b")
                                            << QStringLiteral("Bruno") << QStringList{"Beatriz"};
    }

    void deleteAsksFirst()
    {
        QFETCH(bool, consent);
        QFETCH(QString, letter);
        QFETCH(QString, victim);
        QFETCH(QStringList, listedAfter);
        const QByteArray before = fileBytes(dataFile());
        if (!letter.isEmpty())
            QTest::mouseClick(letterButton(letter), Qt::LeftButton);
        clickContact(victim);

        auto question = whenModal(QStringLiteral("confirmDelete"),
                                  press(consent ? QMessageBox::Yes : QMessageBox::No));
        clickCommand("AdvToolBarButton27");
        QVERIFY(question->seen);
        QCOMPARE(question->title, QStringLiteral(" Atenção "));
        QCOMPARE(question->text, QStringLiteral(" Deseja excluir registro selecionado ? "));
        QCOMPARE(question->icon, QMessageBox::Question);
        QCOMPARE(question->defaultButton, QMessageBox::Yes);

        QCOMPARE(listedNames(), listedAfter);
        QCOMPARE(store()->State(), StoreState::Browse);
        if (!consent) {
            QCOMPARE(store()->RecordCount(), kContacts.size());
            QCOMPARE(store()->AsString(QStringLiteral("Nome")), victim);
            QCOMPARE(fileBytes(dataFile()), before);
            return;
        }
        QStringList remaining = kSorted;
        remaining.removeOne(victim);
        QCOMPARE(store()->RecordCount(), remaining.size());
        // The file holds every other contact, those hidden by the filter included.
        QCOMPARE(namesInFile(dataFile()), remaining);
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{"Lirvan.VKX"});
    }

    // A delete whose file write fails: the user sees the error, the contact is gone from memory
    // but the file on disk is the old one, whole, and nothing is left beside it.
    void deleteWithFailingWrite_data()
    {
        QTest::addColumn<int>("fault");
        QTest::newRow("disk fills early") << 0;
        QTest::newRow("disk fills near the end") << 1;
        QTest::newRow("fsync fails") << 2;
        QTest::newRow("rename fails") << 3;
        QTest::newRow("folder refuses new files") << 4;
        QTest::newRow("data file replaced by a folder") << 5;
    }

    void deleteWithFailingWrite()
    {
        QFETCH(int, fault);
        if (fault < 4 && !FaultShim::loaded())
            QSKIP("the fault shim could not be preloaded");
        if (fault == 5) {
            QVERIFY(QFile::remove(dataFile()));
            QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("Lirvan.VKX")));
        }
        const QByteArray before = fileBytes(dataFile());
        clickContact(QStringLiteral("Carla"));
        const QByteArray where = m_dir->path().toLocal8Bit();
        switch (fault) {
        case 0: FaultShim::failWritesAfter(where, 10); break;
        case 1: FaultShim::failWritesAfter(where, before.size() - 60); break;   // the new file is one contact shorter
        case 2: FaultShim::failFsync(where); break;
        case 3: FaultShim::failRename(where); break;
        default: break;
        }
        RefusingFolder refusing(fault == 4 ? m_dir->path() : QString());
        if (fault == 4)
            QVERIFY(refusing.refuses());
        auto question = whenModal(QStringLiteral("confirmDelete"), press(QMessageBox::Yes));
        auto error = whenModal(QStringLiteral("errorReport"), press(QMessageBox::Ok));
        clickCommand("AdvToolBarButton27");
        QTRY_VERIFY(error->seen);
        refusing.restore();
        FaultShim::clear();
        QVERIFY(question->seen);
        QCOMPARE(error->title, QStringLiteral("Lirvan"));
        QCOMPARE(error->icon, QMessageBox::Critical);
        QVERIFY2(error->text.startsWith(QStringLiteral("Não foi possível gravar o arquivo de contatos")),
                 qPrintable(error->text));
        if (fault == 5) {
            QVERIFY(QFileInfo(dataFile()).isDir());
            QVERIFY(QDir(dataFile()).isEmpty());
            QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList());
        } else {
            QCOMPARE(fileBytes(dataFile()), before);
            QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{"Lirvan.VKX"});
        }
        QCOMPARE(listedNames(), (QStringList{"Ana", "Beatriz", "Bruno", "Diana"}));
    }

    void closeBoxThenNewContact_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::newRow("typed: committed in memory") << QStringLiteral("Bianca");
        QTest::newRow("nothing typed: dropped") << QString();
    }

    void closeBoxThenNewContact()
    {
        QFETCH(QString, typed);
        const QByteArray before = fileBytes(dataFile());

        auto first = whenModal(QStringLiteral("frmContatos"), inEditor(typed, QString()));
        clickCommand("btBackup");
        QVERIFY(first->seen);
        editorGone();
        // The change is still pending and shown.
        QCOMPARE(store()->State(), StoreState::Insert);
        QCOMPARE(grid()->gridModel()->recordRows(), kContacts.size() + 1);

        auto second = whenModal(QStringLiteral("frmContatos"), inEditor(QString(), QStringLiteral("btVoltar")));
        clickCommand("btBackup");
        QVERIFY(second->seen);
        editorGone();

        QStringList expected = kSorted;
        if (!typed.isEmpty())
            expected.insert(2, typed);
        QCOMPARE(store()->State(), StoreState::Browse);
        QCOMPARE(store()->RecordCount(), expected.size());
        QCOMPARE(listedNames(), expected);
        // Settled in memory only: the file is as it was.
        QCOMPARE(fileBytes(dataFile()), before);
    }

    void closeBoxThenDeleteEdited()
    {
        clickContact(QStringLiteral("Carla"));
        auto editor = whenModal(QStringLiteral("frmContatos"), inEditor(QStringLiteral(" Souza"), QString()));
        clickCommand("AdvToolBarButton28");
        QVERIFY(editor->seen);
        editorGone();
        QCOMPARE(store()->State(), StoreState::Edit);
        QCOMPARE(store()->AsString(QStringLiteral("Nome")), QStringLiteral("Carla Souza"));

        auto question = whenModal(QStringLiteral("confirmDelete"), press(QMessageBox::Yes));
        clickCommand("AdvToolBarButton27");
        QVERIFY(question->seen);

        const QStringList remaining{"Ana", "Beatriz", "Bruno", "Diana"};
        QCOMPARE(store()->State(), StoreState::Browse);
        QCOMPARE(listedNames(), remaining);
        QCOMPARE(namesInFile(dataFile()), remaining);
    }

    void closeBoxThenDeleteNew()
    {
        auto editor = whenModal(QStringLiteral("frmContatos"), inEditor(QString(), QString()));
        clickCommand("btBackup");
        QVERIFY(editor->seen);
        editorGone();
        QCOMPARE(store()->State(), StoreState::Insert);

        // The file is gone behind the program's back: only a real rewrite brings it back.
        QVERIFY(QFile::remove(dataFile()));

        auto question = whenModal(QStringLiteral("confirmDelete"), press(QMessageBox::Yes));
        clickCommand("AdvToolBarButton27");
        QVERIFY2(question->seen, "the pending new record counts as visible: the question is asked");

        QCOMPARE(store()->State(), StoreState::Browse);
        QCOMPARE(store()->RecordCount(), kContacts.size());
        QCOMPARE(listedNames(), kSorted);
        QVERIFY(QFileInfo::exists(dataFile()));
        QCOMPARE(namesInFile(dataFile()), kSorted);
    }

    void closeBoxThenEditOpensThePendingNewRecord()
    {
        auto first = whenModal(QStringLiteral("frmContatos"), inEditor(QString(), QString()));
        clickCommand("btBackup");
        QVERIFY(first->seen);
        editorGone();

        QString shownName = QStringLiteral("not seen");
        auto second = whenModal(QStringLiteral("frmContatos"), [&shownName](QWidget *modal) {
            auto *editor = qobject_cast<TfrmContatos *>(modal);
            shownName = editor ? editor->DBEdit1->text() : QStringLiteral("not an editor");
            inEditor(QStringLiteral("Bianca"), QStringLiteral("btSalvar"))(modal);
        });
        clickCommand("AdvToolBarButton28");
        QVERIFY(second->seen);
        editorGone();
        QCOMPARE(shownName, QString());

        QStringList expected = kSorted;
        expected.insert(2, QStringLiteral("Bianca"));
        QCOMPARE(listedNames(), expected);
        QCOMPARE(namesInFile(dataFile()), expected);
    }

    void sobreAndImprimirAreModal_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("window");
        QTest::newRow("Sobre") << QStringLiteral("AdvToolBarButton30") << QStringLiteral("frmSobre");
        QTest::newRow("Imprimir") << QStringLiteral("AdvToolBarButton1")
                                  << QStringLiteral("ReportPreview");
    }

    void sobreAndImprimirAreModal()
    {
        QFETCH(QString, command);
        QFETCH(QString, window);
        const QByteArray before = fileBytes(dataFile());
        bool clickReturned = false;
        bool closedWhileHandlerRan = false;
        auto shown = whenModal(window, [&](QWidget *modal) {
            closedWhileHandlerRan = !clickReturned && qobject_cast<QDialog *>(modal) != nullptr;
            modal->close();
        });
        clickCommand(qPrintable(command));
        clickReturned = true;
        QVERIFY(shown->seen);
        QVERIFY(closedWhileHandlerRan);
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QVERIFY(QApplication::activeWindow() == m_window.get()
                || QApplication::activeWindow() == nullptr);
        QCOMPARE(store()->State(), StoreState::Browse);
        QCOMPARE(listedNames(), kSorted);
        QCOMPARE(fileBytes(dataFile()), before);
    }
};

int main(int argc, char **argv)
{
    FaultShim::ensureLoaded(argc, argv);
    QApplication app(argc, argv);
    TestCommands test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_commands.moc"
