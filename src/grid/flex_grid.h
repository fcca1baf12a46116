#pragma once

#include <QRect>
#include <QString>
#include <QTableView>
#include <functional>
#include <vector>

class QEvent;
class QFontMetrics;
class QResizeEvent;
class QShowEvent;

namespace hibi {

class FlexGridModel;

// A read-only text grid addressed through a current-cell cursor: pick a cell
// with setRow()/setCol(), then read or write it with text()/setText().
//
// Coordinates are grid coordinates and include the fixed cells: row 0 is the
// header row when fixedRows() is 1, column 0 is the fixed (row-number) column
// when fixedCols() is 1. The view's model (model()) uses the very same
// coordinates, so model()->index(r, c) is cell (r, c).
//
// Display: the header row is drawn by the horizontal header (it never scrolls
// away) and its model row is hidden inside the viewport; the fixed column is
// drawn with a button-face background and scrolls horizontally with the data.
// The user can select data cells but can edit nothing.
//
// Error policy: a cell address outside the grid (setRow, setCol, cellText,
// setColWidthTwips, the alignment setters, or text()/setText() while the grid
// has no cell under the cursor) and an unknown alignment code leave the grid
// unchanged: the setters that take an address return false, cellText an
// empty text, and debug builds assert. Shape and scroll requests (setRows,
// setCols, setFixedRows, setFixedCols, setTopRow) are clamped instead.
//
// Storage: only rows written cell by cell keep text of their own; rows fed
// from a row source (setRowSource) ask it for their text when they are drawn
// or read, so a history of tens of thousands of rows costs next to nothing.
class FlexGrid : public QTableView {
    Q_OBJECT

  public:
    explicit FlexGrid(QWidget* parent = nullptr);
    ~FlexGrid() override;

    // Shape. Defaults: 2 rows, 2 columns, 1 fixed row, 1 fixed column.
    // setRows counts the header row; growing appends empty rows and keeps all
    // text, shrinking drops rows from the bottom. n is clamped to at least
    // fixedRows(), so setRows(1) with a header leaves just the header.
    // setCols keeps the text of surviving columns and is clamped to at least
    // max(1, fixedCols()). The fixed counts are clamped to 0..1 and grow the
    // grid if it is too small to hold them.
    void setRows(int n);
    int rows() const;
    void setCols(int n);
    int cols() const;
    void setFixedRows(int n);
    int fixedRows() const;
    void setFixedCols(int n);
    int fixedCols() const;

    // The cursor. It is independent of the view's current index and selection
    // and may address fixed cells (that is how the header is filled). When the
    // grid shrinks the cursor is pulled back onto the last row/column.
    bool setRow(int r);
    int row() const;
    bool setCol(int c);
    int col() const;
    bool setText(const QString& text);
    QString text() const;
    QString cellText(int r, int c) const;

    // Rows fed from elsewhere: the text of rows firstRow .. firstRow +
    // rowCount - 1 comes from source(row, col), asked only when a cell is
    // drawn or read, so a long history costs no text until it is seen. A cell
    // written through the cursor keeps its own text. Shrinking the grid
    // drops the rows it removes from the source; setRows(1) ends it.
    using RowSource = std::function<QString(int row, int col)>;
    void setRowSource(int firstRow, int rowCount, RowSource source);

    // Scrolls so that row r is the first row below the header. r is clamped to
    // the scrollable rows, and the view never scrolls past its last page, so
    // setTopRow(rows() - 1) brings the newest row into view. Before the grid is
    // shown the request is kept and carried out when it is shown; until then
    // topRow() reports the requested row.
    void setTopRow(int r);
    int topRow() const;

    // The column's design width in twips, 15 twips to the pixel, rounded to
    // the nearest pixel; a negative width means the default width. It also
    // forgets the texts fitColumnToText gave the column.
    void setColWidthTwips(int col, int twips);

    // Text that a cell of column col must show whole: the column is as wide
    // as its design width or its widest such text, whichever is wider, and
    // its header text always fits. Only the widest text given is kept, so a
    // caller hands over the widest of its values, not every cell.
    void fitColumnToText(int col, const QString& text);
    // The same for several texts at once, columns fitted once for them all.
    struct ColumnText {
        int col;
        QString text;
    };
    void fitColumnsToTexts(const QList<ColumnText>& texts);

    // When on, the columns always fit the view's width and the view never
    // scrolls sideways: where they would not fit at the design font
    // (setFontSizePoints), every cell is drawn in the largest smaller font
    // at which they do, down to 9 pixels. Fitted again when the view is
    // resized, so a wider view takes the design font back.
    void setColumnsWithinWidth(bool on);

    // Alignment codes: 0..8 are left/centre/right (code / 3) combined with
    // top/middle/bottom (code % 3); 9 is the default, left and vertically
    // centred. setColAlignment applies to the column's data cells,
    // setFixedAlignment to its fixed cells: the header cell and, when the grid
    // has a fixed column, every cell of column 0.
    void setColAlignment(int col, short code);
    void setFixedAlignment(int col, short code);

    // Point size for every cell, header included, at 96 dots per inch (14 pt
    // is 19 pixels); row heights follow. Non-positive sizes are ignored.
    void setFontSizePoints(double pt);
    double fontSizePoints() const;

  protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    bool checkCell(int r, int c) const;
    bool checkColumn(int c) const;
    void clampCursor();
    void syncFixedRowDisplay();
    void syncFontAndRowHeight();
    void syncFixedColours();
    void scrollToTopRow(int r);
    // Sets every column's width, and the font where the columns must stay
    // within the width.
    void fitColumns();
    // Each column's width in the font, given the size the design widths
    // were drawn up for.
    std::vector<int> columnWidthsFor(const QFont& font, int designPixels) const;
    int columnsRoom() const;

    FlexGridModel* model_;
    int cursorRow_ = 0;
    int cursorCol_ = 0;
    int pendingTopRow_ = -1;
    double fontPoints_ = 0.0;
    int designPixels_ = 0;
    bool withinWidth_ = false;
    // Per column: the design width in pixels (-1: the default) and the
    // widest text its cells must show whole.
    std::vector<int> designWidths_;
    std::vector<QString> widestTexts_;
    // The widest text's width in the font on show (-1: not measured since
    // the font changed), so that each new text is measured once.
    std::vector<int> widestAdvances_;
};

// A table of the windows' kind: placed at geometry, in the tables' face, with
// one header row, cols columns of which fixedCols (0 or 1) are fixed.
FlexGrid* makeTableGrid(QWidget* parent, const QString& name, const QRect& geometry, int cols,
                        int fixedCols, const QString& accessibleName);

}  // namespace hibi
