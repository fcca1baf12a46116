#include <QHeaderView>
#include <QScrollBar>
#include <QStyle>
#include <QtTest>

#include "grid/flex_grid.h"

using hibi::FlexGrid;

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
    return r == 0 ? grid.model()->headerData(c, Qt::Horizontal, role)
                  : grid.model()->data(grid.model()->index(r, c), role);
}

// The cells of the given rows: "1,0|1,1 / 2,0|2,1".
QString rowText(const FlexGrid& grid, std::initializer_list<int> rows) {
    QStringList texts;
    for (int r : rows) {
        QStringList cells;
        for (int c = 0; c < grid.cols(); ++c) {
            cells << grid.cellText(r, c);
        }
        texts << cells.join('|');
    }
    return texts.join(" / ");
}

Qt::Alignment alignmentAt(const FlexGrid& grid, int r, int c) {
    return Qt::Alignment(roleAt(grid, r, c, Qt::TextAlignmentRole).toInt());
}

}  // namespace

class TestFlexGrid : public QObject {
    Q_OBJECT

  private slots:
    // Cells are written through the cursor, not the view's current cell;
    // resizing keeps the cells that stay and starts new ones empty.
    void resizingKeepsOrClearsCells() {
        FlexGrid grid;
        grid.setCols(3);
        grid.setRows(4);
        const QModelIndex current = grid.currentIndex();
        fillThroughCursor(grid);
        QCOMPARE(grid.currentIndex(), current);
        QCOMPARE(roleAt(grid, 0, 2, Qt::DisplayRole).toString(), expected(0, 2));  // the header
        grid.setRows(50);
        QCOMPARE(rowText(grid, {3, 49}), QStringLiteral("3,0|3,1|3,2 / ||"));
        // Changing the column count re-packs the rows; cells must stay put.
        grid.setCols(5);
        QCOMPARE(rowText(grid, {3}), QStringLiteral("3,0|3,1|3,2||"));
        grid.setCols(2);
        QCOMPARE(rowText(grid, {3}), QStringLiteral("3,0|3,1"));
        // One row leaves only the header; rows added afterwards start empty.
        grid.setRows(1);
        grid.setRows(4);
        QCOMPARE(rowText(grid, {0, 3}), QStringLiteral("0,0|0,1 / |"));
        grid.setRows(-3);  // clamped to the header row
        QCOMPARE(grid.rows(), 1);

        // Shrinking pulls the cursor back onto the grid; a refused move leaves it alone.
        grid.setRows(3);
        grid.setRow(2);
        grid.setCol(1);
#ifdef QT_NO_DEBUG  // debug builds assert on an address outside the grid
        QVERIFY(!grid.setRow(3) && !grid.setRow(-1) && !grid.setCol(2));
        QCOMPARE(grid.cellText(0, 5), QString());
#endif
        grid.setRows(2);
        grid.setText(QStringLiteral("x"));
        QCOMPARE(rowText(grid, {1}), QStringLiteral("|x"));
    }

    // Rows fed from elsewhere, as the history is: a written cell keeps its own
    // text, and rows the grid drops leave the source for good.
    void rowSource() {
        FlexGrid grid;
        grid.setRows(4);
        grid.setRowSource(1, 2, [](int r, int c) { return expected(r, c); });
        grid.setRow(2);
        grid.setCol(1);
        grid.setText(QStringLiteral("own"));
        QCOMPARE(rowText(grid, {2, 3}), QStringLiteral("2,0|own / |"));
        grid.setRows(2);
        grid.setRows(4);
        QCOMPARE(rowText(grid, {1, 2}), QStringLiteral("1,0|1,1 / |"));
    }

    // Fixed cells, the header and column 0, take the fixed alignment and
    // cannot be selected; data cells take their column's.
    void fixedCells() {
        FlexGrid grid;
        grid.setCols(4);
        grid.setRows(3);
        grid.setColAlignment(2, 7);
        grid.setFixedAlignment(0, 4);
        grid.setColAlignment(0, 7);  // column 0 is fixed all the way down
        const Qt::Alignment centred = Qt::AlignCenter, right = Qt::AlignRight | Qt::AlignVCenter;
        QCOMPARE(alignmentAt(grid, 2, 2), right);
        QCOMPARE(alignmentAt(grid, 0, 2), Qt::AlignLeft | Qt::AlignVCenter);
        QVERIFY(alignmentAt(grid, 2, 0) == centred && alignmentAt(grid, 0, 0) == centred);
        const auto selectable = [&](int r, int c) {
            return bool(grid.model()->flags(grid.model()->index(r, c)) & Qt::ItemIsSelectable);
        };
        QVERIFY(!selectable(2, 0) && selectable(2, 1));
        grid.setFixedCols(0);
        QVERIFY(selectable(2, 0) && alignmentAt(grid, 2, 0) == right);
        // The header row is drawn by the horizontal header, not in the scrolling area.
        QVERIFY(!grid.horizontalHeader()->isHidden() && grid.isRowHidden(0));
        grid.setFixedRows(0);
        QVERIFY(grid.horizontalHeader()->isHidden() && !grid.isRowHidden(0));
    }

    // A full grid brings its newest row into view, whether it is scrolled
    // after it is shown, as when an entry is added, or before. (How fast it
    // fills is the benchmarks' business.)
    void topRowShowsNewestRow() {
        constexpr int kRows = 32767;  // header + the most entries a history holds
        const auto lastRowFullyVisible = [](const FlexGrid& grid) {
            const QRect last = grid.visualRect(grid.model()->index(kRows - 1, 1));
            return last.isValid() && grid.viewport()->rect().contains(last);
        };
        FlexGrid shown, early, untouched;
        for (FlexGrid* grid : {&shown, &early, &untouched}) {
            grid->setCols(5);
            grid->setGeometry(10, 10, 400, 250);
        }
        shown.show();
        QVERIFY(QTest::qWaitForWindowExposed(&shown));
        shown.setRows(kRows);
        fillThroughCursor(shown);
        shown.setTopRow(shown.rows() - 1);
        QVERIFY(lastRowFullyVisible(shown));
        QCOMPARE(shown.topRow(), shown.rowAt(0));

        early.setRows(kRows);
        early.setTopRow(early.rows() - 1);
        QCOMPARE(early.topRow(), kRows - 1);  // the request, until it can be carried out
        early.show();
        QVERIFY(QTest::qWaitForWindowExposed(&early));
        QVERIFY(lastRowFullyVisible(early));
        QCOMPARE(early.topRow(), early.rowAt(0));

        // Asked nothing, a grid opens at its first row.
        untouched.setRows(kRows);
        untouched.show();
        QVERIFY(QTest::qWaitForWindowExposed(&untouched));
        QCOMPARE(untouched.rowAt(0), 1);
    }

    // Texts too wide for the view at the design font: the font steps down to
    // the largest size at which the columns fit, not further.
    void theFontStepsDownJustEnough() {
        const QList<FlexGrid::ColumnText> widest{{0, QStringLiteral("32766")},
                                                 {1, QStringLiteral("¥536,854,528")},
                                                 {2, QStringLiteral("¥536,854,528")}};
        const auto shape = [&widest](FlexGrid& grid, double points) {
            grid.setCols(3);
            grid.setGeometry(0, 0, 260, 200);
            grid.setFontSizePoints(points);
            for (int c = 0; c < 3; ++c) {
                grid.setColWidthTwips(c, 0);  // the texts alone decide
            }
            grid.fitColumnsToTexts(widest);
        };
        const auto columnsWidth = [](const FlexGrid& grid) {
            return grid.columnWidth(0) + grid.columnWidth(1) + grid.columnWidth(2);
        };
        FlexGrid fitted;
        shape(fitted, 14);  // 19 pixels
        fitted.setColumnsWithinWidth(true);
        const int pixels = fitted.font().pixelSize();
        QVERIFY2(pixels < 19, "the texts must not fit at the design font");
        // The room counts a vertical scroll bar, shown or not.
        const int room = fitted.width() - 2 * fitted.frameWidth() -
                         fitted.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr,
                                                     fitted.verticalScrollBar());
        QVERIFY(columnsWidth(fitted) <= room);

        FlexGrid larger;
        shape(larger, (pixels + 1) * 72.0 / 96.0);
        QCOMPARE(larger.font().pixelSize(), pixels + 1);
        QVERIFY2(columnsWidth(larger) > room, qPrintable(QString::number(pixels)));
    }
};

QTEST_MAIN(TestFlexGrid)
#include "tst_flex_grid.moc"
