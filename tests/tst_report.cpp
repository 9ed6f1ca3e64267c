// The contact list report: band layout and pagination, drawing on images and PDF, the walk over
// the store, and the preview window.

#include "report/ContactReport.h"
#include "report/ReportLayout.h"
#include "report/ReportPainter.h"
#include "report/ReportPreview.h"
#include "store/ContactStore.h"
#include "store/DataSource.h"

#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

using namespace report;

namespace {

constexpr qreal kFirstDetailTopPage1 = 6.35 + 12.435 + 6.879;
constexpr qreal kFirstDetailTopLater = 6.35 + 6.879;
constexpr qreal kFooterTop = 297 - 6.35 - 6.35;
const QDateTime kBegan(QDate(2024, 3, 5), QTime(14, 7, 9));

QString nameOf(int i) { return QStringLiteral("Contato %1").arg(i, 3, 10, QLatin1Char('0')); }

QList<ReportRow> makeRows(int count)
{
    QList<ReportRow> rows;
    for (int i = 1; i <= count; ++i)
        rows.append({nameOf(i), QStringLiteral("(11) 3333-%1").arg(i, 4, 10, QLatin1Char('0')),
                     QStringLiteral("(11) 9999-0000"), QString(),
                     QStringLiteral("c%1@exemplo.com.br").arg(i), QStringLiteral("Amigos")});
    return rows;
}

QList<ReportBand> bandsOf(const ReportPage &page, BandKind kind)
{
    QList<ReportBand> found;
    for (const ReportBand &band : page.bands)
        if (band.kind == kind)
            found.append(band);
    return found;
}

QStringList textsOf(const ReportPage &page, BandKind kind)
{
    QStringList found;
    for (const ReportText &text : page.texts)
        if (text.band == kind)
            found.append(text.text);
    return found;
}

const ReportText *findText(const ReportPage &page, const QString &content)
{
    for (const ReportText &text : page.texts)
        if (text.text == content)
            return &text;
    return nullptr;
}

bool near(qreal a, qreal b) { return qAbs(a - b) < 1e-6; }

// Each page drawn on its own sheet of a PDF; returns the file's path.
QString writePdf(const QList<ReportPage> &pages, const QString &folder)
{
    const QString path = folder + QStringLiteral("/report.pdf");
    QPdfWriter writer(path);
    writer.setResolution(600);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(), QPageLayout::Millimeter));
    QPainter painter(&writer);
    for (int i = 0; i < pages.size(); ++i) {
        if (i > 0)
            writer.newPage();
        paintReportPage(painter, pages[i]);
    }
    painter.end();
    return path;
}

// The PDF's text, one entry per page, or a null list when poppler's tools are missing.
QStringList pdfPages(const QString &path)
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        return {};
    QProcess process;
    process.start(QStringLiteral("pdftotext"),
                  {QStringLiteral("-layout"), QStringLiteral("-enc"), QStringLiteral("UTF-8"),
                   path, QStringLiteral("-")});
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return {};
    QStringList pages = QString::fromUtf8(process.readAllStandardOutput()).split(QChar('\f'));
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

// Words in the order they appear, each found after the previous one.
bool inOrder(const QString &haystack, const QStringList &words)
{
    qsizetype at = 0;
    for (const QString &word : words) {
        at = haystack.indexOf(word, at);
        if (at < 0)
            return false;
        at += word.size();
    }
    return true;
}

QImage renderPage(const ReportPage &page, int dpi, const TextHighlight &highlight = {})
{
    const qreal dotsPerMm = dpi / 25.4;
    QImage image(qRound(210 * dotsPerMm), qRound(297 * dotsPerMm), QImage::Format_RGB32);
    image.setDotsPerMeterX(qRound(dotsPerMm * 1000));
    image.setDotsPerMeterY(qRound(dotsPerMm * 1000));
    image.fill(Qt::white);
    QPainter painter(&image);
    paintReportPage(painter, page, highlight);
    painter.end();
    return image;
}

bool isInk(QRgb pixel) { return qGray(pixel) < 160; }

void addContact(ContactStore &store, const QString &name, const QString &phone = QString(),
                const QString &category = QString())
{
    store.Insert();
    store.SetAsString(QStringLiteral("Nome"), name);
    if (!phone.isEmpty())
        store.SetAsString(QStringLiteral("Telefone"), phone);
    if (!category.isEmpty())
        store.SetAsString(QStringLiteral("Categoria"), category);
    store.Commit();
}

QStringList namesOf(const QList<ReportRow> &rows)
{
    QStringList names;
    for (const ReportRow &row : rows)
        names.append(row[Nome]);
    return names;
}

template <typename T>
T *activeModal()
{
    return qobject_cast<T *>(QApplication::activeModalWidget());
}

} // namespace

class TestReport : public QObject
{
    Q_OBJECT

private slots:
    void paginatesRecords_data()
    {
        QTest::addColumn<int>("records");
        QTest::addColumn<QList<int>>("perPage");
        QTest::newRow("one") << 1 << QList<int>{1};
        QTest::newRow("first page full") << 39 << QList<int>{39};
        QTest::newRow("one more") << 40 << QList<int>{39, 1};
        QTest::newRow("second page full") << 79 << QList<int>{39, 40};
        QTest::newRow("several pages") << 150 << QList<int>{39, 40, 40, 31};
    }

    void paginatesRecords()
    {
        QFETCH(int, records);
        QFETCH(QList<int>, perPage);
        const QList<ReportPage> pages = layoutContactList(makeRows(records), kBegan);
        QCOMPARE(pages.size(), perPage.size());

        const QStringList captions = {"Nome", "Telefone", "Celular", "Comercial", "email",
                                      "Categoria"};
        QStringList listed;
        for (int p = 0; p < pages.size(); ++p) {
            const ReportPage &page = pages[p];
            QCOMPARE(page.number, p + 1);
            QCOMPARE(bandsOf(page, BandKind::Title).size(), p == 0 ? 1 : 0);
            QCOMPARE(textsOf(page, BandKind::Title),
                     p == 0 ? QStringList{"Listagem dos contatos telefônicos"} : QStringList{});
            QCOMPARE(textsOf(page, BandKind::PageHeader), captions);

            // The header lies directly under the title on page 1, at the top margin elsewhere.
            const QList<ReportBand> header = bandsOf(page, BandKind::PageHeader);
            QCOMPARE(header.size(), 1);
            QVERIFY(near(header[0].rect.top(), p == 0 ? 6.35 + 12.435 : 6.35));

            const QList<ReportBand> details = bandsOf(page, BandKind::Detail);
            QCOMPARE(details.size(), perPage[p]);
            const qreal firstTop = p == 0 ? kFirstDetailTopPage1 : kFirstDetailTopLater;
            QVERIFY(near(details.first().rect.top(), firstTop));
            QVERIFY(near(details.last().rect.top(), firstTop + (perPage[p] - 1) * 6.615));
            QVERIFY(details.last().rect.bottom() <= kFooterTop + 1e-6);
            for (const ReportBand &band : details)
                QVERIFY(near(band.rect.height(), 6.615));

            const QList<ReportBand> footer = bandsOf(page, BandKind::PageFooter);
            QCOMPARE(footer.size(), 1);
            QVERIFY(near(footer[0].rect.top(), kFooterTop));
            QVERIFY(near(footer[0].rect.bottom(), 297 - 6.35));
            QCOMPARE(textsOf(page, BandKind::PageFooter),
                     (QStringList{"05/03/2024 14:07:09", QStringLiteral("Page %1").arg(p + 1)}));
            QCOMPARE(page.lines.size(), 2);

            const QStringList values = textsOf(page, BandKind::Detail);
            for (int i = 0; i < values.size(); i += ColumnCount)
                listed.append(values[i]);
        }
        QStringList expected;
        for (int i = 1; i <= records; ++i)
            expected.append(nameOf(i));
        QCOMPARE(listed, expected);
    }

    void noRecordsMakeOneBlankPage()
    {
        const QList<ReportPage> pages = layoutContactList({}, kBegan);
        QCOMPARE(pages.size(), 1);
        QVERIFY(pages[0].bands.isEmpty());
        QVERIFY(pages[0].texts.isEmpty());
        QVERIFY(pages[0].lines.isEmpty());
    }

    void placesElementsAtTheirMeasures_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<BandKind>("band");
        QTest::addColumn<QRectF>("box"); // from the band's corner inside the margins
        QTest::addColumn<qreal>("points");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<QColor>("colour");

        const QColor teal(0, 128, 128);
        const auto row = [&](const char *name, BandKind band, QRectF box, qreal points,
                             bool bold, QColor colour) {
            QTest::newRow(name) << QString::fromUtf8(name) << band << box << points << bold
                                << colour;
        };
        row("Listagem dos contatos telefônicos", BandKind::Title,
            {1.323, 1.323, 150.813, 9.790}, 24, true, teal);
        row("Nome", BandKind::PageHeader, {1.323, 1.323, 42.333, 4.233}, 10, true, Qt::black);
        row("Telefone", BandKind::PageHeader, {58.738, 1.323, 17.198, 4.233}, 10, true,
            Qt::black);
        row("Celular", BandKind::PageHeader, {78.846, 1.323, 13.758, 4.233}, 10, true,
            Qt::black);
        row("Comercial", BandKind::PageHeader, {98.425, 1.323, 19.050, 4.233}, 10, true,
            Qt::black);
        row("email", BandKind::PageHeader, {120.650, 1.323, 21.431, 4.233}, 10, true,
            Qt::black);
        row("Categoria", BandKind::PageHeader, {160.602, 1.323, 34.396, 4.233}, 10, true,
            Qt::black);
        row("v-Nome", BandKind::Detail, {1.323, 0.529, 56.886, 4.763}, 10, false, Qt::black);
        row("v-Telefone", BandKind::Detail, {58.738, 0.529, 19.050, 4.763}, 10, false,
            Qt::black);
        row("v-Celular", BandKind::Detail, {78.846, 0.529, 19.050, 4.763}, 10, false,
            Qt::black);
        row("v-Comercial", BandKind::Detail, {98.425, 0.529, 21.167, 4.763}, 10, false,
            Qt::black);
        row("v-email", BandKind::Detail, {120.650, 0.529, 39.688, 4.763}, 10, false, Qt::black);
        row("v-Categoria", BandKind::Detail, {160.867, 0.529, 35.454, 4.763}, 10, false,
            Qt::black);
        row("05/03/2024 14:07:09", BandKind::PageFooter, {1.323, 1.323, 29.083, 3.598}, 9,
            false, Qt::black);
        row("Page 1", BandKind::PageFooter, {186.002, 1.323, 10.118, 3.598}, 9, false,
            Qt::black);
    }

    void placesElementsAtTheirMeasures()
    {
        QFETCH(QString, text);
        QFETCH(BandKind, band);
        QFETCH(QRectF, box);
        QFETCH(qreal, points);
        QFETCH(bool, bold);
        QFETCH(QColor, colour);

        const ReportRow values = {"v-Nome", "v-Telefone", "v-Celular", "v-Comercial", "v-email",
                                  "v-Categoria"};
        const ReportPage page = layoutContactList({values}, kBegan).first();
        const ReportText *element = findText(page, text);
        QVERIFY(element);
        QCOMPARE(element->band, band);
        const QRectF bandRect = bandsOf(page, band).first().rect;
        QVERIFY(near(bandRect.left(), 6.35));
        QVERIFY(near(bandRect.width(), 210 - 2 * 6.35));
        const QRectF placed = element->rect.translated(-bandRect.topLeft());
        QVERIFY2(near(placed.left(), box.left()) && near(placed.top(), box.top())
                     && near(placed.width(), box.width()) && near(placed.height(), box.height()),
                 qPrintable(QStringLiteral("placed at %1,%2 %3x%4")
                                .arg(placed.left()).arg(placed.top())
                                .arg(placed.width()).arg(placed.height())));
        QCOMPARE(element->fontFamily, QStringLiteral("Arial"));
        QCOMPARE(element->pointSize, points);
        QCOMPARE(element->bold, bold);
        QCOMPARE(element->colour, colour);
        const bool footer = band == BandKind::PageFooter;
        QCOMPARE(element->fit == TextFit::Clip, !footer);
        QCOMPARE(bool(element->alignment & Qt::AlignRight), text.startsWith("Page"));
    }

    void placesTheTealRules()
    {
        const ReportPage page = layoutContactList(makeRows(1), kBegan).first();
        QCOMPARE(page.lines.size(), 2);
        for (const ReportLine &line : page.lines) {
            const bool header = line.band == BandKind::PageHeader;
            const qreal bandTop = header ? 6.35 + 12.435 : kFooterTop;
            QCOMPARE(line.colour, QColor(0, 128, 128));
            QCOMPARE(line.penWidthPoints, header ? 1.5 : 3.75);
            QVERIFY(near(line.rect.left(), 6.35 + 1.323));
            QVERIFY(near(line.rect.width(), 194.734));
            QVERIFY(near(line.rect.top(), bandTop + (header ? 5.556 : 5.027)));
            QVERIFY(near(line.rect.height(), line.penWidthPoints * 25.4 / 72));
        }
    }

    void footerDateTime_data()
    {
        QTest::addColumn<QDateTime>("began");
        QTest::addColumn<QString>("text");
        QTest::newRow("afternoon") << kBegan << "05/03/2024 14:07:09";
        QTest::newRow("midnight") << QDateTime(QDate(2024, 12, 31), QTime(0, 0))
                                  << "31/12/2024";
        QTest::newRow("a second after midnight")
            << QDateTime(QDate(2024, 1, 1), QTime(0, 0, 1)) << "01/01/2024 00:00:01";
        QTest::newRow("a millisecond after midnight")
            << QDateTime(QDate(2024, 1, 1), QTime(0, 0, 0, 1)) << "01/01/2024 00:00:00";
        QTest::newRow("noon") << QDateTime(QDate(2024, 7, 9), QTime(12, 0)) << "09/07/2024 12:00:00";
        QTest::newRow("evening") << QDateTime(QDate(2024, 7, 9), QTime(23, 59, 59))
                                 << "09/07/2024 23:59:59";
    }

    void footerDateTime()
    {
        QFETCH(QDateTime, began);
        QFETCH(QString, text);
        QCOMPARE(footerDateTimeText(began), text);
        const ReportPage page = layoutContactList(makeRows(1), began).first();
        QCOMPARE(textsOf(page, BandKind::PageFooter).first(), text);
    }

    void footerTextsGrowInsteadOfBeingCut()
    {
        QList<ReportPage> pages = layoutContactList(makeRows(1), kBegan);
        ReportPage &page = pages.first();
        ReportText &number = page.texts[page.texts.size() - 1];
        ReportText &date = page.texts[page.texts.size() - 2];
        QCOMPARE(number.text, QStringLiteral("Page 1"));
        number.text = QStringLiteral("Page 123456789");
        date.text = QStringLiteral("05/03/2024 14:07:09 (horário de Brasília)");

        const QImage device = renderPage(page, 300);
        const QRectF numberBox = textBoundsOnDevice(number, &device);
        QVERIFY(near(numberBox.right(), 6.35 + 196.120));
        QVERIFY(numberBox.left() < 6.35 + 186.002);
        const QRectF dateBox = textBoundsOnDevice(date, &device);
        QVERIFY(near(dateBox.left(), 6.35 + 1.323));
        QVERIFY(dateBox.width() > 29.083);

        // Texts narrower than their starting boxes keep them.
        ReportText shortNumber = number;
        shortNumber.text = QStringLiteral("Page 9");
        QVERIFY(textBoundsOnDevice(shortNumber, &device).width() < 10.118 * 1.05);
        shortNumber.text = QStringLiteral("9");
        QCOMPARE(textBoundsOnDevice(shortNumber, &device), shortNumber.rect);
        ReportText shortDate = date;
        shortDate.text = QStringLiteral("05/03/2024");
        QCOMPARE(textBoundsOnDevice(shortDate, &device), shortDate.rect);

        // Every grown character is drawn: ink reaches left of the starting box.
        const qreal dotsPerMm = 300 / 25.4;
        const int y0 = qRound(numberBox.top() * dotsPerMm);
        const int y1 = qRound(numberBox.bottom() * dotsPerMm);
        bool inkLeftOfStart = false;
        for (int x = qRound(numberBox.left() * dotsPerMm);
             x < qRound((6.35 + 186.002) * dotsPerMm) && !inkLeftOfStart; ++x)
            for (int y = y0; y < y1 && !inkLeftOfStart; ++y)
                inkLeftOfStart = isInk(device.pixel(x, y));
        QVERIFY(inkLeftOfStart);
    }

    // A value wider than its box stops at the box's edge and never takes a second line.
    void longValueIsCutNotWrapped()
    {
        const QString longName = QString(60, QChar('W'));
        const ReportRow row = {longName, {}, {}, {}, {}, {}};
        const ReportPage page = layoutContactList({row, row}, kBegan).first();
        const ReportText *name = nullptr;
        for (const ReportText &text : page.texts)
            if (text.band == BandKind::Detail && text.text == longName)
                name = name ? name : &text;
        QVERIFY(name);

        const int dpi = 300;
        const QImage image = renderPage(page, dpi);
        const qreal dotsPerMm = dpi / 25.4;
        QCOMPARE(textBoundsOnDevice(*name, &image), name->rect);
        const int bandTop = qRound((kFirstDetailTopPage1) * dotsPerMm);
        const int bandBottom = qRound((kFirstDetailTopPage1 + 6.615) * dotsPerMm);
        const int boxRight = qRound(name->rect.right() * dotsPerMm);

        bool inkNearEdge = false;
        for (int y = bandTop; y < bandBottom; ++y) {
            for (int x = boxRight + 1; x < image.width(); ++x)
                QVERIFY2(!isInk(image.pixel(x, y)), "ink beyond the box's right edge");
            for (int x = boxRight - qRound(2 * dotsPerMm); x <= boxRight - 1; ++x)
                inkNearEdge = inkNearEdge || isInk(image.pixel(x, y));
        }
        QVERIFY2(inkNearEdge, "the text stops short of the box's edge");

        // The text's single line ends inside its box: no second line below it.
        const int boxBottom = qRound(name->rect.bottom() * dotsPerMm);
        for (int y = boxBottom + 1; y < bandBottom; ++y)
            for (int x = 0; x < boxRight; ++x)
                QVERIFY2(!isInk(image.pixel(x, y)), "ink below the text line: it wrapped");
    }

    void drawsRulesAtTheirMillimetres()
    {
        const int dpi = 600;
        const qreal dotsPerMm = dpi / 25.4;
        const QImage image = renderPage(layoutContactList(makeRows(1), kBegan).first(), dpi);
        const QColor teal(0, 128, 128);

        // Both rules span the same columns; sample one with no text in it.
        const int x = qRound((6.35 + 150) * dotsPerMm);
        int first = -1;
        QList<QPair<int, int>> runs;
        for (int y = 0; y < image.height(); ++y) {
            const bool isTeal = image.pixel(x, y) == teal.rgb();
            if (isTeal && first < 0)
                first = y;
            if (!isTeal && first >= 0) {
                runs.append({first, y - 1});
                first = -1;
            }
        }
        QCOMPARE(runs.size(), 2);
        const auto expectRun = [&](QPair<int, int> run, qreal topMm, qreal points) {
            const qreal top = topMm * dotsPerMm;
            const qreal bottom = (topMm + points * 25.4 / 72) * dotsPerMm;
            QVERIFY2(qAbs(run.first - top) <= 1.5 && qAbs(run.second + 1 - bottom) <= 1.5,
                     qPrintable(QStringLiteral("rows %1-%2, expected %3-%4")
                                    .arg(run.first).arg(run.second).arg(top).arg(bottom)));
        };
        expectRun(runs[0], 6.35 + 12.435 + 5.556, 1.5);
        expectRun(runs[1], kFooterTop + 5.027, 3.75);

        // The rules run from 1.323 mm inside the margin for 194.734 mm.
        const int y = qRound((kFooterTop + 5.6) * dotsPerMm);
        int left = -1, right = -1;
        for (int px = 0; px < image.width(); ++px)
            if (image.pixel(px, y) == teal.rgb()) {
                left = left < 0 ? px : left;
                right = px;
            }
        QVERIFY(qAbs(left - (6.35 + 1.323) * dotsPerMm) <= 1.5);
        QVERIFY(qAbs(right + 1 - (6.35 + 1.323 + 194.734) * dotsPerMm) <= 1.5);
    }

    void pdfCarriesTheTextsInOrder()
    {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QList<ReportPage> pages = layoutContactList(makeRows(45), kBegan);
        const QStringList text = pdfPages(writePdf(pages, folder.path()));
        if (text.isEmpty())
            QSKIP("pdftotext (poppler-utils) is not available");
        QCOMPARE(text.size(), 2);

        const QStringList captions = {"Nome", "Telefone", "Celular", "Comercial", "email",
                                      "Categoria"};
        QVERIFY(inOrder(text[0], QStringList{"Listagem dos contatos telefônicos"} + captions));
        QVERIFY(inOrder(text[0], {nameOf(1), "(11) 3333-0001", "(11) 9999-0000",
                                  "c1@exemplo.com.br", "Amigos", nameOf(2)}));
        QVERIFY(inOrder(text[0], {nameOf(39), "05/03/2024 14:07:09", "Page 1"}));
        QVERIFY(!text[0].contains(nameOf(40)));

        QVERIFY(!text[1].contains("Listagem"));
        QVERIFY(inOrder(text[1], captions + QStringList{nameOf(40), nameOf(45),
                                                        "05/03/2024 14:07:09", "Page 2"}));
    }

    void walksOnlyTheVisibleRecordsInOrder()
    {
        ContactStore store;
        DataSource source(&store);
        ContactReport report(&source);
        QCOMPARE(report.objectName(), QStringLiteral("ppReport1"));

        addContact(store, "Bruno", "(21) 2222-0000", "Trabalho");
        addContact(store, "Ângela");
        addContact(store, "alice");
        addContact(store, "Carlos");
        addContact(store, "Beatriz");

        QList<ReportRow> rows = report.visibleRows();
        QCOMPARE(namesOf(rows), (QStringList{"alice", "Ângela", "Beatriz", "Bruno", "Carlos"}));
        QCOMPARE(rows[3][Telefone], QStringLiteral("(21) 2222-0000"));
        QCOMPARE(rows[3][Categoria], QStringLiteral("Trabalho"));
        QCOMPARE(rows[3][Celular], QString());

        store.SetFilter("upper(Nome) like 'A%'");
        store.SetFiltered(true);
        QCOMPARE(namesOf(report.visibleRows()), (QStringList{"alice", "Ângela"}));

        store.SetFiltered(false);
        store.SetFilter("upper(Nome) like 'Z%'");
        store.SetFiltered(true);
        QVERIFY(report.visibleRows().isEmpty());
        const QList<ReportPage> pages = report.build(kBegan);
        QCOMPARE(pages.size(), 1);
        QVERIFY(pages[0].texts.isEmpty());
    }

    void settlesPendingChangesWithoutWritingTheFile()
    {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString file = folder.filePath("Lirvan.VKX");
        ContactStore store;
        DataSource source(&store);
        ContactReport report(&source);
        addContact(store, "Bruno");
        addContact(store, "Carlos");
        store.SaveToFile(file);
        const QByteArray saved = [&] { QFile f(file); f.open(QIODevice::ReadOnly); return f.readAll(); }();

        // An insert left untouched is dropped by the walk, never listed.
        store.Insert();
        QCOMPARE(namesOf(report.visibleRows()), (QStringList{"Bruno", "Carlos"}));
        QCOMPARE(store.State(), StoreState::Browse);
        QCOMPARE(store.RecordCount(), 2);

        // A typed one is committed in memory and listed at its place in the order.
        store.Insert();
        store.SetAsString("Nome", "Amanda");
        QCOMPARE(namesOf(report.visibleRows()), (QStringList{"Amanda", "Bruno", "Carlos"}));
        QCOMPARE(store.State(), StoreState::Browse);

        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), saved);
    }

    void walkLeavesTheCursorWhereItWas()
    {
        ContactStore store;
        DataSource source(&store);
        ContactReport report(&source);
        for (const char *name : {"Ana", "Bia", "Caio", "Davi"})
            addContact(store, name);
        store.setCurrentRow(2);
        QSignalSpy enabled(&source, &DataSource::enabledChanged);
        QCOMPARE(report.visibleRows().size(), 4);
        QCOMPARE(store.currentRow(), 2);
        QCOMPARE(store.AsString("Nome"), QStringLiteral("Caio"));
        // Views are paused during the walk and refreshed after it.
        QCOMPARE(enabled.size(), 2);
        QVERIFY(source.Enabled());
    }

    void previewOutlineAndNavigation()
    {
        const QList<ReportPage> pages = layoutContactList(makeRows(100), kBegan);
        ReportPreview preview(pages);
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));

        auto *outline = preview.findChild<QTreeWidget *>("outline");
        QVERIFY(outline);
        QCOMPARE(outline->topLevelItemCount(), 1);
        QTreeWidgetItem *root = outline->topLevelItem(0);
        QCOMPARE(root->text(0), QStringLiteral("Relatório"));
        QCOMPARE(root->childCount(), 3);
        QCOMPARE(root->child(1)->text(0), QStringLiteral("Página 2"));

        auto *view = preview.findChild<ReportPageView *>("pageView");
        QVERIFY(view);
        QCOMPARE(view->page()->number, 1);

        const QRect node = outline->visualItemRect(root->child(1));
        QTest::mouseClick(outline->viewport(), Qt::LeftButton, {}, node.center());
        QCOMPARE(preview.currentPageNumber(), 2);
        QCOMPARE(view->page()->number, 2);
        QVERIFY(findText(*view->page(), "Page 2"));

        const auto click = [&](const char *name) {
            auto *button = preview.findChild<QPushButton *>(name);
            QVERIFY(button);
            QTest::mouseClick(button, Qt::LeftButton);
        };
        click("btUltima");
        QCOMPARE(preview.currentPageNumber(), 3);
        QVERIFY(!preview.findChild<QPushButton *>("btProxima")->isEnabled());
        QCOMPARE(outline->currentItem(), root->child(2));
        click("btAnterior");
        QCOMPARE(preview.currentPageNumber(), 2);
        click("btPrimeira");
        QCOMPARE(preview.currentPageNumber(), 1);
        QVERIFY(!preview.findChild<QPushButton *>("btAnterior")->isEnabled());
        click("btProxima");
        QCOMPARE(preview.currentPageNumber(), 2);

        // 100 %: the page is as large on screen as on paper.
        QCOMPARE(view->size(), paperSizeOnDevice(view).toSize());
    }

    void previewSearchStepsThroughMatches()
    {
        const QList<ReportPage> pages = layoutContactList(makeRows(100), kBegan);
        ReportPreview preview(pages);
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        auto *edit = preview.findChild<QLineEdit *>("edLocalizar");
        auto *find = preview.findChild<QPushButton *>("btLocalizar");
        auto *next = preview.findChild<QPushButton *>("btProximo");
        auto *status = preview.findChild<QLabel *>("lbLocalizar");
        QVERIFY(edit && find && next && status);
        QCOMPARE(find->text(), QStringLiteral("Localizar"));
        QCOMPARE(next->text(), QStringLiteral("Próximo"));

        // A name on page 2, typed in another case.
        QTest::keyClicks(edit, "contato 055");
        QTest::mouseClick(find, Qt::LeftButton);
        QCOMPARE(preview.currentPageNumber(), 2);
        const TextHighlight hit = preview.currentHighlight();
        QCOMPARE(pages[1].texts[hit.textIndex].text, nameOf(55));
        QCOMPARE(hit.from, 0);
        QCOMPARE(hit.length, 11);

        // "Contato 07" starts 07x on page 2 (070..079); "Próximo" visits each in turn, then wraps.
        edit->clear();
        QTest::keyClicks(edit, "Contato 07");
        QTest::keyClick(edit, Qt::Key_Return);
        QStringList visited;
        for (int i = 0; i < 11; ++i) {
            visited.append(pages[preview.currentPageNumber() - 1]
                               .texts[preview.currentHighlight().textIndex].text);
            QTest::mouseClick(next, Qt::LeftButton);
        }
        QStringList expected;
        for (int i = 70; i <= 79; ++i)
            expected.append(nameOf(i));
        expected.append(nameOf(70));
        QCOMPARE(visited, expected);

        // Matches on several pages: the footer's date is on every page.
        edit->clear();
        QTest::keyClicks(edit, "05/03/2024");
        QTest::mouseClick(find, Qt::LeftButton);
        QCOMPARE(preview.currentPageNumber(), 1);
        QTest::mouseClick(next, Qt::LeftButton);
        QCOMPARE(preview.currentPageNumber(), 2);
        QTest::mouseClick(next, Qt::LeftButton);
        QCOMPARE(preview.currentPageNumber(), 3);
        QVERIFY(status->text().contains("3 de 3"));

        edit->clear();
        QTest::keyClicks(edit, "Fulano");
        QTest::mouseClick(find, Qt::LeftButton);
        QCOMPARE(preview.currentPageNumber(), 3);
        QCOMPARE(preview.currentHighlight().textIndex, -1);
        QCOMPARE(status->text(), QStringLiteral("Texto não encontrado."));
    }

    void highlightMarksTheMatchOnTheImage()
    {
        const ReportPage page = layoutContactList(makeRows(3), kBegan).first();
        int index = -1;
        for (int i = 0; i < page.texts.size(); ++i)
            if (page.texts[i].text == nameOf(2))
                index = i;
        QVERIFY(index >= 0);
        const QImage plain = renderPage(page, 150);
        const QImage marked = renderPage(page, 150, TextHighlight{index, 8, 3});
        const qreal dotsPerMm = 150 / 25.4;
        const QRect box = QRectF(page.texts[index].rect.topLeft() * dotsPerMm,
                                 page.texts[index].rect.size() * dotsPerMm).toAlignedRect();
        bool changedInside = false;
        for (int y = 0; y < plain.height(); ++y)
            for (int x = 0; x < plain.width(); ++x)
                if (plain.pixel(x, y) != marked.pixel(x, y)) {
                    QVERIFY(box.contains(x, y));
                    changedInside = true;
                }
        QVERIFY(changedInside);
    }

    void printsThroughTheSameDrawing()
    {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QList<ReportPage> pages = layoutContactList(makeRows(100), kBegan);
        ReportPreview preview(pages);

        QPrinter printer(QPrinter::HighResolution);
        ReportPreview::setUpPrinter(printer);
        QCOMPARE(printer.docName(), QStringLiteral("Relatório"));
        QCOMPARE(printer.pageLayout().pageSize().id(), QPageSize::A4);
        QCOMPARE(printer.pageLayout().orientation(), QPageLayout::Portrait);
        QCOMPARE(printer.pageLayout().margins(QPageLayout::Millimeter),
                 QMarginsF(6.35, 6.35, 6.35, 6.35));
        QVERIFY(printer.fullPage());

        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(folder.filePath("all.pdf"));
        preview.printTo(printer);
        QStringList text = pdfPages(folder.filePath("all.pdf"));
        if (text.isEmpty())
            QSKIP("pdftotext (poppler-utils) is not available");
        QCOMPARE(text.size(), 3);
        QVERIFY(inOrder(text[2], {nameOf(80), nameOf(100), "Page 3"}));

        printer.setOutputFileName(folder.filePath("second.pdf"));
        printer.setPrintRange(QPrinter::PageRange);
        printer.setFromTo(2, 2);
        preview.printTo(printer);
        text = pdfPages(folder.filePath("second.pdf"));
        QCOMPARE(text.size(), 1);
        QVERIFY(inOrder(text[0], {"Nome", nameOf(40), nameOf(79), "Page 2"}));
    }

    void printButtonAsksForThePrinterFirst()
    {
        ReportPreview preview(layoutContactList(makeRows(5), kBegan));
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        bool sawDialog = false;
        bool offeredFile = true;
        QTimer::singleShot(0, [&] {
            QTRY_VERIFY_WITH_TIMEOUT(activeModal<QPrintDialog>() != nullptr, 5000);
            QPrintDialog *dialog = activeModal<QPrintDialog>();
            sawDialog = true;
            offeredFile = dialog->testOption(QAbstractPrintDialog::PrintToFile);
            dialog->reject();
        });
        QTest::mouseClick(preview.findChild<QPushButton *>("btImprimir"), Qt::LeftButton);
        QVERIFY(sawDialog);
        QVERIFY(!offeredFile);
    }

    void printOpensTheModalPreviewMaximized()
    {
        ContactStore store;
        DataSource source(&store);
        ContactReport report(&source);
        for (int i = 1; i <= 45; ++i)
            addContact(store, nameOf(i));

        QWidget owner;
        owner.show();
        int pagesShown = 0;
        bool maximized = false;
        QString firstName;
        QTimer::singleShot(0, [&] {
            QTRY_VERIFY_WITH_TIMEOUT(activeModal<ReportPreview>() != nullptr, 5000);
            ReportPreview *preview = activeModal<ReportPreview>();
            pagesShown = preview->pageCount();
            maximized = preview->windowState() & Qt::WindowMaximized;
            auto *view = preview->findChild<ReportPageView *>("pageView");
            for (const ReportText &text : view->page()->texts)
                if (text.band == BandKind::Detail && firstName.isEmpty())
                    firstName = text.text;
            QTest::mouseClick(preview->findChild<QPushButton *>("btFechar"), Qt::LeftButton);
        });
        report.Print(&owner);
        QVERIFY(!activeModal<ReportPreview>());
        QCOMPARE(pagesShown, 2);
        QVERIFY(maximized);
        QCOMPARE(firstName, nameOf(1));
    }
};

QTEST_MAIN(TestReport)
#include "tst_report.moc"
