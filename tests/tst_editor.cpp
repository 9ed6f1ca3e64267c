// The contact editor driven for real: a store on a data file in a temporary folder, the editor
// opened the way the main window's commands open it, keys typed and buttons clicked.

#include "store/ContactStore.h"
#include "store/DataSource.h"
#include "support/FaultShim.h"
#include "support/RefusingFolder.h"
#include "ufrmContatos.h"
#include "widgets/DBEdit.h"
#include "widgets/DBMemo.h"
#include "support/TestFiles.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <memory>

namespace {

// What a message box showed before it was answered.
struct ShownBox
{
    bool seen = false;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Answers the next message box that becomes the active modal window with OK, within a bounded
// wait, and keeps what it showed.
std::shared_ptr<ShownBox> answerNextBox()
{
    auto shown = std::make_shared<ShownBox>();
    auto *poll = new QTimer;
    const QDeadlineTimer deadline(10000);
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, shown, deadline] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            shown->seen = true;
            shown->title = box->windowTitle();
            shown->text = box->text();
            shown->icon = box->icon();
            poll->deleteLater();
            box->button(QMessageBox::Ok)->click();
        } else if (deadline.hasExpired()) {
            poll->deleteLater();
        }
    });
    poll->start();
    return shown;
}

// Every way the editor's file write is made to fail.
enum WriteFault { FolderMissing, PathIsFolder, ParentIsFile, FolderRefuses, DiskFullEarly,
                  DiskFullNearEnd, FsyncFails, RenameFails };

QString lettersOfLength(int length)
{
    QString text;
    for (int i = 0; i < length; ++i)
        text += QChar(u'a' + i % 26);
    return text;
}

} // namespace

class TestEditor : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QWidget> m_owner;   // stands for the main window
    ContactStore *m_store = nullptr;
    DataSource *m_source = nullptr;
    QPointer<TfrmContatos> m_editor;

    QString dataPath() const { return m_dir->filePath(QStringLiteral("Lirvan.VKX")); }

    void addContact(const QString &nome, const QString &nascimento = QString())
    {
        m_store->Insert();
        m_store->SetAsString(QStringLiteral("Nome"), nome);
        if (!nascimento.isEmpty())
            m_store->SetAsString(QStringLiteral("Nascimento"), nascimento);
        m_store->Commit();
    }

    void selectContact(const QString &nome)
    {
        for (int row = 0; row < m_store->visibleRowCount(); ++row) {
            if (m_store->valueAt(row, ContactStore::Nome) == nome) {
                m_store->setCurrentRow(row);
                return;
            }
        }
        QFAIL(qPrintable(QStringLiteral("no contact named %1").arg(nome)));
    }

    // As the commands do it: create the editor, put the store into insert or edit state, show it.
    void openEditor(StoreState how)
    {
        m_editor = new TfrmContatos(m_source, dataPath(), m_owner.get());
        QCOMPARE(frmContatos, m_editor.data());
        if (how == StoreState::Insert)
            m_store->Insert();
        else if (how == StoreState::Edit)
            m_store->Edit();
        m_editor->show();
        QVERIFY(QTest::qWaitForWindowActive(m_editor));
    }

    template <typename Box = DBEdit>
    Box *box(const char *name) const
    {
        auto *found = m_editor->findChild<Box *>(QString::fromLatin1(name));
        if (!found)
            qFatal("no box %s", name);
        return found;
    }

    void click(const char *button)
    {
        auto *found = m_editor->findChild<QToolButton *>(QString::fromLatin1(button));
        QVERIFY(found);
        QTest::mouseClick(found, Qt::LeftButton);
    }

    void focusBox(QWidget *target)
    {
        target->setFocus(Qt::MouseFocusReason);
        QTRY_COMPARE(QApplication::focusWidget(), target);
    }

    void reload(ContactStore &into)
    {
        into.LoadFromFile(dataPath());
        into.Open();
    }

private slots:
    void init()
    {
        FaultShim::clear();
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_owner = std::make_unique<QWidget>();
        m_store = new ContactStore(m_owner.get());
        m_source = new DataSource(m_store, m_owner.get());
    }

    void cleanup()
    {
        FaultShim::clear();
        delete m_editor;
        QVERIFY(!frmContatos);
        m_owner.reset();
        m_dir.reset();
    }

    void windowAndLayout()
    {
        openEditor(StoreState::Insert);
        QCOMPARE(m_editor->objectName(), QStringLiteral("frmContatos"));
        QCOMPARE(m_editor->windowTitle(), QStringLiteral("..:: Lirvan - Agenda Telefônica ::.."));
        QCOMPARE(m_editor->size(), QSize(544, 479));
        QVERIFY(m_editor->windowFlags() & Qt::WindowMinimizeButtonHint);
        QVERIFY(m_editor->windowFlags() & Qt::WindowMaximizeButtonHint);
        QCOMPARE(m_editor->parentWidget(), m_owner.get());

        struct Expected { const char *box; const char *label; QPoint labelAt; QRect at; };
        const Expected table[] = {
            {"DBEdit1", "Nome", {40, 88}, {104, 88, 409, 21}},
            {"DBEdit2", "Telefone", {40, 120}, {104, 120, 105, 21}},
            {"DBEdit3", "Celular", {216, 120}, {256, 120, 97, 21}},
            {"DBEdit4", "Comercial", {360, 120}, {416, 120, 97, 21}},
            {"DBEdit6", "CPF / CNPJ", {40, 152}, {104, 152, 201, 21}},
            {"DBEdit7", "RG / IE", {312, 152}, {360, 152, 153, 21}},
            {"DBEdit8", "Endereco", {40, 184}, {104, 184, 409, 21}},
            {"DBEdit9", "Cidade", {40, 216}, {104, 216, 281, 21}},
            {"DBEdit10", "CEP", {392, 216}, {424, 216, 89, 21}},
            {"DBEdit11", "Email", {40, 248}, {104, 248, 201, 21}},
            {"DBEdit12", "Site", {312, 248}, {336, 248, 177, 21}},
            {"DBEdit5", "Categoria", {40, 280}, {104, 280, 269, 21}},
            {"DBEdit13", "Nascimento", {379, 284}, {440, 280, 73, 21}},
            {"DBMemo1", "Observação", {40, 312}, {104, 312, 407, 73}},
        };

        // The window shows with the focus in the name box; Tab walks the boxes in table order.
        QTRY_COMPARE(QApplication::focusWidget(), box("DBEdit1"));
        for (const Expected &row : table) {
            auto *target = m_editor->findChild<QWidget *>(QString::fromLatin1(row.box));
            QVERIFY2(target, row.box);
            QCOMPARE(target->geometry(), row.at);
            QCOMPARE(QApplication::focusWidget(), target);
            const QList<QLabel *> labels = m_editor->findChildren<QLabel *>();
            const auto label = std::find_if(labels.begin(), labels.end(),
                                            [&](QLabel *l) { return l->buddy() == target; });
            QVERIFY2(label != labels.end(), row.box);
            QCOMPARE((*label)->text(), QString::fromUtf8(row.label));
            QCOMPARE((*label)->pos(), row.labelAt);
            QVERIFY(!(*label)->autoFillBackground());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(QApplication::focusWidget(), box("DBEdit1"));

        QCOMPARE(box("DBEdit2")->maxLength(), 30);
        QCOMPARE(box("DBEdit1")->maxLength(), 100);
        QCOMPARE(box("DBEdit10")->maxLength(), 10);
        QCOMPARE(box("DBEdit13")->maxLength(), 10);
        QCOMPARE(box("DBEdit13")->displayText(), QStringLiteral("__/__/____"));
        QCOMPARE(box<DBMemo>("DBMemo1")->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);

        auto *salvar = m_editor->findChild<QToolButton *>(QStringLiteral("btSalvar"));
        auto *voltar = m_editor->findChild<QToolButton *>(QStringLiteral("btVoltar"));
        auto *status = m_editor->findChild<QStatusBar *>();
        QVERIFY(salvar && voltar && status);
        QCOMPARE(salvar->text(), QStringLiteral("Salvar"));
        QCOMPARE(voltar->text(), QStringLiteral("Voltar"));
        QCOMPARE(salvar->focusPolicy(), Qt::NoFocus);
        QCOMPARE(voltar->focusPolicy(), Qt::NoFocus);
        QCOMPARE(salvar->size(), QSize(79, 57));
        QCOMPARE(salvar->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
        QVERIFY(!salvar->icon().isNull() && !voltar->icon().isNull());

        // The bands keep to the edges when the window grows; the boxes stay where they are.
        for (const QSize size : {QSize(544, 479), QSize(800, 620)}) {
            m_editor->resize(size);
            const QPoint salvarAt = salvar->mapTo(m_editor, QPoint(0, 0));
            const QPoint voltarAt = voltar->mapTo(m_editor, QPoint(0, 0));
            const int bandTop = size.height() - 17 - 64;
            QCOMPARE(salvarAt, QPoint(314, bandTop + 2));
            QCOMPARE(voltarAt, QPoint(314 + 79 + 10, bandTop + 2));
            QCOMPARE(status->geometry(), QRect(0, size.height() - 17, size.width(), 17));
            QVERIFY(status->isSizeGripEnabled());
            auto *banner = m_editor->findChild<QWidget *>(QStringLiteral("Image1"));
            QVERIFY(banner);
            QCOMPARE(banner->geometry(), QRect(0, 0, size.width(), 81));
            QCOMPARE(box("DBEdit13")->geometry(), QRect(440, 280, 73, 21));
        }
    }

    void newContactIsSaved_data()
    {
        QTest::addColumn<QString>("nome");
        QTest::addColumn<int>("row");
        QTest::newRow("typed in") << QStringLiteral("Maria") << 1;
        QTest::newRow("nothing typed") << QString() << 0;
    }

    void newContactIsSaved()
    {
        QFETCH(QString, nome);
        QFETCH(int, row);
        addContact(QStringLiteral("Ana"));
        addContact(QStringLiteral("Zeca"));

        openEditor(StoreState::Insert);
        if (!nome.isEmpty()) {
            QTest::keyClicks(box("DBEdit1"), nome);
            QTest::keyClick(box("DBEdit1"), Qt::Key_Tab);
            QTest::keyClicks(box("DBEdit2"), QStringLiteral("(11) 5555-0000"));
            focusBox(box("DBEdit13"));
            QTest::keyClicks(box("DBEdit13"), QStringLiteral("15031980"));
        }
        click("btSalvar");

        QTRY_VERIFY(m_editor.isNull());
        QVERIFY(!frmContatos);
        QCOMPARE(m_store->State(), StoreState::Browse);
        QCOMPARE(m_store->RecordCount(), 3);
        QCOMPARE(m_store->currentRow(), row);
        QCOMPARE(m_store->AsString(QStringLiteral("Nome")), nome);

        ContactStore saved;
        reload(saved);
        QCOMPARE(saved.RecordCount(), 3);
        saved.setCurrentRow(row);
        QCOMPARE(saved.AsString(QStringLiteral("Nome")), nome);
        if (!nome.isEmpty()) {
            QCOMPARE(saved.AsString(QStringLiteral("Telefone")), QStringLiteral("(11) 5555-0000"));
            QCOMPARE(saved.AsDateTime(QStringLiteral("Nascimento")), QDate(1980, 3, 15));
        } else {
            QVERIFY(saved.IsNull(QStringLiteral("Nascimento")));
        }
    }

    void editorOpensModally()
    {
        addContact(QStringLiteral("Ana"));
        selectContact(QStringLiteral("Ana"));
        auto *editor = new TfrmContatos(m_source, dataPath(), m_owner.get());
        m_store->Edit();
        bool wasModal = false;
        QTimer::singleShot(0, editor, [&] {
            QTRY_COMPARE(QApplication::activeModalWidget(), editor);
            wasModal = true;
            QTest::keyClick(editor->DBEdit1, Qt::Key_End);
            QTest::keyClicks(editor->DBEdit1, QStringLiteral(" Paula"));
            QTest::mouseClick(editor->btSalvar, Qt::LeftButton);
        });
        QTimer::singleShot(10000, editor, [editor] { editor->close(); }); // bounded
        editor->ShowModal();
        QVERIFY(wasModal);
        QVERIFY(!frmContatos);
        QCOMPARE(m_store->AsString(QStringLiteral("Nome")), QStringLiteral("Ana Paula"));
        ContactStore saved;
        reload(saved);
        saved.MoveFirst();
        QCOMPARE(saved.AsString(QStringLiteral("Nome")), QStringLiteral("Ana Paula"));
    }

    void voltarLeavesNoTrace_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("new contact") << int(StoreState::Insert);
        QTest::newRow("changed contact") << int(StoreState::Edit);
    }

    void voltarLeavesNoTrace()
    {
        QFETCH(int, how);
        addContact(QStringLiteral("Ana"), QStringLiteral("01/02/1990"));
        m_store->SaveToFile(dataPath());
        const QByteArray before = fileBytes(dataPath());

        openEditor(StoreState(how));
        QTest::keyClicks(box("DBEdit1"), QStringLiteral("Bruno"));
        QTest::keyClick(box("DBEdit1"), Qt::Key_Tab);
        QTest::keyClicks(box("DBEdit2"), QStringLiteral("1234"));
        click("btVoltar");

        QTRY_VERIFY(m_editor.isNull());
        QVERIFY(!frmContatos);
        QCOMPARE(m_store->State(), StoreState::Browse);
        QCOMPARE(m_store->RecordCount(), 1);
        QCOMPARE(m_store->visibleRowCount(), 1);
        QCOMPARE(m_store->valueAt(0, ContactStore::Nome), QStringLiteral("Ana"));
        QCOMPARE(m_store->valueAt(0, ContactStore::Telefone), QString());
        QCOMPARE(fileBytes(dataPath()), before);
    }

    void closeBoxLeavesChangePending_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("new contact") << int(StoreState::Insert);
        QTest::newRow("changed contact") << int(StoreState::Edit);
    }

    void closeBoxLeavesChangePending()
    {
        QFETCH(int, how);
        addContact(QStringLiteral("Ana"));
        m_store->SaveToFile(dataPath());
        const QByteArray before = fileBytes(dataPath());

        openEditor(StoreState(how));
        QTest::keyClick(box("DBEdit1"), Qt::Key_End);
        QTest::keyClicks(box("DBEdit1"), QStringLiteral("Bia"));
        QTest::keyClick(box("DBEdit1"), Qt::Key_Tab);
        QTest::keyClicks(box("DBEdit2"), QStringLiteral("999")); // still in the box at close
        QVERIFY(m_editor->close());

        QTRY_VERIFY(m_editor.isNull());
        QVERIFY(!frmContatos);
        QCOMPARE(m_store->State(), StoreState(how));
        QVERIFY(m_store->Modified());
        const QString nome = how == int(StoreState::Insert) ? QStringLiteral("Bia")
                                                              : QStringLiteral("AnaBia");
        QCOMPARE(m_store->AsString(QStringLiteral("Nome")), nome);
        QCOMPARE(m_store->AsString(QStringLiteral("Telefone")), QStringLiteral("999"));
        QCOMPARE(fileBytes(dataPath()), before);
    }

    void boxesKeepToTheFieldWidth_data()
    {
        QTest::addColumn<QString>("boxName");
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("typed");
        QTest::addColumn<int>("kept");
        QTest::newRow("phone") << "DBEdit2" << "Telefone" << 31 << 30;
        QTest::newRow("name") << "DBEdit1" << "Nome" << 101 << 100;
        QTest::newRow("postal code") << "DBEdit10" << "CEP" << 11 << 10;
        QTest::newRow("notes") << "DBMemo1" << "observacao" << 1200 << 1000;
    }

    void boxesKeepToTheFieldWidth()
    {
        QFETCH(QString, boxName);
        QFETCH(QString, field);
        QFETCH(int, typed);
        QFETCH(int, kept);
        const QString text = lettersOfLength(typed);

        openEditor(StoreState::Insert);
        QWidget *target = m_editor->findChild<QWidget *>(boxName);
        QVERIFY(target);
        focusBox(target);
        QTest::keyClicks(target, text);
        if (auto *edit = qobject_cast<DBEdit *>(target))
            QCOMPARE(edit->text(), text.left(kept)); // the extra character is refused
        click("btSalvar");

        QTRY_VERIFY(m_editor.isNull());
        QCOMPARE(m_store->AsString(field), text.left(kept));
        ContactStore saved;
        reload(saved);
        saved.MoveFirst();
        QCOMPARE(saved.AsString(field), text.left(kept));
    }

    void escapePutsTheValueBack_data()
    {
        QTest::addColumn<QString>("boxName");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("writtenFirst");
        QTest::newRow("name") << "DBEdit1" << "Nome" << "xyz" << false;
        QTest::newRow("date") << "DBEdit13" << "Nascimento" << "3112" << false;
        QTest::newRow("notes") << "DBMemo1" << "observacao" << "linha" << false;
        QTest::newRow("name after a write") << "DBEdit1" << "Nome" << "xyz" << true;
    }

    void escapePutsTheValueBack()
    {
        QFETCH(QString, boxName);
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(bool, writtenFirst);
        m_store->Insert();
        m_store->SetAsString(QStringLiteral("Nome"), QStringLiteral("Ana"));
        m_store->SetAsString(QStringLiteral("Nascimento"), QStringLiteral("01/02/1990"));
        m_store->SetAsString(QStringLiteral("observacao"), QStringLiteral("nota"));
        m_store->Commit();

        openEditor(StoreState::Edit);
        QWidget *target = m_editor->findChild<QWidget *>(boxName);
        focusBox(target);
        if (writtenFirst) {
            QTest::keyClicks(target, QStringLiteral("Bia"));
            QTest::keyClick(target, Qt::Key_Tab);
            focusBox(target);
        }
        const QString value = m_store->AsString(field);
        QTest::keyClick(target, Qt::Key_Home);
        QTest::keyClicks(target, typed);
        QTest::keyClick(target, Qt::Key_Escape);

        QVERIFY(m_editor && m_editor->isVisible());
        QCOMPARE(m_store->AsString(field), value);
        if (auto *edit = qobject_cast<DBEdit *>(target)) {
            QCOMPARE(edit->text(), value);
            QCOMPARE(edit->selectedText(), value);
            QVERIFY(!edit->hasPendingText());
        } else {
            auto *memo = qobject_cast<DBMemo *>(target);
            QCOMPARE(memo->toPlainText(), value);
            QCOMPARE(memo->textCursor().selectedText(), value);
        }
        QTest::keyClick(target, Qt::Key_Tab);
        QCOMPARE(m_store->AsString(field), value);
    }

    void invalidDateIsReported_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");
        QTest::newRow("no such day") << "31022000" << "'31/02/2000' is not a valid date.";
        QTest::newRow("year left out") << "1202" << "'12/02/    ' is not a valid date.";
    }

    void invalidDateIsReported()
    {
        QFETCH(QString, typed);
        QFETCH(QString, message);
        openEditor(StoreState::Insert);
        QTest::keyClicks(box("DBEdit1"), QStringLiteral("Maria"));
        DBEdit *date = box("DBEdit13");
        focusBox(date);
        QTest::keyClicks(date, typed);

        auto shown = answerNextBox();
        QTest::keyClick(date, Qt::Key_Tab);
        QTRY_VERIFY(shown->seen);
        QCOMPARE(shown->text, message);
        QCOMPARE(shown->title, QStringLiteral("Lirvan"));
        QCOMPARE(shown->icon, QMessageBox::Critical);
        QTRY_COMPARE(m_editor->focusWidget(), date);
        QCOMPARE(date->selectedText(), date->displayText());
        QVERIFY(m_store->IsNull(QStringLiteral("Nascimento")));

        // Saving does not get past the bad date: the same report, nothing written.
        shown = answerNextBox();
        click("btSalvar");
        QTRY_VERIFY(shown->seen);
        QCOMPARE(shown->text, message);
        QVERIFY(m_editor && m_editor->isVisible());
        QCOMPARE(m_store->State(), StoreState::Insert);
        QCOMPARE(m_store->RecordCount(), 0);
        QVERIFY(!QFile::exists(dataPath()));
        QCOMPARE(m_editor->focusWidget(), date);

        // Putting the date right lets the contact be saved.
        QTest::keyClick(date, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(date, QStringLiteral("28022000"));
        click("btSalvar");
        QTRY_VERIFY(m_editor.isNull());
        QCOMPARE(m_store->AsDateTime(QStringLiteral("Nascimento")), QDate(2000, 2, 28));
    }

    void erasingTheDateClearsIt()
    {
        addContact(QStringLiteral("Ana"), QStringLiteral("15/03/1980"));
        m_store->SaveToFile(dataPath());

        openEditor(StoreState::Edit);
        DBEdit *date = box("DBEdit13");
        QCOMPARE(date->text(), QStringLiteral("15/03/1980"));
        focusBox(date);
        QTest::keyClick(date, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(date, Qt::Key_Delete);
        QCOMPARE(date->displayText(), QStringLiteral("__/__/____"));
        QTest::keyClick(date, Qt::Key_Tab);
        QVERIFY(m_store->IsNull(QStringLiteral("Nascimento")));
        click("btSalvar");

        QTRY_VERIFY(m_editor.isNull());
        ContactStore saved;
        reload(saved);
        saved.MoveFirst();
        QVERIFY(saved.IsNull(QStringLiteral("Nascimento")));
        QVERIFY(!saved.AsDateTime(QStringLiteral("Nascimento")).isValid());
    }

    // Every way the file write can fail, through the editor's "Salvar": the user sees the error,
    // the file on disk is the old one, nothing is left beside it, the record stays in memory.
    void failedWriteKeepsTheRecordInMemory_data()
    {
        QTest::addColumn<int>("fault");
        QTest::newRow("folder missing") << int(FolderMissing);
        QTest::newRow("path is a folder") << int(PathIsFolder);
        QTest::newRow("parent is a file") << int(ParentIsFile);
        QTest::newRow("folder refuses new files") << int(FolderRefuses);
        QTest::newRow("disk fills early") << int(DiskFullEarly);
        QTest::newRow("disk fills near the end") << int(DiskFullNearEnd);
        QTest::newRow("fsync fails") << int(FsyncFails);
        QTest::newRow("rename fails") << int(RenameFails);
    }

    void failedWriteKeepsTheRecordInMemory()
    {
        QFETCH(int, fault);
        if (fault >= DiskFullEarly && !FaultShim::loaded())
            QSKIP("the fault shim could not be preloaded");
        addContact(QStringLiteral("Ana"));
        QString path = dataPath();
        if (fault == FolderMissing) {
            path = m_dir->filePath(QStringLiteral("missing/Lirvan.VKX"));
        } else if (fault == PathIsFolder) {
            QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("Lirvan.VKX")));
        } else if (fault == ParentIsFile) {
            QFile blocker(m_dir->filePath(QStringLiteral("pasta")));
            QVERIFY(blocker.open(QIODevice::WriteOnly));
            path = blocker.fileName() + QStringLiteral("/Lirvan.VKX");
        } else {
            m_store->SaveToFile(path);
        }
        const QByteArray before = fileBytes(path);
        const QStringList filesBefore = QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);

        m_editor = new TfrmContatos(m_source, path, m_owner.get());
        m_store->Insert();
        m_editor->show();
        QVERIFY(QTest::qWaitForWindowActive(m_editor));
        QTest::keyClicks(box("DBEdit1"), QStringLiteral("Maria"));
        const QByteArray where = QFile::encodeName(m_dir->path());
        switch (fault) {
        case DiskFullEarly: FaultShim::failWritesAfter(where, 16); break;
        case DiskFullNearEnd: FaultShim::failWritesAfter(where, before.size()); break;   // the new file is one contact longer
        case FsyncFails: FaultShim::failFsync(where); break;
        case RenameFails: FaultShim::failRename(where); break;
        default: break;
        }
        RefusingFolder refusing(fault == FolderRefuses ? m_dir->path() : QString());
        if (fault == FolderRefuses)
            QVERIFY(refusing.refuses());

        auto shown = answerNextBox();
        click("btSalvar");
        QTRY_VERIFY(shown->seen);
        refusing.restore();
        FaultShim::clear();
        QVERIFY2(shown->text.startsWith(QStringLiteral("Não foi possível gravar o arquivo de contatos")),
                 qPrintable(shown->text));
        QCOMPARE(shown->icon, QMessageBox::Critical);
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), filesBefore);
        QCOMPARE(shown->title, QStringLiteral("Lirvan"));
        QVERIFY(m_editor && m_editor->isVisible());
        QCOMPARE(m_store->State(), StoreState::Browse);
        QCOMPARE(m_store->RecordCount(), 2);
        QCOMPARE(m_store->AsString(QStringLiteral("Nome")), QStringLiteral("Maria"));
        QCOMPARE(fileBytes(path), before);
        if (fault == FolderMissing || fault == ParentIsFile)
            QVERIFY(!QFileInfo::exists(path));
        if (fault == PathIsFolder)
            QVERIFY(QFileInfo(path).isDir());

        // Nothing pending now: "Salvar" reports the store's state and changes nothing.
        shown = answerNextBox();
        click("btSalvar");
        QTRY_VERIFY(shown->seen);
        QCOMPARE(shown->text, QStringLiteral("cdsContatos: Dataset not in edit or insert mode."));
        QVERIFY(m_editor && m_editor->isVisible());
        QCOMPARE(m_store->State(), StoreState::Browse);

        // Typing starts a new edit of the saved record; "Voltar" drops it and closes.
        QTest::keyClicks(box("DBEdit2"), QStringLiteral("7"));
        QCOMPARE(m_store->State(), StoreState::Edit);
        QCOMPARE(box("DBEdit2")->text(), QStringLiteral("7"));
        click("btVoltar");
        QTRY_VERIFY(m_editor.isNull());
        QCOMPARE(m_store->State(), StoreState::Browse);
        QCOMPARE(m_store->AsString(QStringLiteral("Nome")), QStringLiteral("Maria"));
        QCOMPARE(m_store->AsString(QStringLiteral("Telefone")), QString());
        QCOMPARE(fileBytes(path), before);
    }

    void browseKeyStartsAnEditOnlyOnARecord_data()
    {
        QTest::addColumn<bool>("withRecord");
        QTest::addColumn<QString>("boxName");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::newRow("character") << true << "DBEdit1" << int(Qt::Key_X) << int(Qt::NoModifier);
        QTest::newRow("backspace") << true << "DBEdit1" << int(Qt::Key_Backspace) << int(Qt::NoModifier);
        QTest::newRow("delete") << true << "DBEdit1" << int(Qt::Key_Delete) << int(Qt::NoModifier);
        QTest::newRow("cut") << true << "DBEdit1" << int(Qt::Key_X) << int(Qt::ControlModifier);
        QTest::newRow("paste") << true << "DBEdit1" << int(Qt::Key_V) << int(Qt::ControlModifier);
        QTest::newRow("undo") << true << "DBEdit1" << int(Qt::Key_Z) << int(Qt::ControlModifier);
        QTest::newRow("enter in the notes") << true << "DBMemo1" << int(Qt::Key_Return) << int(Qt::NoModifier);
        QTest::newRow("arrow is no change") << true << "DBEdit1" << int(Qt::Key_Left) << int(Qt::NoModifier);
        QTest::newRow("enter in a line box") << true << "DBEdit1" << int(Qt::Key_Return) << int(Qt::NoModifier);
        QTest::newRow("no record") << false << "DBEdit1" << int(Qt::Key_X) << int(Qt::NoModifier);
    }

    void browseKeyStartsAnEditOnlyOnARecord()
    {
        QFETCH(bool, withRecord);
        QFETCH(QString, boxName);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        if (withRecord)
            addContact(QStringLiteral("Ana"));
        QGuiApplication::clipboard()->setText(QStringLiteral("colado"));

        openEditor(StoreState::Browse);
        QWidget *target = m_editor->findChild<QWidget *>(boxName);
        focusBox(target);
        QTest::keyClick(target, Qt::Key_End);
        QCOMPARE(m_store->State(), StoreState::Browse);
        QTest::keyClick(target, Qt::Key(key), Qt::KeyboardModifiers(modifiers));

        const bool changes = withRecord && key != Qt::Key_Left
            && !(key == Qt::Key_Return && boxName == QLatin1String("DBEdit1"));
        QCOMPARE(m_store->State(), changes ? StoreState::Edit : StoreState::Browse);
        if (!withRecord) {
            QCOMPARE(box("DBEdit1")->text(), QString());
            QVERIFY(m_store->NoneVisible());
        }
        if (key == Qt::Key_X && modifiers == Qt::NoModifier && withRecord)
            QCOMPARE(box("DBEdit1")->text(), QStringLiteral("Anax"));
    }

    void boxesFollowTheDataSource()
    {
        addContact(QStringLiteral("Ana"), QStringLiteral("01/02/1990"));
        addContact(QStringLiteral("Bia"));
        selectContact(QStringLiteral("Ana"));
        openEditor(StoreState::Browse);
        QCOMPARE(box("DBEdit1")->text(), QStringLiteral("Ana"));
        QCOMPARE(box("DBEdit13")->text(), QStringLiteral("01/02/1990"));

        selectContact(QStringLiteral("Bia"));
        QCOMPARE(box("DBEdit1")->text(), QStringLiteral("Bia"));
        QCOMPARE(box("DBEdit13")->displayText(), QStringLiteral("__/__/____"));

        // Switched off, the boxes stay as they are; switched on, they show the record again.
        m_source->SetEnabled(false);
        selectContact(QStringLiteral("Ana"));
        QCOMPARE(box("DBEdit1")->text(), QStringLiteral("Bia"));
        m_source->SetEnabled(true);
        QCOMPARE(box("DBEdit1")->text(), QStringLiteral("Ana"));
    }
};

int main(int argc, char **argv)
{
    FaultShim::ensureLoaded(argc, argv);
    QApplication app(argc, argv);
    TestEditor test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_editor.moc"
