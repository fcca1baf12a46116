#include "grid/flex_grid_model.h"

#include <algorithm>

namespace hibi {

namespace flex_grid_detail {

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

}  // namespace flex_grid_detail

QVariant FlexGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_ || index.column() >= cols_) {
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
                (fixed ? fixedAlign_[size_t(c)] : colAlign_[size_t(c)]).toInt());
        case Qt::FontRole:
            return font_;
        case Qt::BackgroundRole:
            return fixed ? QVariant(fixedBackground_) : QVariant();
        case Qt::ForegroundRole:
            return fixed ? QVariant(fixedForeground_) : QVariant();
        default:
            return {};
    }
}

QVariant FlexGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || fixedRows_ == 0 || rows_ == 0 || section < 0 ||
        section >= cols_) {
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

Qt::ItemFlags FlexGridModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    if (isFixed(index.row(), index.column())) {
        return Qt::ItemIsEnabled;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

QString FlexGridModel::cell(int r, int c) const {
    const auto found = rowText_.find(r);
    const QString text = found != rowText_.end() ? found->second[size_t(c)] : QString();
    if (text.isNull() && source_ && r >= sourceFirst_ && r < sourceFirst_ + sourceCount_) {
        return source_(r, c);
    }
    return text;
}

void FlexGridModel::setRowSource(int first, int count, FlexGrid::RowSource source) {
    source_ = std::move(source);
    sourceFirst_ = first;
    sourceCount_ = source_ ? std::max(0, std::min(count, rows_ - first)) : 0;
    if (sourceCount_ > 0 && cols_ > 0) {
        emit dataChanged(index(first, 0), index(first + sourceCount_ - 1, cols_ - 1),
                         {Qt::DisplayRole});
    }
}

void FlexGridModel::setCell(int r, int c, const QString& text) {
    rowForWriting(r)[c] = text;
    const QModelIndex changed = index(r, c);
    emit dataChanged(changed, changed, {Qt::DisplayRole});
    if (r == 0 && fixedRows_ == 1) {
        emit headerDataChanged(Qt::Horizontal, c, c);
    }
}

void FlexGridModel::resizeRows(int n) {
    if (n > rows_) {
        beginInsertRows(QModelIndex(), rows_, n - 1);
        rows_ = n;
        endInsertRows();
    } else if (n < rows_) {
        beginRemoveRows(QModelIndex(), n, rows_ - 1);
        std::erase_if(rowText_, [n](const auto& row) { return row.first >= n; });
        rows_ = n;
        sourceCount_ = std::max(0, std::min(sourceCount_, n - sourceFirst_));
        if (sourceCount_ == 0) {
            source_ = nullptr;
        }
        endRemoveRows();
    }
}

void FlexGridModel::resizeCols(int n) {
    if (n > cols_) {
        beginInsertColumns(QModelIndex(), cols_, n - 1);
        relayout(n);
        endInsertColumns();
    } else if (n < cols_) {
        beginRemoveColumns(QModelIndex(), n, cols_ - 1);
        relayout(n);
        endRemoveColumns();
    }
}

void FlexGridModel::setFixed(int fixedRowCount, int fixedColCount) {
    fixedRows_ = fixedRowCount;
    fixedCols_ = fixedColCount;
    emitAllChanged({});
}

void FlexGridModel::setColAlignment(int c, Qt::Alignment alignment) {
    colAlign_[size_t(c)] = alignment;
    emitColumnChanged(c, {Qt::TextAlignmentRole});
}

void FlexGridModel::setFixedAlignment(int c, Qt::Alignment alignment) {
    fixedAlign_[size_t(c)] = alignment;
    emitColumnChanged(c, {Qt::TextAlignmentRole});
    if (fixedRows_ == 1) {
        emit headerDataChanged(Qt::Horizontal, c, c);
    }
}

void FlexGridModel::setCellFont(const QFont& font) {
    font_ = font;
    emitAllChanged({Qt::FontRole});
}

void FlexGridModel::setFixedColours(const QBrush& background, const QBrush& foreground) {
    fixedBackground_ = background;
    fixedForeground_ = foreground;
    emitAllChanged({Qt::BackgroundRole, Qt::ForegroundRole});
}

// A row gets storage of its own only when a cell of it is written, so rows
// that take their text from a source cost nothing here.
QString* FlexGridModel::rowForWriting(int r) {
    auto& row = rowText_[r];
    if (!row) {
        row = std::make_unique<QString[]>(size_t(cols_));
    }
    return row.get();
}

// Re-packs the rows' own text for a new column count, keeping every cell
// that survives. Only called between begin/end column notifications.
void FlexGridModel::relayout(int newCols) {
    const int kept = std::min(cols_, newCols);
    for (auto& [r, row] : rowText_) {
        auto next = std::make_unique<QString[]>(size_t(newCols));
        for (int c = 0; c < kept; ++c) {
            next[size_t(c)] = std::move(row[size_t(c)]);
        }
        row = std::move(next);
    }
    colAlign_.resize(size_t(newCols), flex_grid_detail::kDefaultAlignment);
    fixedAlign_.resize(size_t(newCols), flex_grid_detail::kDefaultAlignment);
    cols_ = newCols;
}

void FlexGridModel::emitColumnChanged(int c, const QList<int>& roles) {
    if (rows_ > 0) {
        emit dataChanged(index(0, c), index(rows_ - 1, c), roles);
    }
}

void FlexGridModel::emitAllChanged(const QList<int>& roles) {
    if (rows_ > 0 && cols_ > 0) {
        emit dataChanged(index(0, 0), index(rows_ - 1, cols_ - 1), roles);
    }
    if (cols_ > 0) {
        emit headerDataChanged(Qt::Horizontal, 0, cols_ - 1);
    }
}

}  // namespace hibi
