#include <QElapsedTimer>
#include <QHeaderView>
#include <QtTest>

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
    return r == 0 ? grid.model()->headerData(c, Qt::Horizontal, role)
                  : grid.model()->data(grid.model()->index(r, c), role);
}

Qt::Alignment alignmentAt(const FlexGrid& grid, int r, int c) {
    return Qt::Alignment(roleAt(grid, r, c, Qt::TextAlignmentRole).toInt());
}

}  // namespace

class TestFlexGrid : public QObject {
    Q_OBJECT

  private slots:
    void resizingKeepsOrClearsCells() {
        FlexGrid grid;
        grid.setCols(3);
        grid.setRows(4);
        fillThroughCursor(grid);
        grid.setRows(50);
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

    void theCursorIsNotTheSelection() {
        FlexGrid grid;
        grid.setCols(5);
        grid.setRows(6);
        const QModelIndex current = grid.currentIndex();
        fillThroughCursor(grid);
        QCOMPARE(grid.currentIndex(), current);
        QCOMPARE(roleAt(grid, 4, 3, Qt::DisplayRole).toString(), expected(4, 3));
        QCOMPARE(roleAt(grid, 0, 3, Qt::DisplayRole).toString(), expected(0, 3));
        grid.setRow(4);
        grid.setCol(2);
#ifdef QT_NO_DEBUG  // debug builds assert on an address outside the grid
        QVERIFY(!grid.setRow(6) && !grid.setRow(-1) && !grid.setCol(5));
        QCOMPARE(grid.cellText(0, 5), QString());
#endif
        grid.setText(QStringLiteral("x"));  // a refused move leaves the cursor alone
        QCOMPARE(grid.cellText(4, 2), QStringLiteral("x"));
        // Shrinking pulls the cursor back onto the grid.
        grid.setCols(2);
        grid.setRows(3);
        grid.setText(QStringLiteral("y"));
        QCOMPARE(grid.cellText(2, 1), QStringLiteral("y"));
    }

    // Fixed cells, the header and column 0, take the fixed alignment and the
    // button face and cannot be selected; data cells take their column's.
    void fixedCells() {
        FlexGrid grid;
        grid.setCols(4);
        grid.setRows(3);
        const Qt::Alignment centred = Qt::AlignCenter, right = Qt::AlignRight | Qt::AlignVCenter;
        grid.setColAlignment(2, 7);
        grid.setFixedAlignment(0, 4);
        grid.setColAlignment(0, 7);  // column 0 is fixed all the way down
        QCOMPARE(alignmentAt(grid, 2, 2), right);
        QCOMPARE(alignmentAt(grid, 0, 2), Qt::AlignLeft | Qt::AlignVCenter);
        QCOMPARE(alignmentAt(grid, 2, 0), centred);
        QCOMPARE(alignmentAt(grid, 0, 0), centred);
        const auto flags = [&](int r, int c) {
            return grid.model()->flags(grid.model()->index(r, c));
        };
        const QBrush button = grid.palette().brush(QPalette::Button);
        QCOMPARE(roleAt(grid, 2, 0, Qt::BackgroundRole).value<QBrush>(), button);
        QVERIFY(!roleAt(grid, 2, 1, Qt::BackgroundRole).isValid());
        QVERIFY(!(flags(2, 0) & Qt::ItemIsSelectable) && (flags(2, 1) & Qt::ItemIsSelectable));

        grid.setFixedCols(0);
        QVERIFY(flags(2, 0) & Qt::ItemIsSelectable);
        QCOMPARE(alignmentAt(grid, 2, 0), right);
        // The header row is drawn by the horizontal header, not in the scrolling area.
        QVERIFY(!grid.horizontalHeader()->isHidden() && grid.isRowHidden(0));
        grid.setFixedRows(0);
        QVERIFY(grid.horizontalHeader()->isHidden() && !grid.isRowHidden(0));
    }

    // Widths in twips are rounded to pixels and survive reshaping; font
    // sizes reach cells, header and row heights, also of rows added later.
    void columnWidthsAndFontSize() {
        FlexGrid grid;
        grid.setCols(3);
        grid.setColWidthTwips(1, 22);  // 1.47 px
        grid.setColWidthTwips(2, 23);  // 1.53 px
        grid.setCols(4);
        QCOMPARE(grid.columnWidth(1), 1);
        QCOMPARE(grid.columnWidth(2), 2);
        grid.setFontSizePoints(9);
        const int smallRow = grid.rowHeight(1);
        grid.setFontSizePoints(18);
        grid.setFontSizePoints(0);  // ignored
        grid.setRows(10);
        const auto pixelSize = [](const QVariant& font) { return font.value<QFont>().pixelSize(); };
        QCOMPARE(pixelSize(roleAt(grid, 1, 1, Qt::FontRole)), 24);  // 18 pt at 96 dpi
        QCOMPARE(pixelSize(roleAt(grid, 0, 1, Qt::FontRole)), 24);
        QVERIFY(grid.rowHeight(1) > smallRow);
        QCOMPARE(grid.rowHeight(9), grid.rowHeight(1));
    }

    // A full grid fills fast and brings its newest row into view, whether it is
    // scrolled after it is shown, as when an entry is added, or before.
    void topRowShowsNewestRow() {
        constexpr int kRows = 32767;  // header + the most entries a history holds
        const auto lastRowFullyVisible = [](const FlexGrid& grid) {
            const QRect last = grid.visualRect(grid.model()->index(kRows - 1, 1));
            return last.isValid() && grid.viewport()->rect().contains(last);
        };
        FlexGrid shown, early;
        for (FlexGrid* grid : {&shown, &early}) {
            grid->setCols(5);
            grid->setGeometry(10, 10, 400, 250);
        }
        shown.show();
        QVERIFY(QTest::qWaitForWindowExposed(&shown));
        QElapsedTimer timer;
        timer.start();
        shown.setRows(kRows);
        fillThroughCursor(shown);
        shown.setTopRow(shown.rows() - 1);
#if defined(__SANITIZE_ADDRESS__)
        const qint64 bound = 20000;  // the sanitizers slow every access many times over
#else
        const qint64 bound = 2000;
#endif
        QVERIFY2(timer.elapsed() < bound, qPrintable(QString::number(timer.elapsed())));
        QVERIFY(lastRowFullyVisible(shown));
        QCOMPARE(shown.topRow(), shown.rowAt(0));
        shown.setTopRow(500);  // an exact request lands just under the header
        QCOMPARE(shown.visualRect(shown.model()->index(500, 0)).top(), 0);
        shown.setTopRow(0);  // the header row is not a scroll target
        QCOMPARE(shown.rowAt(0), 1);

        early.setRows(kRows);
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
