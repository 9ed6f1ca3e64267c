// The about window: its look, its place, that no key closes it, and that it frees itself.

#include "ufrmSobre.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

// Runs `check` on the about window once it is the active modal window, then closes it the way
// its close box does. Gives up after a bounded wait; the caller sees `done` still false.
void whenModal(const std::function<void(TfrmSobre *)> &check, bool &done, int triesLeft = 200)
{
    QTimer::singleShot(10, [check, &done, triesLeft] {
        auto *window = qobject_cast<TfrmSobre *>(QApplication::activeModalWidget());
        if (!window) {
            if (triesLeft > 0)
                whenModal(check, done, triesLeft - 1);
            return;
        }
        check(window);
        done = true;
        window->close();
    });
}

} // namespace

class TestAbout : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QCOMPARE(frmSobre, nullptr); }

    void showModalOpensOwnedModalWindowAndFreesIt();
    void window();
    void texts_data();
    void texts();
    void pictureStaysAtTopLeftWhenGrown();
    void noKeyCloses_data();
    void noKeyCloses();
    void freedOwnerLeavesNoDanglingReference();
};

void TestAbout::showModalOpensOwnedModalWindowAndFreesIt()
{
    QWidget owner;
    owner.setObjectName(QStringLiteral("frmPrincipal"));
    owner.show();
    QPointer<TfrmSobre> seen;
    bool done = false;
    whenModal([&](TfrmSobre *window) {
        seen = window;
        QCOMPARE(frmSobre, window);
        QCOMPARE(window->parentWidget(), &owner);
        QVERIFY(window->isModal());
        QCOMPARE(window->windowModality(), Qt::ApplicationModal);
        QVERIFY(window->isVisible());
    }, done);

    TfrmSobre::showModal(&owner);

    QVERIFY(done);
    QCOMPARE(frmSobre, nullptr);
    QVERIFY(seen.isNull());   // freed on close
    QVERIFY(owner.findChildren<TfrmSobre *>().isEmpty());
}

void TestAbout::window()
{
    QWidget owner;
    TfrmSobre *window = new TfrmSobre(&owner);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));

    QCOMPARE(window->objectName(), QStringLiteral("frmSobre"));
    QCOMPARE(window->windowTitle(), QStringLiteral("..:: Lirvan - Agenda Telefônica ::.."));
    QCOMPARE(window->size(), QSize(450, 250));
    QVERIFY(window->testAttribute(Qt::WA_DeleteOnClose));
    const Qt::WindowFlags flags = window->windowFlags();
    QVERIFY(flags & Qt::WindowMinimizeButtonHint);
    QVERIFY(flags & Qt::WindowMaximizeButtonHint);
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(flags & Qt::WindowSystemMenuHint);
    QVERIFY(!(flags & Qt::MSWindowsFixedSizeDialogHint));
    QVERIFY(window->maximumWidth() > 450 && window->maximumHeight() > 250);

    // The picture is drawn, not blank: it holds more than one colour.
    const auto *image = window->findChild<QLabel *>(QStringLiteral("Image1"));
    QVERIFY(image);
    const QImage picture = image->pixmap().toImage();
    QCOMPARE(picture.size(), QSize(450, 250));
    QVERIFY(picture.pixel(5, 5) != picture.pixel(440, 240));

    const QRect desktop = window->screen()->availableGeometry();
    const QPoint offset = window->frameGeometry().center() - desktop.center();
    QVERIFY2(offset.manhattanLength() <= 2,
             qPrintable(QStringLiteral("%1,%2").arg(offset.x()).arg(offset.y())));
    window->close();
}

void TestAbout::texts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("top");
    QTest::addColumn<int>("left");
    QTest::addColumn<QString>("text");

    QTest::newRow("program") << "Label1" << 104 << 104 << "Lirvan - Agenda Telefônica";
    QTest::newRow("maker") << "Label2" << 136 << 104 << "© 2026 Lirvan Software Ltda.";
    QTest::newRow("web") << "Label3" << 168 << 128 << "www.lirvan.com.br";
    QTest::newRow("e-mail") << "Label4" << 200 << 120 << "contato@lirvan.com.br";
}

void TestAbout::texts()
{
    QFETCH(QString, name);
    QFETCH(int, top);
    QFETCH(int, left);
    QFETCH(QString, text);
    QWidget owner;
    TfrmSobre *window = new TfrmSobre(&owner);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));

    const auto *label = window->findChild<QLabel *>(name);
    QVERIFY(label);
    QCOMPARE(label->text(), text);
    QCOMPARE(label->pos(), QPoint(left, top));
    QCOMPARE(label->font().family(), QStringLiteral("Verdana"));
    QCOMPARE(label->font().pointSize(), 10);
    QVERIFY(!label->autoFillBackground());
    QVERIFY(label->isVisible());
    // The whole text fits on the picture.
    QVERIFY(QRect(0, 0, 450, 250).contains(label->geometry()));
    QVERIFY(label->width() >= label->fontMetrics().horizontalAdvance(text));
    window->close();
}

void TestAbout::pictureStaysAtTopLeftWhenGrown()
{
    QWidget owner;
    TfrmSobre *window = new TfrmSobre(&owner);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    const QPoint label1 = window->findChild<QLabel *>(QStringLiteral("Label1"))->pos();

    window->resize(800, 600);
    QTRY_COMPARE(window->size(), QSize(800, 600));

    QCOMPARE(window->findChild<QLabel *>(QStringLiteral("Image1"))->geometry(),
             QRect(0, 0, 450, 250));
    QCOMPARE(window->findChild<QLabel *>(QStringLiteral("Label1"))->pos(), label1);
    window->close();
}

void TestAbout::noKeyCloses_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("Escape") << int(Qt::Key_Escape);
    QTest::newRow("Return") << int(Qt::Key_Return);
    QTest::newRow("Enter") << int(Qt::Key_Enter);
    QTest::newRow("Space") << int(Qt::Key_Space);
}

void TestAbout::noKeyCloses()
{
    QFETCH(int, key);
    QWidget owner;
    owner.show();
    bool done = false;
    bool stayedOpen = false;
    whenModal([&](TfrmSobre *window) {
        QTest::keyClick(window, Qt::Key(key));
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : window,
                        Qt::Key(key));
        stayedOpen = window->isVisible() && frmSobre == window
                     && QApplication::activeModalWidget() == window;
    }, done);

    TfrmSobre::showModal(&owner);

    QVERIFY(done);
    QVERIFY(stayedOpen);
}

void TestAbout::freedOwnerLeavesNoDanglingReference()
{
    auto *owner = new QWidget;
    frmSobre = new TfrmSobre(owner);
    frmSobre->show();
    QVERIFY(QTest::qWaitForWindowExposed(frmSobre));
    delete owner;
    QCOMPARE(frmSobre, nullptr);
}

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
