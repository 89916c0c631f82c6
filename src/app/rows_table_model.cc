#include "app/rows_table_model.h"

#include <algorithm>
#include <utility>

#include "app/gbk_qt.h"

namespace {

// A cell shows one line; a chapter is far longer than the column is wide.
constexpr int kShownChars = 160;

}  // namespace

RowsTableModel::RowsTableModel(ControlModel& controls, bool checkable, QString number_header,
                               QString text_header, QObject* parent)
    : QAbstractTableModel(parent),
      controls_(controls),
      checkable_(checkable),
      headers_{std::move(number_header), std::move(text_header)} {}

RowsTableModel::ShownRow RowsTableModel::shown(const DisplayRow& row) const {
  return ShownRow{from_gbk(row.number), display_line(row.text, kShownChars), row.checked};
}

void RowsTableModel::apply(const ListUpdate& update) {
  if (update.rebuilt) {
    beginResetModel();
    rows_.clear();
    rows_.reserve(update.rows.size());
    for (const DisplayRow& row : update.rows) rows_.push_back(shown(row));
    endResetModel();
    return;
  }
  int first = -1;
  int last = -1;
  for (const DisplayRow& row : update.rows) {
    if (row.row < 0 || row.row >= static_cast<int>(rows_.size())) continue;
    rows_[row.row] = shown(row);
    first = first < 0 ? row.row : std::min(first, row.row);
    last = std::max(last, row.row);
  }
  if (first >= 0) emit dataChanged(index(first, 0), index(last, 1));
}

int RowsTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int RowsTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 2;
}

QVariant RowsTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return QVariant();
  const ShownRow& row = rows_[index.row()];
  if (role == Qt::DisplayRole) return index.column() == 0 ? row.number : row.text;
  if (role == Qt::CheckStateRole && checkable_ && index.column() == 0) {
    return row.checked ? Qt::Checked : Qt::Unchecked;
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
      index.row() >= static_cast<int>(rows_.size())) {
    return false;
  }
  bool checked = value.toInt() == Qt::Checked;
  rows_[index.row()].checked = checked;
  controls_.set_row_checked(index.row(), checked);
  emit dataChanged(index, index, {Qt::CheckStateRole});
  return true;
}
