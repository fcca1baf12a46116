#include "grid/flex_grid_model.h"

#include <algorithm>

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

QVariant FlexGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
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
    const auto found = m_rowText.find(r);
    const QString text = found != m_rowText.end() ? found->second[size_t(c)] : QString();
    if (text.isNull() && m_source && r >= m_sourceFirst && r < m_sourceFirst + m_sourceCount) {
        return m_source(r, c);
    }
    return text;
}

void FlexGridModel::setRowSource(int first, int count, FlexGrid::RowSource source) {
    m_source = std::move(source);
    m_sourceFirst = first;
    m_sourceCount = m_source ? std::max(0, std::min(count, m_rows - first)) : 0;
    if (m_sourceCount > 0 && m_cols > 0) {
        emit dataChanged(index(first, 0), index(first + m_sourceCount - 1, m_cols - 1),
                         {Qt::DisplayRole});
    }
}

void FlexGridModel::setCell(int r, int c, const QString& text) {
    rowForWriting(r)[c] = text;
    const QModelIndex changed = index(r, c);
    emit dataChanged(changed, changed, {Qt::DisplayRole});
    if (r == 0 && m_fixedRows == 1) {
        emit headerDataChanged(Qt::Horizontal, c, c);
    }
}

void FlexGridModel::resizeRows(int n) {
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

void FlexGridModel::resizeCols(int n) {
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

void FlexGridModel::setFixed(int fixedRowCount, int fixedColCount) {
    m_fixedRows = fixedRowCount;
    m_fixedCols = fixedColCount;
    emitAllChanged({});
}

void FlexGridModel::setColAlignment(int c, Qt::Alignment alignment) {
    m_colAlign[size_t(c)] = alignment;
    emitColumnChanged(c, {Qt::TextAlignmentRole});
}

void FlexGridModel::setFixedAlignment(int c, Qt::Alignment alignment) {
    m_fixedAlign[size_t(c)] = alignment;
    emitColumnChanged(c, {Qt::TextAlignmentRole});
    if (m_fixedRows == 1) {
        emit headerDataChanged(Qt::Horizontal, c, c);
    }
}

void FlexGridModel::setCellFont(const QFont& font) {
    m_font = font;
    emitAllChanged({Qt::FontRole});
}

void FlexGridModel::setFixedColours(const QBrush& background, const QBrush& foreground) {
    m_fixedBackground = background;
    m_fixedForeground = foreground;
    emitAllChanged({Qt::BackgroundRole, Qt::ForegroundRole});
}

// A row gets storage of its own only when a cell of it is written, so rows
// that take their text from a source cost nothing here.
QString* FlexGridModel::rowForWriting(int r) {
    auto& row = m_rowText[r];
    if (!row) {
        row = std::make_unique<QString[]>(size_t(m_cols));
    }
    return row.get();
}

// Re-packs the rows' own text for a new column count, keeping every cell
// that survives. Only called between begin/end column notifications.
void FlexGridModel::relayout(int newCols) {
    const int kept = std::min(m_cols, newCols);
    for (auto& [r, row] : m_rowText) {
        auto next = std::make_unique<QString[]>(size_t(newCols));
        for (int c = 0; c < kept; ++c) {
            next[size_t(c)] = std::move(row[size_t(c)]);
        }
        row = std::move(next);
    }
    m_colAlign.resize(size_t(newCols), flex_grid_detail::kDefaultAlignment);
    m_fixedAlign.resize(size_t(newCols), flex_grid_detail::kDefaultAlignment);
    m_cols = newCols;
}

void FlexGridModel::emitColumnChanged(int c, const QList<int>& roles) {
    if (m_rows > 0) {
        emit dataChanged(index(0, c), index(m_rows - 1, c), roles);
    }
}

void FlexGridModel::emitAllChanged(const QList<int>& roles) {
    if (m_rows > 0 && m_cols > 0) {
        emit dataChanged(index(0, 0), index(m_rows - 1, m_cols - 1), roles);
    }
    if (m_cols > 0) {
        emit headerDataChanged(Qt::Horizontal, 0, m_cols - 1);
    }
}
