#include "flex_grid.h"

#include "grid/flex_grid_model.h"
#include "ui_common/layout.h"

#include <QAbstractTableModel>
#include <QBrush>
#include <QEvent>
#include <QFont>
#include <QFontInfo>
#include <QFontMetrics>
#include <QHeaderView>
#include <QResizeEvent>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace hibi {

using namespace flex_grid_detail;

FlexGrid::FlexGrid(QWidget* parent) : QTableView(parent), model_(new FlexGridModel(this)) {
    model_->resizeRows(2);
    setModel(model_);
    setCols(2);

    setEditTriggers(NoEditTriggers);
    setSelectionMode(SingleSelection);
    setSelectionBehavior(SelectItems);
    setTabKeyNavigation(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    // Scroll a whole row at a time so the top of the viewport is always the
    // top of a row, as topRow() assumes.
    setVerticalScrollMode(ScrollPerItem);
    setHorizontalScrollMode(ScrollPerPixel);
    setFocusPolicy(Qt::StrongFocus);

    // Column 0 carries its own row numbers where one is wanted.
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    // Narrow columns, down to zero width, are set on purpose.
    horizontalHeader()->setMinimumSectionSize(0);

    syncFixedColours();
    syncFontAndRowHeight();
    syncFixedRowDisplay();
}

FlexGrid::~FlexGrid() = default;

void FlexGrid::setRowSource(int firstRow, int rowCount, RowSource source) {
    model_->setRowSource(firstRow, rowCount, std::move(source));
}

void FlexGrid::setRows(int n) {
    model_->resizeRows(std::max(n, fixedRows()));
    clampCursor();
    syncFixedRowDisplay();
}

int FlexGrid::rows() const {
    return model_->rowCount();
}

void FlexGrid::setCols(int n) {
    model_->resizeCols(std::max({n, fixedCols(), 1}));
    designWidths_.resize(size_t(cols()), -1);
    widestTexts_.resize(size_t(cols()));
    widestAdvances_.resize(size_t(cols()), -1);
    clampCursor();
}

int FlexGrid::cols() const {
    return model_->columnCount();
}

void FlexGrid::setFixedRows(int n) {
    n = std::clamp(n, 0, 1);
    if (rows() < n) {
        model_->resizeRows(n);
    }
    model_->setFixed(n, fixedCols());
    syncFixedRowDisplay();
}

int FlexGrid::fixedRows() const {
    return model_->fixedRows();
}

void FlexGrid::setFixedCols(int n) {
    model_->setFixed(fixedRows(), std::clamp(n, 0, 1));
}

int FlexGrid::fixedCols() const {
    return model_->fixedCols();
}

bool FlexGrid::setRow(int r) {
    if (!checkCell(r, 0)) {
        return false;
    }
    cursorRow_ = r;
    return true;
}

int FlexGrid::row() const {
    return cursorRow_;
}

bool FlexGrid::setCol(int c) {
    if (!checkColumn(c)) {
        return false;
    }
    cursorCol_ = c;
    return true;
}

int FlexGrid::col() const {
    return cursorCol_;
}

bool FlexGrid::setText(const QString& text) {
    if (!checkCell(cursorRow_, cursorCol_)) {
        return false;
    }
    model_->setCell(cursorRow_, cursorCol_, text);
    return true;
}

QString FlexGrid::text() const {
    return cellText(cursorRow_, cursorCol_);
}

QString FlexGrid::cellText(int r, int c) const {
    return checkCell(r, c) ? model_->cell(r, c) : QString();
}

void FlexGrid::setTopRow(int r) {
    if (isVisible()) {
        pendingTopRow_ = -1;
        scrollToTopRow(r);
    } else {
        pendingTopRow_ = std::max(r, fixedRows());
    }
}

int FlexGrid::topRow() const {
    const int last = rows() - 1;
    if (pendingTopRow_ >= 0) {
        return std::min(pendingTopRow_, std::max(last, fixedRows()));
    }
    const int top = rowAt(0);
    return top >= 0 ? top : fixedRows();
}

void FlexGrid::setColWidthTwips(int col, int twips) {
    if (!checkColumn(col)) {
        return;
    }
    designWidths_[size_t(col)] =
        twips < 0 ? -1 : static_cast<int>(std::lround(twips / kTwipsPerPixel));
    widestTexts_[size_t(col)].clear();
    widestAdvances_[size_t(col)] = 0;
    fitColumns();
}

void FlexGrid::fitColumnToText(int col, const QString& text) {
    fitColumnsToTexts({{col, text}});
}

void FlexGrid::fitColumnsToTexts(const QList<ColumnText>& texts) {
    // Measured once, in the font of the moment: texts keep their order of
    // width at every size.
    bool wider = false;
    for (const ColumnText& given : texts) {
        if (!checkColumn(given.col)) {
            continue;
        }
        int& widestAdvance = widestAdvances_[size_t(given.col)];
        if (widestAdvance < 0) {
            widestAdvance = fontMetrics().horizontalAdvance(widestTexts_[size_t(given.col)]);
        }
        const int advance = fontMetrics().horizontalAdvance(given.text);
        if (advance > widestAdvance) {
            widestTexts_[size_t(given.col)] = given.text;
            widestAdvance = advance;
            wider = true;
        }
    }
    if (wider) {
        fitColumns();  // a font that steps down marks every width unmeasured
    }
}

void FlexGrid::setColumnsWithinWidth(bool on) {
    withinWidth_ = on;
    fitColumns();
}

std::vector<int> FlexGrid::columnWidthsFor(const QFont& font, int designPixels) const {
    const QFontMetrics metrics(font);
    // The design widths shrink with the font.
    const double scale = double(font.pixelSize()) / designPixels;
    // The item delegate keeps a focus-frame margin plus one pixel on either
    // side of a cell's text, and the grid line takes one more; the header
    // keeps its margin on either side of its text.
    const int cellMargin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    const int headerMargin =
        style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, horizontalHeader());
    std::vector<int> widths(static_cast<size_t>(cols()));
    for (int c = 0; c < cols(); ++c) {
        const int design = designWidths_[size_t(c)];
        int width = design >= 0 ? int(std::lround(design * scale))
                                : horizontalHeader()->defaultSectionSize();
        const QString& widest = widestTexts_[size_t(c)];
        if (!widest.isEmpty()) {
            width = std::max(
                width, metrics.horizontalAdvance(widest) + 2 * cellMargin + (showGrid() ? 1 : 0));
        }
        if (fixedRows() == 1 && rows() > 0) {
            width = std::max(width, metrics.horizontalAdvance(cellText(0, c)) + 2 * headerMargin);
        }
        widths[size_t(c)] = width;
    }
    return widths;
}

int FlexGrid::columnsRoom() const {
    // A vertical scroll bar is counted whether shown or not, so that rows
    // added later never push the columns out of the view.
    const int scrollBar =
        verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOff
            ? 0
            : style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, verticalScrollBar());
    return width() - 2 * frameWidth() - scrollBar;
}

void FlexGrid::fitColumns() {
    // Nine pixels is the smallest size the IPA faces still draw legibly.
    constexpr int kSmallestPixels = 9;
    const int shown = QFontInfo(font()).pixelSize();
    // Without a width to keep to, the columns just take the font on show.
    const int design = withinWidth_ && designPixels_ > 0 ? designPixels_ : shown;
    QFont sized = font();
    std::vector<int> widths;
    bool fits = false;
    for (int size = design;;) {
        sized.setPixelSize(size);
        widths = columnWidthsFor(sized, design);
        const int total = std::accumulate(widths.begin(), widths.end(), 0);
        fits = total <= columnsRoom();
        if (!withinWidth_ || fits || size <= kSmallestPixels) {
            break;
        }
        // The widths shrink in step with the font, all but their margins, so
        // no size above this one fits: skip the sizes between, each of which
        // would cost a font of its own.
        size = std::clamp(size * columnsRoom() / total, kSmallestPixels, size - 1);
    }
    if (sized.pixelSize() != shown) {
        setFont(sized);  // the FontChange event updates the model and row heights
    }
    for (int c = 0; c < cols(); ++c) {
        if (columnWidth(c) != widths[size_t(c)]) {
            setColumnWidth(c, widths[size_t(c)]);
        }
    }
    setHorizontalScrollBarPolicy(withinWidth_ && fits ? Qt::ScrollBarAlwaysOff
                                                      : Qt::ScrollBarAsNeeded);
}

void FlexGrid::setColAlignment(int col, short code) {
    const auto alignment = alignmentForCode(code);
    Q_ASSERT_X(alignment, "FlexGrid::setColAlignment", "unknown alignment code");
    if (checkColumn(col) && alignment) {
        model_->setColAlignment(col, *alignment);
    }
}

void FlexGrid::setFixedAlignment(int col, short code) {
    const auto alignment = alignmentForCode(code);
    Q_ASSERT_X(alignment, "FlexGrid::setFixedAlignment", "unknown alignment code");
    if (checkColumn(col) && alignment) {
        model_->setFixedAlignment(col, *alignment);
    }
}

void FlexGrid::setFontSizePoints(double pt) {
    if (!(pt > 0.0)) {
        return;
    }
    // Points as they were drawn up, at 96 dots per inch, so that the text
    // fits its columns whatever the screen's resolution.
    fontPoints_ = pt;
    designPixels_ = qMax(1, qRound(pt * 96.0 / 72.0));
    QFont sized = font();
    sized.setPixelSize(designPixels_);
    setFont(sized);  // the FontChange event updates the model and row heights
    fitColumns();
}

double FlexGrid::fontSizePoints() const {
    return fontPoints_ > 0.0 ? fontPoints_ : font().pointSizeF();
}

void FlexGrid::showEvent(QShowEvent* event) {
    QTableView::showEvent(event);
    if (pendingTopRow_ >= 0) {
        const int r = pendingTopRow_;
        pendingTopRow_ = -1;
        scrollToTopRow(r);
    }
}

void FlexGrid::resizeEvent(QResizeEvent* event) {
    // A view scrolled to its end stays there, whatever the new size and
    // font make of the rows: the newest row stays in view. The size a view
    // is shown at first is no change: its rows are not laid out yet, and it
    // opens at its top unless setTopRow asked otherwise.
    const bool atEnd = event->oldSize().isValid() &&
                       verticalScrollBar()->value() >= verticalScrollBar()->maximum();
    QTableView::resizeEvent(event);
    if (withinWidth_ && event->size().width() != event->oldSize().width()) {
        fitColumns();
    }
    if (atEnd) {
        executeDelayedItemsLayout();
        updateGeometries();
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    }
}

void FlexGrid::changeEvent(QEvent* event) {
    QTableView::changeEvent(event);
    switch (event->type()) {
        case QEvent::FontChange:
        case QEvent::StyleChange:
            syncFontAndRowHeight();
            break;
        case QEvent::PaletteChange:
            syncFixedColours();
            break;
        default:
            break;
    }
}

bool FlexGrid::checkColumn(int c) const {
    const bool inside = c >= 0 && c < cols();
    Q_ASSERT_X(inside, "FlexGrid", "column outside the grid");
    return inside;
}

bool FlexGrid::checkCell(int r, int c) const {
    const bool inside = r >= 0 && r < rows() && c >= 0 && c < cols();
    Q_ASSERT_X(inside, "FlexGrid", "cell outside the grid");
    return inside;
}

void FlexGrid::clampCursor() {
    cursorRow_ = std::clamp(cursorRow_, 0, std::max(rows() - 1, 0));
    cursorCol_ = std::clamp(cursorCol_, 0, std::max(cols() - 1, 0));
}

// Row 0 of a grid with a fixed row is shown by the horizontal header, so its
// own row in the viewport stays hidden.
void FlexGrid::syncFixedRowDisplay() {
    const bool header = fixedRows() == 1;
    horizontalHeader()->setVisible(header);
    if (rows() > 0) {
        setRowHidden(0, header);
    }
}

void FlexGrid::syncFontAndRowHeight() {
    model_->setCellFont(font());
    std::fill(widestAdvances_.begin(), widestAdvances_.end(), -1);
    const int height = fontMetrics().height() + kRowPadding;
    QHeaderView* rowHeader = verticalHeader();
    if (rowHeader->defaultSectionSize() == height && rowHeader->minimumSectionSize() == height) {
        return;
    }
    {
        // The header would tell the view of every row's new height one by
        // one: with a long history, most of the start-up. The view is laid
        // out once instead.
        const QSignalBlocker quiet(rowHeader);
        rowHeader->setMinimumSectionSize(height);
        rowHeader->setDefaultSectionSize(height);
    }
    updateGeometries();
    viewport()->update();
}

void FlexGrid::syncFixedColours() {
    model_->setFixedColours(palette().brush(QPalette::Button),
                            palette().brush(QPalette::ButtonText));
}

void FlexGrid::scrollToTopRow(int r) {
    if (rows() <= fixedRows()) {
        return;
    }
    r = std::clamp(r, fixedRows(), rows() - 1);
    // Rows added since the last layout are not yet in the scroll range.
    executeDelayedItemsLayout();
    const int horizontal = horizontalScrollBar()->value();
    scrollTo(model_->index(r, std::max(columnAt(0), 0)), PositionAtTop);
    horizontalScrollBar()->setValue(horizontal);
}

FlexGrid* makeTableGrid(QWidget* parent, const QString& name, const QRect& geometry, int cols,
                        int fixedCols, const QString& accessibleName) {
    auto* grid = new FlexGrid(parent);
    grid->setObjectName(name);
    grid->setGeometry(geometry);
    grid->setFont(hibi::gothicFont(hibi::tableGothic(), 12));
    grid->setCols(cols);
    grid->setFixedRows(1);
    grid->setFixedCols(fixedCols);
    grid->setAccessibleName(accessibleName);
    return grid;
}

}  // namespace hibi
