#include "app/rows_table_model.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "app/gbk_qt.h"

namespace {

// A cell shows one line: the characters the batches' text bytes can hold.
constexpr int kShownChars = static_cast<int>(kShownTextBytes / 2);

}  // namespace

RowsTableModel::RowsTableModel(ControlModel& controls, bool checkable, QString number_header,
                               QString text_header, QObject* parent)
    : QAbstractTableModel(parent),
      controls_(controls),
      checkable_(checkable),
      headers_{std::move(number_header), std::move(text_header)} {}

const RowsTableModel::ShownText& RowsTableModel::shown(int row) const {
  std::optional<ShownText>& cached = cache_[static_cast<size_t>(row)];
  if (!cached) {
    const DisplayRow& display = rows_[static_cast<size_t>(row)];
    cached = ShownText{from_gbk(display.number), display_line(display.text, kShownChars)};
  }
  return *cached;
}

void RowsTableModel::apply(ListUpdate& update) {
  if (update.rebuilt && !rows_.empty()) {
    beginResetModel();
    rows_.clear();
    cache_.clear();
    endResetModel();
  }
  // One signal per cell: a view repaints a single changed cell only when it
  // is on screen, but repaints its whole viewport for any range of cells, and
  // most rows a collection writes are far below the rows on screen.
  for (auto& [row, display] : update.changed) {
    if (row < 0 || row >= rowCount()) continue;
    rows_[static_cast<size_t>(row)] = std::move(display);
    cache_[static_cast<size_t>(row)].reset();
    emit dataChanged(index(row, 0), index(row, 0));
    emit dataChanged(index(row, 1), index(row, 1));
  }
  if (!update.new_rows.empty() && update.first_new == rowCount()) {
    const int count = static_cast<int>(update.new_rows.size());
    beginInsertRows(QModelIndex(), rowCount(), rowCount() + count - 1);
    std::move(update.new_rows.begin(), update.new_rows.end(), std::back_inserter(rows_));
    cache_.resize(rows_.size());
    endInsertRows();
  }
}

int RowsTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int RowsTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 2;
}

QVariant RowsTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return QVariant();
  if (role == Qt::DisplayRole) {
    const ShownText& row = shown(index.row());
    return index.column() == 0 ? row.number : row.text;
  }
  if (role == Qt::CheckStateRole && checkable_ && index.column() == 0) {
    return rows_[static_cast<size_t>(index.row())].checked ? Qt::Checked : Qt::Unchecked;
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
      index.row() >= rowCount()) {
    return false;
  }
  const bool checked = value.toInt() == Qt::Checked;
  controls_.set_row_checked(index.row(), checked);
  rows_[static_cast<size_t>(index.row())].checked = checked;
  emit dataChanged(index, index, {Qt::CheckStateRole});
  return true;
}
