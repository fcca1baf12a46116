#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QtTest>

#include <stdexcept>

#include "grid/flex_grid.h"

namespace {

QString expected(int r, int c) {
    return QStringLiteral("%1,%2").arg(r).arg(c);
}

// Writes "r,c" into every cell through the cursor, the way the windows do.
void fillThroughCursor(FlexGrid& grid) {
    for (int r = 0; r < grid.rows(); ++r) {
        grid.setRow(r);
        for (int c = 0; c < grid.cols(); ++c) {
            grid.setCol(c);
            grid.setText(expected(r, c));
        }
    }
}

QVariant roleAt(const FlexGrid& grid, int r, int c, int role) {
    return grid.model()->data(grid.model()->index(r, c), role);
}

Qt::Alignment alignmentAt(const FlexGrid& grid, int r, int c) {
    return Qt::Alignment(roleAt(grid, r, c, Qt::TextAlignmentRole).toInt());
}

Qt::Alignment headerAlignment(const FlexGrid& grid, int c) {
    return Qt::Alignment(
        grid.model()->headerData(c, Qt::Horizontal, Qt::TextAlignmentRole).toInt());
}

}  // namespace

class TestFlexGrid : public QObject {
    Q_OBJECT

  private slots:
    void resizingKeepsOrClearsCells() {
        FlexGrid grid;
        QCOMPARE(grid.rows(), 2);
        QCOMPARE(grid.cols(), 2);
        grid.setCols(3);
        grid.setRows(4);
        fillThroughCursor(grid);

        grid.setRows(50);
        QCOMPARE(grid.model()->rowCount(), 50);
        QCOMPARE(grid.cellText(3, 1), expected(3, 1));
        QCOMPARE(grid.cellText(49, 2), QString());

        // Changing the column count re-packs the rows; cells must stay put.
        grid.setCols(5);
        QCOMPARE(grid.cellText(3, 2), expected(3, 2));
        QCOMPARE(grid.cellText(3, 4), QString());
        grid.setCols(2);
        QCOMPARE(grid.cellText(3, 1), expected(3, 1));

        // One row leaves only the header; rows added afterwards start empty.
        grid.setRows(1);
        QCOMPARE(grid.cellText(0, 1), expected(0, 1));
        grid.setRows(4);
        QCOMPARE(grid.cellText(3, 1), QString());

        // Rows fed from elsewhere, as the history is: a written cell keeps its
        // own text, and rows the grid drops leave the source for good.
        grid.setRowSource(1, 2, [](int r, int c) { return expected(r, c); });
        grid.setRow(2);
        grid.setCol(1);
        grid.setText(QStringLiteral("own"));
        QCOMPARE(grid.cellText(2, 0), expected(2, 0));
        QCOMPARE(grid.cellText(2, 1), QStringLiteral("own"));
        QCOMPARE(grid.cellText(3, 1), QString());  // past the rows it feeds
        grid.setRows(2);
        grid.setRows(4);
        QCOMPARE(grid.cellText(1, 1), expected(1, 1));
        QCOMPARE(grid.cellText(2, 0), QString());

        grid.setRows(-3);  // clamped to the header row
        QCOMPARE(grid.rows(), 1);
    }

    void cursorWritesAndRangeErrors() {
        FlexGrid grid;
        grid.setCols(5);
        grid.setRows(6);
        const QModelIndex current = grid.currentIndex();
        fillThroughCursor(grid);
        QCOMPARE(grid.currentIndex(), current);  // the cursor is not the view's selection
        QCOMPARE(roleAt(grid, 4, 3, Qt::DisplayRole).toString(), expected(4, 3));
        QCOMPARE(grid.model()->headerData(3, Qt::Horizontal).toString(), expected(0, 3));

        grid.setRow(4);
        grid.setCol(2);
#ifdef QT_NO_DEBUG  // debug builds assert on an address outside the grid
        QVERIFY(!grid.setRow(6) && !grid.setRow(-1) && !grid.setCol(5));
        QCOMPARE(grid.cellText(0, 5), QString());
        grid.setColWidthTwips(5, 600);
        grid.setColAlignment(1, 10);
#endif
        grid.setText(QStringLiteral("12,345円"));  // a refused move leaves the cursor alone
        QCOMPARE(grid.cellText(4, 2), QStringLiteral("12,345円"));
        QCOMPARE(grid.cellText(4, 1), expected(4, 1));

        // Shrinking pulls the cursor back onto the grid.
        grid.setCols(2);
        grid.setRows(3);
        grid.setText(QStringLiteral("x"));
        QCOMPARE(grid.cellText(2, 1), QStringLiteral("x"));
    }

    void alignmentCodes_data() {
        QTest::addColumn<short>("code");
        QTest::addColumn<Qt::Alignment>("want");
        const Qt::Alignment left = Qt::AlignLeft, centre = Qt::AlignHCenter, right = Qt::AlignRight;
        const Qt::Alignment top = Qt::AlignTop, middle = Qt::AlignVCenter, bottom = Qt::AlignBottom;
        const Qt::Alignment wants[] = {left | top,   left | middle,   left | bottom,
                                       centre | top, centre | middle, centre | bottom,
                                       right | top,  right | middle,  right | bottom,
                                       left | middle};  // 9: the default
        for (short code = 0; code < 10; ++code) {
            QTest::addRow("%d", code) << code << wants[code];
        }
    }

    void alignmentCodes() {
        QFETCH(short, code);
        QFETCH(Qt::Alignment, want);
        const Qt::Alignment general = Qt::AlignLeft | Qt::AlignVCenter;

        FlexGrid grid;  // fixed row and fixed column
        grid.setCols(5);
        grid.setRows(4);
        grid.setColAlignment(3, code);
        QCOMPARE(alignmentAt(grid, 2, 3), want);
        QCOMPARE(headerAlignment(grid, 3), general);  // the header cell is fixed
        grid.setFixedAlignment(3, code);
        QCOMPARE(headerAlignment(grid, 3), want);
        QCOMPARE(headerAlignment(grid, 2), general);

        // Column 0 is fixed all the way down, so only its fixed alignment counts.
        grid.setColAlignment(0, 8);
        grid.setFixedAlignment(0, code);
        QCOMPARE(alignmentAt(grid, 3, 0), want);
        QCOMPARE(headerAlignment(grid, 0), want);

        // Without a fixed column, column 0 holds ordinary data cells.
        grid.setFixedCols(0);
        grid.setFixedAlignment(0, 0);
        grid.setColAlignment(0, code);
        QCOMPARE(alignmentAt(grid, 3, 0), want);
        QCOMPARE(alignmentAt(grid, 0, 0), Qt::AlignLeft | Qt::AlignTop);
    }

    void fixedCells() {
        FlexGrid grid;
        grid.setRows(3);
        const QBrush button = grid.palette().brush(QPalette::Button);
        const auto flagsAt = [&](int r, int c) {
            return grid.model()->flags(grid.model()->index(r, c));
        };

        for (const auto& [r, c] : {std::pair{0, 1}, std::pair{2, 0}}) {
            QCOMPARE(flagsAt(r, c), Qt::ItemFlags(Qt::ItemIsEnabled));
            QCOMPARE(roleAt(grid, r, c, Qt::BackgroundRole).value<QBrush>(), button);
        }
        QCOMPARE(flagsAt(2, 1), Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        QVERIFY(!roleAt(grid, 2, 1, Qt::BackgroundRole).isValid());
        grid.setFixedCols(0);
        QVERIFY(flagsAt(2, 0) & Qt::ItemIsSelectable);

        // The header row is drawn by the horizontal header, not in the scrolling area.
        QVERIFY(!grid.horizontalHeader()->isHidden());
        QVERIFY(grid.isRowHidden(0));
        grid.setFixedRows(0);
        QVERIFY(grid.horizontalHeader()->isHidden());
        QVERIFY(!grid.isRowHidden(0));
    }

    // Widths in twips survive reshaping; font sizes reach cells, header and
    // row heights, also of rows added later.
    void columnWidthsAndFontSize() {
        FlexGrid grid;
        grid.setCols(5);
        grid.setRows(3);
        const int twips[] = {650, 1440, 22, 23}, pixels[] = {43, 96, 1, 2};  // 1.47, 1.53 px
        for (int c = 1; c < 5; ++c) {
            grid.setColWidthTwips(c, twips[c - 1]);
        }
        grid.setCols(6);
        for (int c = 1; c < 5; ++c) {
            QCOMPARE(grid.columnWidth(c), pixels[c - 1]);
        }
        grid.setColWidthTwips(1, -1);
        QCOMPARE(grid.columnWidth(1), grid.horizontalHeader()->defaultSectionSize());

        grid.setFontSizePoints(9);
        const int smallRow = grid.rowHeight(2);
        grid.setFontSizePoints(18);
        grid.setFontSizePoints(0);  // ignored
        grid.setRows(10);
        const auto pixelSize = [](const QVariant& font) { return font.value<QFont>().pixelSize(); };
        QCOMPARE(pixelSize(roleAt(grid, 2, 1, Qt::FontRole)), 24);  // 18 pt at 96 dpi
        QCOMPARE(pixelSize(grid.model()->headerData(1, Qt::Horizontal, Qt::FontRole)), 24);
        QVERIFY(grid.rowHeight(2) > smallRow);
        QCOMPARE(grid.rowHeight(9), grid.rowHeight(2));
    }

    // A full grid fills fast and brings its newest row into view, whether it is
    // scrolled after it is shown, as when an entry is added, or before.
    void topRowShowsNewestRow() {
        constexpr int kRows = 32767;  // header + the most entries a history holds
        const auto shape = [](FlexGrid& grid) {
            grid.setCols(5);
            grid.setGeometry(10, 10, 400, 250);
        };
        const auto lastRowFullyVisible = [](const FlexGrid& grid) {
            const QRect last = grid.visualRect(grid.model()->index(kRows - 1, 1));
            return last.isValid() && grid.viewport()->rect().contains(last);
        };

        FlexGrid shown;
        shape(shown);
        shown.show();
        QVERIFY(QTest::qWaitForWindowExposed(&shown));
        QElapsedTimer timer;
        timer.start();
        shown.setRows(kRows);
        fillThroughCursor(shown);
        shown.setTopRow(shown.rows() - 1);
        const qint64 elapsed = timer.elapsed();
#if defined(__SANITIZE_ADDRESS__)
        const qint64 bound = 20000;  // the sanitizers slow every access many times over
#else
        const qint64 bound = 2000;
#endif
        QVERIFY2(elapsed < bound, qPrintable(QStringLiteral("took %1 ms").arg(elapsed)));
        QCOMPARE(shown.cellText(kRows - 1, 4), expected(kRows - 1, 4));
        QVERIFY(lastRowFullyVisible(shown));
        QCOMPARE(shown.topRow(), shown.rowAt(0));

        shown.setTopRow(500);  // an exact request lands just under the header
        QCOMPARE(shown.rowAt(0), 500);
        QCOMPARE(shown.visualRect(shown.model()->index(500, 0)).top(), 0);
        shown.setTopRow(0);  // the header row is not a scroll target
        QCOMPARE(shown.rowAt(0), 1);

        FlexGrid early;
        shape(early);
        early.setRows(kRows);
        fillThroughCursor(early);
        early.setTopRow(early.rows() - 1);
        QCOMPARE(early.topRow(), kRows - 1);  // the request, until it can be carried out
        early.show();
        QVERIFY(QTest::qWaitForWindowExposed(&early));
        QVERIFY(lastRowFullyVisible(early));
        QCOMPARE(early.topRow(), early.rowAt(0));
    }
};

QTEST_MAIN(TestFlexGrid)
#include "tst_flex_grid.moc"
