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

namespace flex_grid_detail {

inline constexpr double kTwipsPerPixel = 15.0;
// Space above and below the text in every row, in pixels.
inline constexpr int kRowPadding = 6;
inline constexpr Qt::Alignment kDefaultAlignment = Qt::AlignLeft | Qt::AlignVCenter;

inline std::optional<Qt::Alignment> alignmentForCode(short code) {
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
        m_colAlign.resize(size_t(newCols), flex_grid_detail::kDefaultAlignment);
        m_fixedAlign.resize(size_t(newCols), flex_grid_detail::kDefaultAlignment);
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
