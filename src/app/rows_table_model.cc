#include "app/rows_table_model.h"

#include <algorithm>
#include <utility>

#include "app/gbk_qt.h"

namespace {

// A cell shows one line; a chapter is far longer than the column is wide.
constexpr int kShownChars = 160;
constexpr size_t kShownTextBytes = 2 * kShownChars;

}  // namespace

RowsTableModel::RowsTableModel(ControlModel& controls, ListView list, bool checkable,
                               QString number_header, QString text_header, QObject* parent)
    : QAbstractTableModel(parent),
      controls_(controls),
      list_(list),
      checkable_(checkable),
      headers_{std::move(number_header), std::move(text_header)} {}

const RowsTableModel::ShownRow& RowsTableModel::shown(int row) const {
  std::optional<ShownRow>& cached = cache_[row];
  if (!cached) {
    DisplayRow display = controls_.display_row(list_, row, kShownTextBytes);
    cached = ShownRow{from_gbk(display.number), display_line(display.text, kShownChars),
                      display.checked};
  }
  return *cached;
}

void RowsTableModel::apply(const ListUpdate& update) {
  if (update.rebuilt) {
    beginResetModel();
    row_count_ = update.row_count;
    cache_.assign(static_cast<size_t>(row_count_), std::nullopt);
    endResetModel();
    return;
  }
  int first = -1;
  int last = -1;
  for (int row : update.rows) {
    if (row < 0 || row >= row_count_) continue;
    cache_[row].reset();
    first = first < 0 ? row : std::min(first, row);
    last = std::max(last, row);
  }
  if (first >= 0) emit dataChanged(index(first, 0), index(last, 1));
}

int RowsTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : row_count_;
}

int RowsTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 2;
}

QVariant RowsTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= row_count_) return QVariant();
  if (role == Qt::DisplayRole) {
    const ShownRow& row = shown(index.row());
    return index.column() == 0 ? row.number : row.text;
  }
  if (role == Qt::CheckStateRole && checkable_ && index.column() == 0) {
    return shown(index.row()).checked ? Qt::Checked : Qt::Unchecked;
  }
  return QVariant();
}

QVariant RowsTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section > 1) {
    return QVariant();
  }
  return headers_[section];
}

Qt::ItemFlags RowsTableModel::flags(const QModelIndex& index) const {
  Qt::ItemFlags flags = QAbstractTableModel::flags(index);
  if (checkable_ && index.isValid() && index.column() == 0) flags |= Qt::ItemIsUserCheckable;
  return flags;
}

bool RowsTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!checkable_ || role != Qt::CheckStateRole || !index.isValid() || index.column() != 0 ||
      index.row() >= row_count_) {
    return false;
  }
  controls_.set_row_checked(index.row(), value.toInt() == Qt::Checked);
  cache_[index.row()].reset();
  emit dataChanged(index, index, {Qt::CheckStateRole});
  return true;
}
