// The birthday alert: the month scan's text, the mark-up reader (hostile texts included), the
// alert window's size, place, colours, fading and hiding rules.

#include "store/ContactStore.h"
#include "store/DataSource.h"
#include "widgets/AlertMarkup.h"
#include "widgets/AlertWindow.h"
#include "widgets/BirthdayScan.h"

#include <QApplication>
#include <QEnterEvent>
#include <QFontInfo>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

namespace {

void add(ContactStore &store, const QString &name, const QString &birth)
{
    store.Insert();
    if (!name.isEmpty())
        store.SetAsString(QStringLiteral("Nome"), name);
    if (!birth.isEmpty())
        store.SetAsString(QStringLiteral("Nascimento"), birth);
    store.Commit();
}

QString mm(int month)
{
    return QStringLiteral("%1").arg(month, 2, 10, QLatin1Char('0'));
}

QString entry(const QString &name, const QString &birth)
{
    return QStringLiteral("<b>Nome: </b>") + name + QStringLiteral(" <b>Nascimento: </b>") + birth
        + QStringLiteral("<br><br>");
}

// One line per shown line; each run as [attributes:text], attributes being b (bold), the
// colour, the face and the point size that differ from the alert's own.
QString describe(const AlertText &text)
{
    QStringList lines;
    for (const AlertTextLine &line : text.lines) {
        QString described;
        for (const AlertTextRun &run : line.runs) {
            QStringList attributes;
            if (run.format.bold)
                attributes << QStringLiteral("b");
            if (run.format.color.isValid())
                attributes << run.format.color.name();
            if (!run.format.face.isEmpty())
                attributes << run.format.face;
            if (run.format.pointSize > 0)
                attributes << QString::number(run.format.pointSize);
            described += u'[' + attributes.join(u',') + u':' + run.text + u']';
        }
        lines << described;
    }
    return lines.join(u'\n');
}

// Inside the screen, so that pointer moves can reach the alert, yet not the screen's own area.
QRect workArea()
{
    return QGuiApplication::primaryScreen()->geometry().adjusted(20, 10, -20, -30);
}

QtMessageHandler qtHandler = nullptr;

// The headless platform warns on every fade step that it cannot show opacity or raise windows.
void quietPlatformWarnings(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg && message.startsWith(QLatin1String("This plugin does not support")))
        return;
    qtHandler(type, context, message);
}

// A shown alert with a short step so fades end quickly.
std::unique_ptr<AlertWindow> makeAlert(int stepInterval = 0)
{
    auto alert = std::make_unique<AlertWindow>();
    alert->setObjectName(QStringLiteral("AdvAlertWindow1"));
    alert->setFadeStepInterval(stepInterval);
    alert->setScreenGeometryProvider(workArea);
    alert->addMessage(kBirthdayAlertHeading + entry(QStringLiteral("Ana"), QStringLiteral("20/03/1975")));
    return alert;
}

void sendEnter(QWidget *widget)
{
    const QPointF inside(widget->width() / 2.0, widget->height() / 2.0);
    QEnterEvent enter(inside, widget->mapToGlobal(inside), widget->mapToGlobal(inside));
    QCoreApplication::sendEvent(widget, &enter);
}

void sendLeave(QWidget *widget)
{
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(widget, &leave);
}

QList<int> opacities(const QSignalSpy &spy)
{
    QList<int> values;
    for (const QList<QVariant> &arguments : spy)
        values << arguments.at(0).toInt();
    return values;
}

QList<int> steps(int from, int to)
{
    QList<int> values;
    const int step = from < to ? 2 : -2;
    for (int v = from + step; step > 0 ? v <= to : v >= to; v += step)
        values << v;
    return values;
}

bool near(QRgb pixel, const QColor &expected, int tolerance = 12)
{
    return qAbs(qRed(pixel) - expected.red()) <= tolerance
        && qAbs(qGreen(pixel) - expected.green()) <= tolerance
        && qAbs(qBlue(pixel) - expected.blue()) <= tolerance;
}

} // namespace

Q_DECLARE_METATYPE(AlertWindow::ColorScheme)

class TestAlert : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qtHandler = qInstallMessageHandler(quietPlatformWarnings);
    }

    // The month scan.

    void scanListsThisMonthOldestFirst()
    {
        const QDate today = QDate::currentDate();
        const QString month = mm(today.month());
        const QString otherMonth = mm(today.month() % 12 + 1);

        ContactStore store;
        DataSource source(&store);
        add(store, QStringLiteral("Bruno"), QStringLiteral("01/") + month + QStringLiteral("/1980"));
        add(store, QStringLiteral("Carla"), QStringLiteral("15/") + otherMonth + QStringLiteral("/1975"));
        add(store, QStringLiteral("Davi"), QString());
        add(store, QString(), QStringLiteral("02/") + month + QStringLiteral("/1990"));
        add(store, QStringLiteral("Ana"), QStringLiteral("28/") + month + QStringLiteral("/1975"));
        QSignalSpy switched(&source, &DataSource::enabledChanged);

        const QString text = birthdayAlertText(store, source, today);

        QCOMPARE(text, QStringLiteral("<FONT color=\"#000080\" face=\"Arial\"  size=\"13\">"
                                      "<B>Aniversariantes do Mês</B></FONT><br><br>")
                     + entry(QStringLiteral("Ana"), QStringLiteral("28/") + month + QStringLiteral("/1975"))
                     + entry(QStringLiteral("Bruno"), QStringLiteral("01/") + month + QStringLiteral("/1980"))
                     + entry(QString(), QStringLiteral("02/") + month + QStringLiteral("/1990")));
        // The views were switched off for the walk and are on again, in name order.
        QCOMPARE(switched.size(), 2);
        QCOMPARE(switched.at(0).at(0).toBool(), false);
        QCOMPARE(switched.at(1).at(0).toBool(), true);
        QVERIFY(source.Enabled());
        QCOMPARE(store.IndexFieldNames(), QStringLiteral("Nome"));
        QCOMPARE(store.valueAt(0, ContactStore::Nome), QString());
        QCOMPARE(store.valueAt(1, ContactStore::Nome), QStringLiteral("Ana"));
    }

    void scanWithoutBirthdayIsEmpty_data()
    {
        QTest::addColumn<QStringList>("births");
        const QDate today = QDate::currentDate();
        QTest::newRow("no contacts") << QStringList();
        QTest::newRow("other months and empty dates")
            << QStringList({QStringLiteral("10/") + mm(today.month() % 12 + 1) + QStringLiteral("/1970"),
                            QString(),
                            QStringLiteral("10/") + mm((today.month() + 10) % 12 + 1) + QStringLiteral("/2001")});
    }

    void scanWithoutBirthdayIsEmpty()
    {
        QFETCH(QStringList, births);
        ContactStore store;
        DataSource source(&store);
        int n = 0;
        for (const QString &birth : births)
            add(store, QStringLiteral("Contato %1").arg(++n), birth);
        QCOMPARE(birthdayAlertText(store, source, QDate::currentDate()), QString());
        QVERIFY(source.Enabled());
        QCOMPARE(store.IndexFieldNames(), QStringLiteral("Nome"));
    }

    void scanPutsNamesInUnescapedAndTheAlertReadsThemAsMarkup()
    {
        ContactStore store;
        DataSource source(&store);
        add(store, QStringLiteral("Zé <i>Maria</i> & Cia"), QStringLiteral("05/03/1961"));
        const QString text = birthdayAlertText(store, source, QDate(2024, 3, 31));
        QVERIFY(text.contains(QStringLiteral("<b>Nome: </b>Zé <i>Maria</i> & Cia <b>Nascimento: </b>05/03/1961")));
        QCOMPARE(parseAlertMarkup(text).plainText(),
                 QStringLiteral("Aniversariantes do Mês\n\nNome: Zé Maria & Cia Nascimento: 05/03/1961\n"));
    }

    // The mark-up reader.

    void markup_data()
    {
        QTest::addColumn<QString>("markup");
        QTest::addColumn<QString>("shown");

        QTest::newRow("heading and entry")
            << kBirthdayAlertHeading + entry(QStringLiteral("Ana"), QStringLiteral("20/03/1975"))
            << QStringLiteral("[b,#000080,Arial,13:Aniversariantes do Mês]\n\n"
                              "[b:Nome: ][:Ana ][b:Nascimento: ][:20/03/1975]\n");
        QTest::newRow("names without regard to case, values unquoted")
            << QStringLiteral("<b>x</B><FoNt CoLoR=#FF0000 SIZE=2>y</font>")
            << QStringLiteral("[b:x][#ff0000,10:y]");
        QTest::newRow("single quotes and blanks around =")
            << QStringLiteral("<font face = 'Times New Roman'>x</font>")
            << QStringLiteral("[Times New Roman:x]");
        QTest::newRow("size steps 1 and 5") << QStringLiteral("<font size=1>a</font><font size=\"5\">b</font>")
                                           << QStringLiteral("[8:a][16:b]");
        QTest::newRow("size in points") << QStringLiteral("<font size=6>a</font><font size=13>b</font>")
                                       << QStringLiteral("[6:a][13:b]");
        QTest::newRow("huge size held to 72") << QStringLiteral("<font size=500>a")
                                             << QStringLiteral("[72:a]");
        QTest::newRow("sizes that do not read")
            << QStringLiteral("<font size=0>a</font><font size=+1>b</font><font size=x>c</font>"
                              "<font size=99999999999>d</font>")
            << QStringLiteral("[:abcd]");
        QTest::newRow("colours that do not read")
            << QStringLiteral("<font color=red>a</font><font color=#12345G>b</font><font color=#1234>c")
            << QStringLiteral("[:abc]");
        QTest::newRow("nested fonts restore the outer one")
            << QStringLiteral("<font color=#ff0000>r<font size=3>s</font>t</font>u")
            << QStringLiteral("[#ff0000:r][#ff0000,12:s][#ff0000:t][:u]");
        QTest::newRow("unbalanced closings ignored")
            << QStringLiteral("</b></font>x<b><b>y</b>z</b>w")
            << QStringLiteral("[:x][b:yz][:w]");
        QTest::newRow("line breaks, final empty line not shown")
            << QStringLiteral("a<BR>b<br/>c<br><br>") << QStringLiteral("[:a]\n[:b]\n[:c]\n");
        QTest::newRow("empty text") << QString() << QString();
        QTest::newRow("image dropped, nothing loaded") << QStringLiteral("<img src=http://x>")
                                                       << QString();
        QTest::newRow("link dropped, its text kept") << QStringLiteral("<a href='x'>y</a>")
                                                     << QStringLiteral("[:y]");
        QTest::newRow("script text shown as text")
            << QStringLiteral("<script>alert(1)</script>") << QStringLiteral("[:alert(1)]");
        QTest::newRow("unclosed FONT shown literally") << QStringLiteral("a<FONT")
                                                       << QStringLiteral("[:a<FONT]");
        QTest::newRow("unclosed FONT with attribute")
            << QStringLiteral("<FONT color=#ff0000 x") << QStringLiteral("[:<FONT color=#ff0000 x]");
        QTest::newRow("double <") << QStringLiteral("<<b>x</b>") << QStringLiteral("[:<][b:x]");
        QTest::newRow("< in a name") << QStringLiteral("a < b <3 x<y") << QStringLiteral("[:a < b <3 x<y]");
        QTest::newRow("name in angle brackets is a dropped tag")
            << QStringLiteral("João <Maria>") << QStringLiteral("[:João ]");
        QTest::newRow("> inside quotes ends the tag: shown literally")
            << QStringLiteral("<font face=\"a>b\">x") << QStringLiteral("[:<font face=\"a>b\">x]");
        QTest::newRow("closing tag with attributes shown literally")
            << QStringLiteral("<b>x</b y>") << QStringLiteral("[b:x</b y>]");
        QTest::newRow("comment shown literally") << QStringLiteral("<!-- c -->")
                                                 << QStringLiteral("[:<!-- c -->]");
        QTest::newRow("& in a name") << QStringLiteral("Tom & Jerry, AT&T, &bogus; &")
                                     << QStringLiteral("[:Tom & Jerry, AT&T, &bogus; &]");
        QTest::newRow("entities decoded")
            << QStringLiteral("&amp;&lt;b&gt;&quot;&apos;&#65;&#x42;&#xe9;")
            << QStringLiteral("[:&<b>\"'ABé]");
        QTest::newRow("entities that are no characters")
            << QStringLiteral("&#0;&#xD800;&#x110000;&#;&#x;") << QStringLiteral("[:&#0;&#xD800;&#x110000;&#;&#x;]");
        QTest::newRow("entity in an attribute value")
            << QStringLiteral("<font face=\"A&amp;B\">x") << QStringLiteral("[A&B:x]");
        QTest::newRow("control characters shown as blanks")
            << QStringLiteral("a\nb\tc\rd&#10;e") << QStringLiteral("[:a b c d e]");
    }

    void markup()
    {
        QFETCH(QString, markup);
        QFETCH(QString, shown);
        QCOMPARE(describe(parseAlertMarkup(markup)), shown);
    }

    void hostileMarkupEndsAndLaysOut_data()
    {
        QTest::addColumn<QString>("markup");
        const int n = 100000;
        QTest::newRow("nested bold") << QStringLiteral("<b>").repeated(n) + u'x' + QStringLiteral("</b>").repeated(n);
        QTest::newRow("nested fonts") << QStringLiteral("<font size=3 color=#ff0000 face=Arial>x").repeated(n);
        QTest::newRow("lone <") << QStringLiteral("<").repeated(n);
        QTest::newRow("unclosed quotes") << QStringLiteral("<a '").repeated(n);
        QTest::newRow("unclosed tag at the end") << QStringLiteral("<font face=").repeated(n);
        QTest::newRow("ampersands") << QStringLiteral("&#x").repeated(n) + u';';
        QTest::newRow("line breaks") << QStringLiteral("<br>").repeated(n);
    }

    void hostileMarkupEndsAndLaysOut()
    {
        QFETCH(QString, markup);
        const AlertText text = parseAlertMarkup(markup);
        const AlertTextLayout layout(text, QFont(QStringLiteral("MS Sans Serif"), 8), Qt::black);
        QVERIFY(layout.size().width() >= 0);

        AlertWindow alert;
        alert.setScreenGeometryProvider(workArea);
        alert.addMessage(markup);
        alert.showAlert();
        QVERIFY(workArea().contains(alert.geometry()));
        alert.grab();
    }

    void layoutUsesTheNamedFontsAndColours()
    {
        const AlertText text = parseAlertMarkup(kBirthdayAlertHeading + entry(QStringLiteral("Ana"), QStringLiteral("20/03/1975")));
        const QFont base(QStringLiteral("MS Sans Serif"), 8);
        const AlertTextLayout layout(text, base, Qt::black);

        const AlertTextRun heading = text.lines.at(0).runs.at(0);
        const QFont headingFont = layout.fontFor(heading.format);
        QCOMPARE(headingFont.family(), QStringLiteral("Arial"));
        QCOMPARE(headingFont.pointSize(), 13);
        QVERIFY(headingFont.bold());
        QCOMPARE(layout.colorFor(heading.format), QColor(0, 0, 128));

        const AlertTextLine &line = text.lines.at(2);
        QVERIFY(layout.fontFor(line.runs.at(0).format).bold());     // "Nome: "
        QVERIFY(!layout.fontFor(line.runs.at(1).format).bold());    // the name
        QCOMPARE(layout.fontFor(line.runs.at(1).format).pointSize(), 8);
        QCOMPARE(layout.colorFor(line.runs.at(1).format), QColor(Qt::black));
        // The blank line after the heading is one line of the alert's own font.
        QVERIFY(layout.size().height() > 3 * QFontMetricsF(base).height());
    }

    // The alert window.

    void neverTakesTheFocus()
    {
        QWidget main;
        auto *edit = new QLineEdit(&main);
        main.show();
        QApplication::setActiveWindow(&main);
        edit->setFocus();
        QVERIFY(QTest::qWaitForWindowActive(&main));

        auto alert = makeAlert();
        const Qt::WindowFlags flags = alert->windowFlags();
        QVERIFY(flags.testFlag(Qt::Tool));
        QVERIFY(flags.testFlag(Qt::FramelessWindowHint));
        QVERIFY(flags.testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(flags.testFlag(Qt::WindowDoesNotAcceptFocus));
        QVERIFY(alert->testAttribute(Qt::WA_ShowWithoutActivating));

        alert->showAlert();
        QVERIFY(alert->isVisible());
        QCOMPARE(alert->phase(), AlertWindow::Phase::FadingIn);
        QTRY_COMPARE(alert->phase(), AlertWindow::Phase::Shown);
        QCOMPARE(QApplication::activeWindow(), &main);
        QCOMPARE(QApplication::focusWidget(), edit);
    }

    void placedAtTheBottomRightOfTheWorkArea_data()
    {
        QTest::addColumn<QRect>("area");
        QTest::newRow("work area at the origin") << QRect(0, 0, 1280, 984);
        QTest::newRow("work area moved by a panel") << QRect(100, 50, 1000, 700);
        QTest::newRow("work area smaller than the text") << QRect(10, 20, 90, 60);
    }

    void placedAtTheBottomRightOfTheWorkArea()
    {
        QFETCH(QRect, area);
        auto alert = makeAlert();
        alert->setScreenGeometryProvider([area] { return area; });
        alert->showAlert();

        const QRect placed = alert->geometry();
        QCOMPARE(placed.x() + placed.width(), area.x() + area.width() - AlertWindow::kRightGap);
        QCOMPARE(placed.y() + placed.height(), area.y() + area.height());
        QVERIFY(area.contains(placed));

        const QSizeF textSize = AlertTextLayout(alert->shownText(), alert->font(), Qt::black, alert.get()).size();
        if (area.width() > 500) {
            // Fitted to the text: 4 px around it, the close button above it.
            const QRect text = alert->textRect();
            QVERIFY(text.width() >= textSize.width());
            QVERIFY(text.height() >= textSize.height());
            QVERIFY(text.height() < textSize.height() + 1);
            QCOMPARE(text.left(), 1 + AlertWindow::kMargin);
            QCOMPARE(alert->height() - 1 - text.bottom(), 1 + AlertWindow::kMargin);
            QVERIFY(alert->closeButtonRect().bottom() < text.top());
            QVERIFY(alert->rect().contains(alert->closeButtonRect()));
        }
    }

    void placedAgainEachTimeItIsShown()
    {
        QRect area = workArea();
        auto alert = makeAlert();
        alert->setScreenGeometryProvider([&area] { return area; });
        alert->showAlert();
        alert->hideAlert();
        QTRY_VERIFY(!alert->isVisible());

        area = QRect(0, 0, 640, 480);
        alert->showAlert();
        QCOMPARE(alert->geometry().right() + 1, 638);
        QCOMPARE(alert->geometry().bottom() + 1, 480);
    }

    void fadesInThenOutInStepsOfTwo()
    {
        auto alert = makeAlert();
        QSignalSpy changes(alert.get(), &AlertWindow::opacityChanged);
        alert->showAlert();
        QCOMPARE(alert->opacity(), 0);
        QTRY_COMPARE(alert->phase(), AlertWindow::Phase::Shown);
        QCOMPARE(opacities(changes), steps(0, 220));
        QCOMPARE(alert->windowOpacity(), 220 / 255.0);

        changes.clear();
        alert->hideAlert();
        QCOMPARE(alert->phase(), AlertWindow::Phase::FadingOut);
        QTRY_VERIFY(!alert->isVisible());
        QCOMPARE(opacities(changes), steps(220, 0));
        QCOMPARE(alert->phase(), AlertWindow::Phase::Hidden);
        QCOMPARE(alert->messages().size(), 1);
    }

    void hideDuringFadeInFadesOutRightAfterIt()
    {
        auto alert = makeAlert(2);
        QSignalSpy changes(alert.get(), &AlertWindow::opacityChanged);
        alert->showAlert();
        alert->hideAlert();
        QCOMPARE(alert->phase(), AlertWindow::Phase::FadingIn);
        QVERIFY(alert->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!alert->isVisible(), 10000);
        QCOMPARE(opacities(changes), steps(0, 220) + steps(220, 0));
    }

    void hideRequestsForAHiddenAlertDoNothing()
    {
        auto alert = makeAlert();
        QSignalSpy changes(alert.get(), &AlertWindow::opacityChanged);
        alert->hideAlert(); // never shown
        QVERIFY(!alert->isVisible());
        QCOMPARE(alert->phase(), AlertWindow::Phase::Hidden);
        QTest::qWait(20);
        QVERIFY(changes.isEmpty());

        AlertWindow empty; // nothing to show
        empty.showAlert();
        QVERIFY(!empty.isVisible());
    }

    void pointerOverTheAlertHoldsIt_data()
    {
        QTest::addColumn<bool>("enterWhileFadingIn");
        QTest::addColumn<bool>("hideBeforeEnter");
        QTest::newRow("during fade-in") << true << false;
        QTest::newRow("during fade-in with a hide waiting") << true << true;
        QTest::newRow("during fade-out") << false << true;
    }

    void pointerOverTheAlertHoldsIt()
    {
        QFETCH(bool, enterWhileFadingIn);
        QFETCH(bool, hideBeforeEnter);
        auto alert = makeAlert(5);
        alert->showAlert();
        if (!enterWhileFadingIn)
            QTRY_COMPARE(alert->phase(), AlertWindow::Phase::Shown);
        if (hideBeforeEnter)
            alert->hideAlert();
        QTRY_VERIFY(alert->opacity() > 0 && alert->opacity() < 220);

        sendEnter(alert.get());
        QVERIFY(alert->isHovered());
        QCOMPARE(alert->opacity(), 255);
        QCOMPARE(alert->phase(), AlertWindow::Phase::Shown);
        alert->hideAlert(); // ignored while the pointer rests on it
        QTest::qWait(60);
        QVERIFY(alert->isVisible());
        QCOMPARE(alert->opacity(), 255);

        sendLeave(alert.get());
        QVERIFY(!alert->isHovered());
        QCOMPARE(alert->opacity(), 220);
        QTest::qWait(60); // a hide waiting from before the pointer came was dropped
        QVERIFY(alert->isVisible());
        QCOMPARE(alert->phase(), AlertWindow::Phase::Shown);

        alert->hideAlert();
        QCOMPARE(alert->phase(), AlertWindow::Phase::FadingOut);
        QTRY_VERIFY(!alert->isVisible());
    }

    void realPointerMoveHoldsTheAlert()
    {
        auto alert = makeAlert(5);
        alert->showAlert();
        QVERIFY(QTest::qWaitForWindowExposed(alert.get()));
        QTest::mouseMove(alert.get(), alert->rect().center());
        QTRY_VERIFY(alert->isHovered());
        QCOMPARE(alert->opacity(), 255);
        alert->hideAlert();
        QVERIFY(alert->isVisible());
    }

    void closeButtonHidesAtOnce_data()
    {
        QTest::addColumn<bool>("whileFading");
        QTest::newRow("shown") << false;
        QTest::newRow("fading in") << true;
    }

    void closeButtonHidesAtOnce()
    {
        QFETCH(bool, whileFading);
        auto alert = makeAlert(whileFading ? 5 : 1);
        alert->showAlert();
        if (!whileFading)
            QTRY_COMPARE(alert->phase(), AlertWindow::Phase::Shown);
        QSignalSpy changes(alert.get(), &AlertWindow::opacityChanged);

        QTest::mouseClick(alert.get(), Qt::LeftButton, {}, alert->closeButtonRect().center());
        QVERIFY(!alert->isVisible());
        QCOMPARE(alert->phase(), AlertWindow::Phase::Hidden);
        QCOMPARE(alert->messages().size(), 1);
        // No fade: straight from where it was to hidden, nothing afterwards.
        QVERIFY(changes.size() <= 1);
        QTest::qWait(30);
        QVERIFY(changes.size() <= 1);
        alert->hideAlert();
        QVERIFY(!alert->isVisible());

        // A click elsewhere on the alert does not close it.
        alert->showAlert();
        QTest::mouseClick(alert.get(), Qt::LeftButton, {}, alert->textRect().center());
        QVERIFY(alert->isVisible());
    }

    void mainWindowTakesInputDuringAFade()
    {
        QWidget main;
        auto *layout = new QVBoxLayout(&main);
        auto *button = new QPushButton(QStringLiteral("Novo"), &main);
        auto *edit = new QLineEdit(&main);
        layout->addWidget(button);
        layout->addWidget(edit);
        main.show();
        QApplication::setActiveWindow(&main);
        QVERIFY(QTest::qWaitForWindowActive(&main));
        edit->setFocus();

        auto alert = makeAlert(20);
        QSignalSpy clicked(button, &QPushButton::clicked);
        alert->showAlert();
        QTest::mouseClick(button, Qt::LeftButton);
        QTest::keyClicks(edit, QStringLiteral("abc"));
        QCOMPARE(alert->phase(), AlertWindow::Phase::FadingIn);
        QCOMPARE(clicked.size(), 1);
        QCOMPARE(edit->text(), QStringLiteral("abc"));
        QTRY_VERIFY(alert->opacity() > 10);
        QCOMPARE(QApplication::activeWindow(), &main);
    }

    void destroyedDuringAFade()
    {
        auto alert = makeAlert(1);
        QPointer<AlertWindow> watch(alert.get());
        alert->showAlert();
        QTRY_VERIFY(alert->opacity() > 0);
        alert.reset();
        QVERIFY(watch.isNull());
        QTest::qWait(30); // no fade step may reach the destroyed window

        auto parent = std::make_unique<QWidget>();
        auto *owned = new AlertWindow(parent.get());
        owned->setFadeStepInterval(1);
        owned->setScreenGeometryProvider(workArea);
        owned->addMessage(QStringLiteral("x"));
        owned->showAlert();
        owned->hideAlert();
        parent.reset(); // the owner takes the alert with it mid-fade
        QTest::qWait(30);
    }

    void colourSchemeFollowsTheTheme_data()
    {
        QTest::addColumn<QColor>("highlight");
        QTest::addColumn<AlertWindow::ColorScheme>("scheme");
        QTest::newRow("blue theme") << QColor(49, 106, 197) << AlertWindow::ColorScheme::Blue;
        QTest::newRow("blue selection") << QColor(48, 140, 198) << AlertWindow::ColorScheme::Blue;
        QTest::newRow("olive theme") << QColor(147, 160, 112) << AlertWindow::ColorScheme::Olive;
        QTest::newRow("silver theme") << QColor(178, 180, 191) << AlertWindow::ColorScheme::Silver;
        QTest::newRow("classic navy") << QColor(10, 36, 106) << AlertWindow::ColorScheme::Classic;
        QTest::newRow("grey") << QColor(128, 128, 128) << AlertWindow::ColorScheme::Classic;
        QTest::newRow("red") << QColor(200, 30, 30) << AlertWindow::ColorScheme::Classic;
    }

    void colourSchemeFollowsTheTheme()
    {
        QFETCH(QColor, highlight);
        QFETCH(AlertWindow::ColorScheme, scheme);
        QPalette palette;
        palette.setColor(QPalette::Highlight, highlight);
        QCOMPARE(AlertWindow::colorSchemeFor(palette), scheme);

        // Chosen each time the alert is shown, and painted as vertical gradients.
        auto alert = makeAlert();
        alert->setPalette(palette);
        alert->showAlert();
        QCOMPARE(alert->colorScheme(), scheme);
        const AlertWindow::Colors colors = AlertWindow::colorsFor(scheme, palette);
        if (scheme == AlertWindow::ColorScheme::Classic)
            QCOMPARE(colors.border, highlight);

        const QImage image = alert->grab().toImage();
        const qreal ratio = image.devicePixelRatio();
        auto pixel = [&](int x, int y) { return image.pixel(int(x * ratio), int(y * ratio)); };
        QVERIFY(near(pixel(0, alert->height() / 2), colors.border, 0));
        QVERIFY(near(pixel(2, 3), colors.captionTop, 16));
        QVERIFY(near(pixel(2, alert->height() - 2), colors.windowBottom, 8));
    }

    void closeButtonShowsHoverAndPress()
    {
        auto alert = makeAlert();
        alert->showAlert();
        const QRect close = alert->closeButtonRect();
        const AlertWindow::Colors colors = AlertWindow::colorsFor(alert->colorScheme(), alert->palette());
        auto cornerOfClose = [&] {
            const QImage image = alert->grab().toImage();
            const qreal ratio = image.devicePixelRatio();
            return image.pixel(int((close.left() + 1) * ratio), int((close.top() + 1) * ratio));
        };
        QVERIFY(!near(cornerOfClose(), colors.hoverTop, 20));
        QTest::mouseMove(alert.get(), close.center());
        QTRY_VERIFY(near(cornerOfClose(), colors.hoverTop, 20));
        QTest::mousePress(alert.get(), Qt::LeftButton, {}, close.center());
        QVERIFY(near(cornerOfClose(), colors.pressedTop, 20));
        // Released away from the button: no close.
        QTest::mouseRelease(alert.get(), Qt::LeftButton, {}, alert->textRect().center());
        QVERIFY(alert->isVisible());
    }

    void paintsTheHeadingNavyAndTheEntriesBlack()
    {
        auto alert = makeAlert();
        alert->showAlert();
        const QImage image = alert->grab().toImage();
        const qreal ratio = image.devicePixelRatio();
        const QRect text = alert->textRect();
        const qreal headingHeight = QFontMetricsF(QFont(QStringLiteral("Arial"), 13, QFont::Bold), alert.get()).height();

        auto countIn = [&](int top, int bottom, auto &&matches) {
            int count = 0;
            for (int y = int(top * ratio); y < int(bottom * ratio); ++y)
                for (int x = int(text.left() * ratio); x < int(text.right() * ratio); ++x)
                    count += matches(image.pixel(x, y)) ? 1 : 0;
            return count;
        };
        auto navy = [](QRgb p) { return qBlue(p) > 90 && qBlue(p) < 160 && qRed(p) < 40 && qGreen(p) < 40; };
        auto black = [](QRgb p) { return qRed(p) < 40 && qGreen(p) < 40 && qBlue(p) < 40; };
        QVERIFY(countIn(text.top(), text.top() + int(headingHeight), navy) > 20);
        QCOMPARE(countIn(text.top() + int(headingHeight) + 1, text.bottom(), navy), 0);
        QVERIFY(countIn(text.top() + int(headingHeight) + 1, text.bottom(), black) > 20);
    }
};

QTEST_MAIN(TestAlert)
#include "tst_alert.moc"
