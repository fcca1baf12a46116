#include "flex_grid.h"

#include "ui_common/layout.h"

#include <QAbstractTableModel>
#include <QBrush>
#include <QEvent>
#include <QFont>
#include <QFontMetrics>
#include <QHeaderView>
#include <QScrollBar>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

namespace {

constexpr double kTwipsPerPixel = 15.0;
// Space above and below the text in every row, in pixels.
constexpr int kRowPadding = 6;
constexpr Qt::Alignment kDefaultAlignment = Qt::AlignLeft | Qt::AlignVCenter;

std::optional<Qt::Alignment> alignmentForCode(short code) {
    if (code == 9) {
        return kDefaultAlignment;
    }
    if (code < 0 || code > 9) {
        return std::nullopt;
    }
    static constexpr Qt::AlignmentFlag kHorizontal[] = {Qt::AlignLeft, Qt::AlignHCenter,
                                                        Qt::AlignRight};
    static constexpr Qt::AlignmentFlag kVertical[] = {Qt::AlignTop, Qt::AlignVCenter,
                                                      Qt::AlignBottom};
    return Qt::Alignment(kHorizontal[code / 3] | kVertical[code % 3]);
}

}  // namespace

// Row-major storage of the grid text plus the per-column presentation. Model
// coordinates are grid coordinates: row 0 is the header row when there is one.
class FlexGridModel final : public QAbstractTableModel {
    Q_OBJECT

  public:
    explicit FlexGridModel(QObject* parent) : QAbstractTableModel(parent) {}

    int rowCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : m_rows;
    }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : m_cols;
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= m_rows || index.column() >= m_cols) {
            return {};
        }
        const int r = index.row();
        const int c = index.column();
        const bool fixed = isFixed(r, c);
        switch (role) {
            case Qt::DisplayRole:
                return cell(r, c);
            case Qt::TextAlignmentRole:
                return static_cast<int>(
                    (fixed ? m_fixedAlign[size_t(c)] : m_colAlign[size_t(c)]).toInt());
            case Qt::FontRole:
                return m_font;
            case Qt::BackgroundRole:
                return fixed ? QVariant(m_fixedBackground) : QVariant();
            case Qt::ForegroundRole:
                return fixed ? QVariant(m_fixedForeground) : QVariant();
            default:
                return {};
        }
    }

    // The horizontal header shows row 0 when it is the fixed row.
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || m_fixedRows == 0 || m_rows == 0 || section < 0 ||
            section >= m_cols) {
            return QAbstractTableModel::headerData(section, orientation, role);
        }
        switch (role) {
            case Qt::DisplayRole:
            case Qt::TextAlignmentRole:
            case Qt::FontRole:
                return data(index(0, section), role);
            default:
                return {};
        }
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override {
        if (!index.isValid()) {
            return Qt::NoItemFlags;
        }
        if (isFixed(index.row(), index.column())) {
            return Qt::ItemIsEnabled;
        }
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    }

    int fixedRows() const { return m_fixedRows; }
    int fixedCols() const { return m_fixedCols; }

    QString cell(int r, int c) const {
        const auto found = m_rowText.find(r);
        const QString text = found != m_rowText.end() ? found->second[size_t(c)] : QString();
        if (text.isNull() && m_source && r >= m_sourceFirst && r < m_sourceFirst + m_sourceCount) {
            return m_source(r, c);
        }
        return text;
    }

    void setRowSource(int first, int count, FlexGrid::RowSource source) {
        m_source = std::move(source);
        m_sourceFirst = first;
        m_sourceCount = m_source ? std::max(0, std::min(count, m_rows - first)) : 0;
        if (m_sourceCount > 0 && m_cols > 0) {
            emit dataChanged(index(first, 0), index(first + m_sourceCount - 1, m_cols - 1),
                             {Qt::DisplayRole});
        }
    }

    void setCell(int r, int c, const QString& text) {
        rowForWriting(r)[c] = text;
        const QModelIndex changed = index(r, c);
        emit dataChanged(changed, changed, {Qt::DisplayRole});
        if (r == 0 && m_fixedRows == 1) {
            emit headerDataChanged(Qt::Horizontal, c, c);
        }
    }

    void resizeRows(int n) {
        if (n > m_rows) {
            beginInsertRows(QModelIndex(), m_rows, n - 1);
            m_rows = n;
            endInsertRows();
        } else if (n < m_rows) {
            beginRemoveRows(QModelIndex(), n, m_rows - 1);
            std::erase_if(m_rowText, [n](const auto& row) { return row.first >= n; });
            m_rows = n;
            m_sourceCount = std::max(0, std::min(m_sourceCount, n - m_sourceFirst));
            if (m_sourceCount == 0) {
                m_source = nullptr;
            }
            endRemoveRows();
        }
    }

    void resizeCols(int n) {
        if (n > m_cols) {
            beginInsertColumns(QModelIndex(), m_cols, n - 1);
            relayout(n);
            endInsertColumns();
        } else if (n < m_cols) {
            beginRemoveColumns(QModelIndex(), n, m_cols - 1);
            relayout(n);
            endRemoveColumns();
        }
    }

    void setFixed(int fixedRowCount, int fixedColCount) {
        m_fixedRows = fixedRowCount;
        m_fixedCols = fixedColCount;
        emitAllChanged({});
    }

    void setColAlignment(int c, Qt::Alignment alignment) {
        m_colAlign[size_t(c)] = alignment;
        emitColumnChanged(c, {Qt::TextAlignmentRole});
    }

    void setFixedAlignment(int c, Qt::Alignment alignment) {
        m_fixedAlign[size_t(c)] = alignment;
        emitColumnChanged(c, {Qt::TextAlignmentRole});
        if (m_fixedRows == 1) {
            emit headerDataChanged(Qt::Horizontal, c, c);
        }
    }

    void setCellFont(const QFont& font) {
        m_font = font;
        emitAllChanged({Qt::FontRole});
    }

    void setFixedColours(const QBrush& background, const QBrush& foreground) {
        m_fixedBackground = background;
        m_fixedForeground = foreground;
        emitAllChanged({Qt::BackgroundRole, Qt::ForegroundRole});
    }

  private:
    bool isFixed(int r, int c) const { return r < m_fixedRows || c < m_fixedCols; }

    // A row gets storage of its own only when a cell of it is written, so
    // rows that take their text from a source cost one pointer each.
    QString* rowForWriting(int r) {
        auto& row = m_rowText[r];
        if (!row) {
            row = std::make_unique<QString[]>(size_t(m_cols));
        }
        return row.get();
    }

    // Re-packs the row-major text for a new column count, keeping every cell
    // that survives. Only called between begin/end column notifications.
    void relayout(int newCols) {
        const int kept = std::min(m_cols, newCols);
        for (auto& [r, row] : m_rowText) {
            auto next = std::make_unique<QString[]>(size_t(newCols));
            for (int c = 0; c < kept; ++c) {
                next[size_t(c)] = std::move(row[size_t(c)]);
            }
            row = std::move(next);
        }
        m_colAlign.resize(size_t(newCols), kDefaultAlignment);
        m_fixedAlign.resize(size_t(newCols), kDefaultAlignment);
        m_cols = newCols;
    }

    void emitColumnChanged(int c, const QList<int>& roles) {
        if (m_rows > 0) {
            emit dataChanged(index(0, c), index(m_rows - 1, c), roles);
        }
    }

    void emitAllChanged(const QList<int>& roles) {
        if (m_rows > 0 && m_cols > 0) {
            emit dataChanged(index(0, 0), index(m_rows - 1, m_cols - 1), roles);
        }
        if (m_cols > 0) {
            emit headerDataChanged(Qt::Horizontal, 0, m_cols - 1);
        }
    }

    int m_rows = 0;
    int m_cols = 0;
    int m_fixedRows = 1;
    int m_fixedCols = 1;
    // Only rows written cell by cell have text of their own; a long history
    // comes from the row source and costs nothing here.
    std::unordered_map<int, std::unique_ptr<QString[]>> m_rowText;
    FlexGrid::RowSource m_source;
    int m_sourceFirst = 0;
    int m_sourceCount = 0;
    std::vector<Qt::Alignment> m_colAlign;
    std::vector<Qt::Alignment> m_fixedAlign;
    QFont m_font;
    QBrush m_fixedBackground;
    QBrush m_fixedForeground;
};

FlexGrid::FlexGrid(QWidget* parent) : QTableView(parent), m_model(new FlexGridModel(this)) {
    m_model->resizeCols(2);
    m_model->resizeRows(2);
    setModel(m_model);

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
    m_model->setRowSource(firstRow, rowCount, std::move(source));
}

void FlexGrid::setRows(int n) {
    m_model->resizeRows(std::max(n, fixedRows()));
    clampCursor();
    syncFixedRowDisplay();
}

int FlexGrid::rows() const {
    return m_model->rowCount();
}

void FlexGrid::setCols(int n) {
    m_model->resizeCols(std::max({n, fixedCols(), 1}));
    clampCursor();
}

int FlexGrid::cols() const {
    return m_model->columnCount();
}

void FlexGrid::setFixedRows(int n) {
    n = std::clamp(n, 0, 1);
    if (rows() < n) {
        m_model->resizeRows(n);
    }
    m_model->setFixed(n, fixedCols());
    syncFixedRowDisplay();
}

int FlexGrid::fixedRows() const {
    return m_model->fixedRows();
}

void FlexGrid::setFixedCols(int n) {
    m_model->setFixed(fixedRows(), std::clamp(n, 0, 1));
}

int FlexGrid::fixedCols() const {
    return m_model->fixedCols();
}

bool FlexGrid::setRow(int r) {
    if (!checkCell(r, 0)) {
        return false;
    }
    m_cursorRow = r;
    return true;
}

int FlexGrid::row() const {
    return m_cursorRow;
}

bool FlexGrid::setCol(int c) {
    if (!checkColumn(c)) {
        return false;
    }
    m_cursorCol = c;
    return true;
}

int FlexGrid::col() const {
    return m_cursorCol;
}

bool FlexGrid::setText(const QString& text) {
    if (!checkCell(m_cursorRow, m_cursorCol)) {
        return false;
    }
    m_model->setCell(m_cursorRow, m_cursorCol, text);
    return true;
}

QString FlexGrid::text() const {
    return cellText(m_cursorRow, m_cursorCol);
}

QString FlexGrid::cellText(int r, int c) const {
    return checkCell(r, c) ? m_model->cell(r, c) : QString();
}

void FlexGrid::setTopRow(int r) {
    if (isVisible()) {
        m_pendingTopRow = -1;
        scrollToTopRow(r);
    } else {
        m_pendingTopRow = std::max(r, fixedRows());
    }
}

int FlexGrid::topRow() const {
    const int last = rows() - 1;
    if (m_pendingTopRow >= 0) {
        return std::min(m_pendingTopRow, std::max(last, fixedRows()));
    }
    const int top = rowAt(0);
    return top >= 0 ? top : fixedRows();
}

void FlexGrid::setColWidthTwips(int col, int twips) {
    if (!checkColumn(col)) {
        return;
    }
    if (twips < 0) {
        setColumnWidth(col, horizontalHeader()->defaultSectionSize());
    } else {
        setColumnWidth(col, static_cast<int>(std::lround(twips / kTwipsPerPixel)));
    }
}

void FlexGrid::setColAlignment(int col, short code) {
    const auto alignment = alignmentForCode(code);
    Q_ASSERT_X(alignment, "FlexGrid::setColAlignment", "unknown alignment code");
    if (checkColumn(col) && alignment) {
        m_model->setColAlignment(col, *alignment);
    }
}

void FlexGrid::setFixedAlignment(int col, short code) {
    const auto alignment = alignmentForCode(code);
    Q_ASSERT_X(alignment, "FlexGrid::setFixedAlignment", "unknown alignment code");
    if (checkColumn(col) && alignment) {
        m_model->setFixedAlignment(col, *alignment);
    }
}

void FlexGrid::setFontSizePoints(double pt) {
    if (!(pt > 0.0)) {
        return;
    }
    // Points as they were drawn up, at 96 dots per inch, so that the text
    // fits its columns whatever the screen's resolution.
    m_fontPoints = pt;
    QFont sized = font();
    sized.setPixelSize(qMax(1, qRound(pt * 96.0 / 72.0)));
    setFont(sized);  // the FontChange event updates the model and row heights
}

double FlexGrid::fontSizePoints() const {
    return m_fontPoints > 0.0 ? m_fontPoints : font().pointSizeF();
}

void FlexGrid::showEvent(QShowEvent* event) {
    QTableView::showEvent(event);
    if (m_pendingTopRow >= 0) {
        const int r = m_pendingTopRow;
        m_pendingTopRow = -1;
        scrollToTopRow(r);
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
    m_cursorRow = std::clamp(m_cursorRow, 0, std::max(rows() - 1, 0));
    m_cursorCol = std::clamp(m_cursorCol, 0, std::max(cols() - 1, 0));
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
    m_model->setCellFont(font());
    const int height = fontMetrics().height() + kRowPadding;
    verticalHeader()->setMinimumSectionSize(height);
    verticalHeader()->setDefaultSectionSize(height);
}

void FlexGrid::syncFixedColours() {
    m_model->setFixedColours(palette().brush(QPalette::Button),
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
    scrollTo(m_model->index(r, std::max(columnAt(0), 0)), PositionAtTop);
    horizontalScrollBar()->setValue(horizontal);
}

#include "flex_grid.moc"

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
