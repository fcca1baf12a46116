#pragma once

// The table model behind FlexGrid: the grid's text, sparse, and its
// per-column presentation.

#include <QAbstractTableModel>
#include <QBrush>
#include <QFont>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "grid/flex_grid.h"

namespace hibi {

namespace flex_grid_detail {

inline constexpr double kTwipsPerPixel = 15.0;
// Space above and below the text in every row, in pixels.
inline constexpr int kRowPadding = 6;
inline constexpr Qt::Alignment kDefaultAlignment = Qt::AlignLeft | Qt::AlignVCenter;

// The alignment an alignment code stands for; nothing for an unknown code.
std::optional<Qt::Alignment> alignmentForCode(short code);

}  // namespace flex_grid_detail

// The grid's text and its per-column presentation. Model coordinates are
// grid coordinates: row 0 is the header row when there is one. Only rows
// written cell by cell keep text of their own; rows fed from a row source
// cost nothing until they are drawn.
class FlexGridModel final : public QAbstractTableModel {
    Q_OBJECT

  public:
    explicit FlexGridModel(QObject* parent) : QAbstractTableModel(parent) {}

    int rowCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : rows_;
    }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : cols_;
    }
    QVariant data(const QModelIndex& index, int role) const override;
    // The horizontal header shows row 0 when it is the fixed row.
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    int fixedRows() const { return fixedRows_; }
    int fixedCols() const { return fixedCols_; }

    QString cell(int r, int c) const;
    void setRowSource(int first, int count, FlexGrid::RowSource source);
    void setCell(int r, int c, const QString& text);
    void resizeRows(int n);
    void resizeCols(int n);
    void setFixed(int fixedRowCount, int fixedColCount);
    void setColAlignment(int c, Qt::Alignment alignment);
    void setFixedAlignment(int c, Qt::Alignment alignment);
    void setCellFont(const QFont& font);
    void setFixedColours(const QBrush& background, const QBrush& foreground);

  private:
    bool isFixed(int r, int c) const { return r < fixedRows_ || c < fixedCols_; }
    QString* rowForWriting(int r);
    void relayout(int newCols);
    void emitColumnChanged(int c, const QList<int>& roles);
    void emitAllChanged(const QList<int>& roles);

    int rows_ = 0;
    int cols_ = 0;
    int fixedRows_ = 1;
    int fixedCols_ = 1;
    // Row number to that row's own text, one string per column.
    std::unordered_map<int, std::unique_ptr<QString[]>> rowText_;
    FlexGrid::RowSource source_;
    int sourceFirst_ = 0;
    int sourceCount_ = 0;
    std::vector<Qt::Alignment> colAlign_;
    std::vector<Qt::Alignment> fixedAlign_;
    QFont font_;
    QBrush fixedBackground_;
    QBrush fixedForeground_;
};

}  // namespace hibi
